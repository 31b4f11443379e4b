#pragma once
#include <cstddef>

namespace vantoria::spi {

// The processors this process may run on: one system call, no file read
// (the C++ library's own count reads /sys, which a sandbox may refuse).
std::size_t UsableCores();

}  // namespace vantoria::spi
