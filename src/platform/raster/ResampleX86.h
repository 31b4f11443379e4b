#pragma once
// The scaler's loops in SSE4.1 and AVX2 (ResampleKernels.h). Each returns
// how far it got: the values (or pixels) from there on are left to the
// portable loops, so that no vector load or store reaches past a row.

#include <cstdint>

#include "platform/raster/ResampleKernels.h"

#if defined(__x86_64__) || defined(__i386__)
#define VANTORIA_RESAMPLE_X86 1
#else
#define VANTORIA_RESAMPLE_X86 0
#endif

#if VANTORIA_RESAMPLE_X86
namespace vantoria::raster::detail::x86 {

int Vertical8To16Avx2(const std::uint8_t* const* rows, const std::uint32_t* w, int n, std::uint16_t* out, int len);
int Vertical8To16Sse41(const std::uint8_t* const* rows, const std::uint32_t* w, int n, std::uint16_t* out, int len);
int Vertical16To8Avx2(const std::uint16_t* const* rows, const std::uint32_t* w, int n, std::uint8_t* out, int len);
int Vertical16To8Sse41(const std::uint16_t* const* rows, const std::uint32_t* w, int n, std::uint8_t* out, int len);
int Horizontal16To8Sse41(const std::uint16_t* in, int base, const AxisTaps& ax, std::uint8_t* out);
int Horizontal8To16Sse41(const std::uint8_t* in, int base, const AxisTaps& ax, std::uint16_t* out);

}  // namespace vantoria::raster::detail::x86
#endif
