#pragma once
// The one error type of the bitmap decoder. Every failure to read a
// device-independent bitmap or a bitmap file (unreadable file, not a bitmap,
// damaged or hostile data, unsupported variant, picture beyond the limits)
// throws it, with a message meant for the user.

#include "platform/Error.h"

namespace vantoria::dib {

class DibError : public vantoria::Error {
public:
    using vantoria::Error::Error;
};

}  // namespace vantoria::dib
