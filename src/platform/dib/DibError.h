#pragma once
// The one error type of the bitmap decoder. Every failure to read a
// device-independent bitmap or a bitmap file (unreadable file, not a bitmap,
// damaged or hostile data, unsupported variant, picture beyond the limits)
// throws it, with a message meant for the user.

#include <stdexcept>

namespace vantoria::dib {

class DibError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace vantoria::dib
