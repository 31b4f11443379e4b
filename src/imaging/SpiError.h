#pragma once
// The loader's own error: a file that must go through a plug-in when no
// plug-in can take it.

#include "platform/Error.h"

namespace vantoria::imaging {

class SpiError : public vantoria::Error {
public:
    using vantoria::Error::Error;
};

}  // namespace vantoria::imaging
