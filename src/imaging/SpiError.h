#pragma once
// The loader's own error: a file that must go through a plug-in when no
// plug-in can take it.

#include <stdexcept>

namespace vantoria::imaging {

class SpiError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace vantoria::imaging
