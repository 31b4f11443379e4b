#pragma once
// Arithmetic on sizes that come from file data. Every product or sum that
// depends on a value read from a file goes through these, so that an
// overflow becomes a DibError instead of a short buffer.

#include <cstddef>

#include "platform/dib/DibError.h"

namespace vantoria::dib {

inline std::size_t CheckedMul(std::size_t a, std::size_t b) {
    std::size_t r = 0;
    if (__builtin_mul_overflow(a, b, &r)) throw DibError("picture size out of range");
    return r;
}

inline std::size_t CheckedAdd(std::size_t a, std::size_t b) {
    std::size_t r = 0;
    if (__builtin_add_overflow(a, b, &r)) throw DibError("picture size out of range");
    return r;
}

}  // namespace vantoria::dib
