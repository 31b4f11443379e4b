#pragma once
// The scaler's inner loops, in a portable form and in explicit x86 vector
// forms chosen at run time. Every form computes exactly the same bytes: the
// arithmetic is integer, in the same widths, so only its speed differs, and
// it does not depend on the optimiser's level. Internal to platform/raster.

#include <cstdint>

namespace vantoria::raster::detail {

enum class SimdLevel {
    Portable,  // plain C++
    Sse41,     // 4 lanes of 32 bits
    Avx2,      // 8 lanes of 32 bits
};

// The best level this processor runs.
SimdLevel BestSimdLevel();

// One axis's source pixels and weights per output index, as Resample.cpp
// builds them: output index i reads `taps` source pixels from start[i]
// (absolute source index) with the weights weight[i * taps ...], which sum
// to 1 << 16.
struct AxisTaps {
    int size = 0;  // output indexes
    int taps = 1;
    const int* start = nullptr;
    const std::uint32_t* weight = nullptr;
};

// Vertical passes over `len` channel values of `n` rows weighted by `w`:
// 8-bit rows to 16-bit values (8 fraction bits), or back to 8 bits. `acc`
// holds `len` values of scratch for the portable 8-to-16 form.
void Vertical8To16(SimdLevel level, const std::uint8_t* const* rows, const std::uint32_t* w, int n,
                   std::uint16_t* out, std::uint32_t* acc, int len);
void Vertical16To8(SimdLevel level, const std::uint16_t* const* rows, const std::uint32_t* w, int n,
                   std::uint8_t* out, int len);

// Horizontal passes over one row of BGR pixels; `in` points at source pixel
// `base` and holds every pixel up to the axis's last tap, no further.
void Horizontal16To8(SimdLevel level, const std::uint16_t* in, int base, const AxisTaps& ax, std::uint8_t* out);
void Horizontal8To16(SimdLevel level, const std::uint8_t* in, int base, const AxisTaps& ax, std::uint16_t* out);

}  // namespace vantoria::raster::detail
