#pragma once
// Our plug-ins' declarations of the heads they take (susie_heads.h), each
// pattern written as the bytes compared, with a '.' in `gaps` for a byte that
// may be anything. A pattern that breaks the header's bounds does not compile.
//
//   SUSIE_DECLARE_HEADS(1, Head(0, "RIFF....WEBP", "xxxx....xxxx"));

#include <cstddef>
#include <cstdint>

#include "susie_heads.h"

namespace vantoria::spi {

template <std::size_t N>
consteval SusieHeadPattern Head(std::uint16_t offset, const char (&bytes)[N], const char (&gaps)[N]) {
    static_assert(N > 1 && N - 1 <= SUSIE_HEAD_PATTERN_BYTES, "a pattern compares 1 to 24 bytes");
    if (offset + (N - 1) > SUSIE_HEADS_MAX_END) throw "a pattern ends beyond the bytes a host reads";
    SusieHeadPattern pattern{};
    pattern.offset = offset;
    pattern.length = static_cast<std::uint8_t>(N - 1);
    for (std::size_t i = 0; i + 1 < N; ++i) {
        if (gaps[i] != '.' && gaps[i] != 'x') throw "gaps hold 'x' (compared) or '.' (any byte)";
        pattern.bytes[i] = static_cast<std::uint8_t>(bytes[i]);
        pattern.mask[i] = gaps[i] == '.' ? 0 : 0xFF;
    }
    return pattern;
}

// Every byte compared.
template <std::size_t N>
consteval SusieHeadPattern Head(std::uint16_t offset, const char (&bytes)[N]) {
    char gaps[N] = {};
    for (std::size_t i = 0; i + 1 < N; ++i) gaps[i] = 'x';
    return Head(offset, bytes, gaps);
}

}  // namespace vantoria::spi
