#include "platform/raster/ResampleKernels.h"

#include "platform/raster/ResampleX86.h"

namespace vantoria::raster::detail {

namespace {

// The portable forms. Each output value is the rounded weighted sum; the
// vector forms compute the very same sums, a few lanes at a time, and leave
// the values they do not reach to these loops.
void Vertical8To16From(const std::uint8_t* const* rows, const std::uint32_t* w, int n, std::uint16_t* out,
                       int x, int len) {
    for (; x < len; ++x) {
        std::uint32_t acc = 128;
        for (int k = 0; k < n; ++k) acc += rows[k][x] * w[k];
        out[x] = static_cast<std::uint16_t>(acc >> 8);
    }
}

void Vertical16To8From(const std::uint16_t* const* rows, const std::uint32_t* w, int n, std::uint8_t* out,
                       int x, int len) {
    for (; x < len; ++x) {
        std::uint32_t acc = 1u << 23;
        for (int k = 0; k < n; ++k) acc += rows[k][x] * w[k];
        out[x] = static_cast<std::uint8_t>(acc >> 24);
    }
}

// Output pixels [x0, ax.size). Taps > 0 fixes the loop length at compile
// time (the common small reductions and enlargements).
template <int Taps, typename In, typename Out, int OutShift>
void HorizontalTaps(const In* in, int base, const AxisTaps& ax, Out* out, int x0) {
    constexpr std::uint32_t half = 1u << (OutShift - 1);
    const int taps = Taps > 0 ? Taps : ax.taps;
    const std::uint32_t* w = ax.weight + std::size_t(x0) * taps;
    for (int x = x0; x < ax.size; ++x, w += taps) {
        const In* p = in + std::ptrdiff_t(ax.start[x] - base) * 3;
        std::uint32_t b = half, g = half, r = half;
#pragma GCC unroll 8
        for (int k = 0; k < taps; ++k, p += 3) {
            b += p[0] * w[k];
            g += p[1] * w[k];
            r += p[2] * w[k];
        }
        out[3 * x] = static_cast<Out>(b >> OutShift);
        out[3 * x + 1] = static_cast<Out>(g >> OutShift);
        out[3 * x + 2] = static_cast<Out>(r >> OutShift);
    }
}

template <typename In, typename Out, int OutShift>
void HorizontalFrom(const In* in, int base, const AxisTaps& ax, Out* out, int x0) {
    switch (ax.taps) {
    case 1: return HorizontalTaps<1, In, Out, OutShift>(in, base, ax, out, x0);
    case 2: return HorizontalTaps<2, In, Out, OutShift>(in, base, ax, out, x0);
    case 3: return HorizontalTaps<3, In, Out, OutShift>(in, base, ax, out, x0);
    case 4: return HorizontalTaps<4, In, Out, OutShift>(in, base, ax, out, x0);
    case 5: return HorizontalTaps<5, In, Out, OutShift>(in, base, ax, out, x0);
    default: return HorizontalTaps<0, In, Out, OutShift>(in, base, ax, out, x0);
    }
}

}  // namespace

SimdLevel BestSimdLevel() {
#if VANTORIA_RESAMPLE_X86
    static const SimdLevel level = __builtin_cpu_supports("avx2")     ? SimdLevel::Avx2
                                   : __builtin_cpu_supports("sse4.1") ? SimdLevel::Sse41
                                                                      : SimdLevel::Portable;
    return level;
#else
    return SimdLevel::Portable;
#endif
}

void Vertical8To16(SimdLevel level, const std::uint8_t* const* rows, const std::uint32_t* w, int n,
                   std::uint16_t* out, std::uint32_t* acc, int len) {
#if VANTORIA_RESAMPLE_X86
    if (level == SimdLevel::Avx2) return Vertical8To16From(rows, w, n, out, x86::Vertical8To16Avx2(rows, w, n, out, len), len);
    if (level == SimdLevel::Sse41) return Vertical8To16From(rows, w, n, out, x86::Vertical8To16Sse41(rows, w, n, out, len), len);
#endif
    (void)level;
    if (n == 1) {
        for (int x = 0; x < len; ++x) out[x] = static_cast<std::uint16_t>(rows[0][x] << 8);
        return;
    }
    if (n <= 3) return Vertical8To16From(rows, w, n, out, 0, len);
    // Many rows: one row at a time into the accumulator, so that each loop
    // is a plain pass over memory.
    for (int x = 0; x < len; ++x) acc[x] = 128 + rows[0][x] * w[0];
    for (int k = 1; k < n; ++k) {
        const std::uint8_t* r = rows[k];
        const std::uint32_t wk = w[k];
        for (int x = 0; x < len; ++x) acc[x] += r[x] * wk;
    }
    for (int x = 0; x < len; ++x) out[x] = static_cast<std::uint16_t>(acc[x] >> 8);
}

void Vertical16To8(SimdLevel level, const std::uint16_t* const* rows, const std::uint32_t* w, int n,
                   std::uint8_t* out, int len) {
    int x = 0;
#if VANTORIA_RESAMPLE_X86
    if (level == SimdLevel::Avx2) x = x86::Vertical16To8Avx2(rows, w, n, out, len);
    if (level == SimdLevel::Sse41) x = x86::Vertical16To8Sse41(rows, w, n, out, len);
#endif
    (void)level;
    Vertical16To8From(rows, w, n, out, x, len);
}

void Horizontal16To8(SimdLevel level, const std::uint16_t* in, int base, const AxisTaps& ax, std::uint8_t* out) {
    int x = 0;
#if VANTORIA_RESAMPLE_X86
    if (level != SimdLevel::Portable) x = x86::Horizontal16To8Sse41(in, base, ax, out);
#endif
    (void)level;
    HorizontalFrom<std::uint16_t, std::uint8_t, 24>(in, base, ax, out, x);
}

void Horizontal8To16(SimdLevel level, const std::uint8_t* in, int base, const AxisTaps& ax, std::uint16_t* out) {
    int x = 0;
#if VANTORIA_RESAMPLE_X86
    if (level != SimdLevel::Portable) x = x86::Horizontal8To16Sse41(in, base, ax, out);
#endif
    (void)level;
    HorizontalFrom<std::uint8_t, std::uint16_t, 8>(in, base, ax, out, x);
}

}  // namespace vantoria::raster::detail
