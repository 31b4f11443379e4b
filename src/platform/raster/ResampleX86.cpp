#include "platform/raster/ResampleX86.h"

#if VANTORIA_RESAMPLE_X86

#include <immintrin.h>

#include <cstring>

// Sums in 32-bit lanes, as the portable loops do: a weight is at most
// 1 << 16 and the weights of a value sum to 1 << 16, so no sum of 8-bit
// values times weights, nor of 16-bit ones, passes 32 bits; pmulld's low
// half is the exact product.
namespace vantoria::raster::detail::x86 {

namespace {

// Pixels [0, end) of a horizontal pass can be done four lanes at a time:
// their last tap's 4-value load stays before the axis's end, and their
// 4-value store is followed by the next pixel's.
int VectorPixels(const AxisTaps& ax) {
    const int sourceEnd = ax.start[ax.size - 1] + ax.taps;
    int end = ax.size - 1;
    while (end > 0 && ax.start[end - 1] + ax.taps >= sourceEnd) --end;
    return end;
}

}  // namespace

__attribute__((target("avx2"))) int Vertical8To16Avx2(const std::uint8_t* const* rows, const std::uint32_t* w,
                                                      int n, std::uint16_t* out, int len) {
    const __m256i round = _mm256_set1_epi32(128);
    int x = 0;
    for (; x + 16 <= len; x += 16) {
        __m256i lo = round, hi = round;
        for (int k = 0; k < n; ++k) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k] + x));
            const __m256i wk = _mm256_set1_epi32(static_cast<int>(w[k]));
            lo = _mm256_add_epi32(lo, _mm256_mullo_epi32(_mm256_cvtepu8_epi32(v), wk));
            hi = _mm256_add_epi32(hi, _mm256_mullo_epi32(_mm256_cvtepu8_epi32(_mm_srli_si128(v, 8)), wk));
        }
        const __m256i packed = _mm256_packus_epi32(_mm256_srli_epi32(lo, 8), _mm256_srli_epi32(hi, 8));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), _mm256_permute4x64_epi64(packed, 0xD8));
    }
    return x;
}

__attribute__((target("sse4.1"))) int Vertical8To16Sse41(const std::uint8_t* const* rows, const std::uint32_t* w,
                                                         int n, std::uint16_t* out, int len) {
    const __m128i round = _mm_set1_epi32(128);
    int x = 0;
    for (; x + 8 <= len; x += 8) {
        __m128i lo = round, hi = round;
        for (int k = 0; k < n; ++k) {
            const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(rows[k] + x));
            const __m128i wk = _mm_set1_epi32(static_cast<int>(w[k]));
            lo = _mm_add_epi32(lo, _mm_mullo_epi32(_mm_cvtepu8_epi32(v), wk));
            hi = _mm_add_epi32(hi, _mm_mullo_epi32(_mm_cvtepu8_epi32(_mm_srli_si128(v, 4)), wk));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                         _mm_packus_epi32(_mm_srli_epi32(lo, 8), _mm_srli_epi32(hi, 8)));
    }
    return x;
}

__attribute__((target("avx2"))) int Vertical16To8Avx2(const std::uint16_t* const* rows, const std::uint32_t* w,
                                                      int n, std::uint8_t* out, int len) {
    const __m256i round = _mm256_set1_epi32(1 << 23);
    int x = 0;
    for (; x + 16 <= len; x += 16) {
        __m256i lo = round, hi = round;
        for (int k = 0; k < n; ++k) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[k] + x));
            const __m256i wk = _mm256_set1_epi32(static_cast<int>(w[k]));
            lo = _mm256_add_epi32(lo, _mm256_mullo_epi32(_mm256_cvtepu16_epi32(_mm256_castsi256_si128(v)), wk));
            hi = _mm256_add_epi32(hi, _mm256_mullo_epi32(_mm256_cvtepu16_epi32(_mm256_extracti128_si256(v, 1)), wk));
        }
        // 32 to 16 bits keeps the lanes in order after the cross-lane fix;
        // 16 to 8 then leaves the two halves in the low quarter of each lane.
        const __m256i words = _mm256_permute4x64_epi64(
            _mm256_packus_epi32(_mm256_srli_epi32(lo, 24), _mm256_srli_epi32(hi, 24)), 0xD8);
        const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(words, words), 0x08);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm256_castsi256_si128(bytes));
    }
    return x;
}

__attribute__((target("sse4.1"))) int Vertical16To8Sse41(const std::uint16_t* const* rows, const std::uint32_t* w,
                                                         int n, std::uint8_t* out, int len) {
    const __m128i round = _mm_set1_epi32(1 << 23);
    const __m128i zero = _mm_setzero_si128();
    int x = 0;
    for (; x + 8 <= len; x += 8) {
        __m128i lo = round, hi = round;
        for (int k = 0; k < n; ++k) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k] + x));
            const __m128i wk = _mm_set1_epi32(static_cast<int>(w[k]));
            lo = _mm_add_epi32(lo, _mm_mullo_epi32(_mm_unpacklo_epi16(v, zero), wk));
            hi = _mm_add_epi32(hi, _mm_mullo_epi32(_mm_unpackhi_epi16(v, zero), wk));
        }
        const __m128i words = _mm_packus_epi32(_mm_srli_epi32(lo, 24), _mm_srli_epi32(hi, 24));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(words, words));
    }
    return x;
}

namespace {

// One pixel's three channels (and one lane of the next pixel, discarded) in
// four 32-bit lanes.
template <int Taps>
__attribute__((target("sse4.1"), always_inline)) inline int Horizontal16To8Taps(const std::uint16_t* in, int base,
                                                                               const AxisTaps& ax,
                                                                               std::uint8_t* out) {
    const int end = VectorPixels(ax);
    const int taps = Taps > 0 ? Taps : ax.taps;
    const __m128i round = _mm_set1_epi32(1 << 23);
    const std::uint32_t* w = ax.weight;
    for (int x = 0; x < end; ++x, w += taps) {
        const std::uint16_t* p = in + std::ptrdiff_t(ax.start[x] - base) * 3;
        __m128i acc = round;
        // Unrolled whatever the optimiser's level: the tap count is fixed.
#pragma GCC unroll 8
        for (int k = 0; k < taps; ++k, p += 3) {
            const __m128i v = _mm_cvtepu16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
            acc = _mm_add_epi32(acc, _mm_mullo_epi32(v, _mm_set1_epi32(static_cast<int>(w[k]))));
        }
        const __m128i sum = _mm_srli_epi32(acc, 24);
        const __m128i words = _mm_packus_epi32(sum, sum);
        const int bytes = _mm_cvtsi128_si32(_mm_packus_epi16(words, words));
        std::memcpy(out + std::ptrdiff_t(x) * 3, &bytes, 4);
    }
    return end;
}

template <int Taps>
__attribute__((target("sse4.1"), always_inline)) inline int Horizontal8To16Taps(const std::uint8_t* in, int base,
                                                                               const AxisTaps& ax,
                                                                               std::uint16_t* out) {
    const int end = VectorPixels(ax);
    const int taps = Taps > 0 ? Taps : ax.taps;
    const __m128i round = _mm_set1_epi32(128);
    const std::uint32_t* w = ax.weight;
    for (int x = 0; x < end; ++x, w += taps) {
        const std::uint8_t* p = in + std::ptrdiff_t(ax.start[x] - base) * 3;
        __m128i acc = round;
        // Unrolled whatever the optimiser's level: the tap count is fixed.
#pragma GCC unroll 8
        for (int k = 0; k < taps; ++k, p += 3) {
            int four = 0;
            std::memcpy(&four, p, 4);
            const __m128i v = _mm_cvtepu8_epi32(_mm_cvtsi32_si128(four));
            acc = _mm_add_epi32(acc, _mm_mullo_epi32(v, _mm_set1_epi32(static_cast<int>(w[k]))));
        }
        const __m128i sum = _mm_srli_epi32(acc, 8);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + std::ptrdiff_t(x) * 3), _mm_packus_epi32(sum, sum));
    }
    return end;
}

}  // namespace

__attribute__((target("sse4.1"))) int Horizontal16To8Sse41(const std::uint16_t* in, int base, const AxisTaps& ax,
                                                           std::uint8_t* out) {
    switch (ax.taps) {
    case 1: return Horizontal16To8Taps<1>(in, base, ax, out);
    case 2: return Horizontal16To8Taps<2>(in, base, ax, out);
    case 3: return Horizontal16To8Taps<3>(in, base, ax, out);
    case 4: return Horizontal16To8Taps<4>(in, base, ax, out);
    case 5: return Horizontal16To8Taps<5>(in, base, ax, out);
    default: return Horizontal16To8Taps<0>(in, base, ax, out);
    }
}

__attribute__((target("sse4.1"))) int Horizontal8To16Sse41(const std::uint8_t* in, int base, const AxisTaps& ax,
                                                          std::uint16_t* out) {
    switch (ax.taps) {
    case 1: return Horizontal8To16Taps<1>(in, base, ax, out);
    case 2: return Horizontal8To16Taps<2>(in, base, ax, out);
    case 3: return Horizontal8To16Taps<3>(in, base, ax, out);
    case 4: return Horizontal8To16Taps<4>(in, base, ax, out);
    case 5: return Horizontal8To16Taps<5>(in, base, ax, out);
    default: return Horizontal8To16Taps<0>(in, base, ax, out);
    }
}

}  // namespace vantoria::raster::detail::x86

#endif
