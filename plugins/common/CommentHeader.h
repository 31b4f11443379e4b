#pragma once
// The PC-98 and X68000 pictures (Pi, PIC) start alike: the signature, a
// comment ended by 0x1A (or straight by a zero), then filler up to the first
// zero, after which the header proper starts.

#include <cstddef>
#include <cstdint>
#include <span>

namespace vantoria::spi {

// Where the header proper starts, past the end of `file` if it has none.
inline std::size_t CommentHeaderStart(std::span<const std::uint8_t> file, std::size_t signatureBytes) {
    std::size_t at = signatureBytes;
    while (at < file.size() && file[at] != 0x1A && file[at] != 0) ++at;
    while (at < file.size() && file[at] != 0) ++at;
    return at + 1;
}

}  // namespace vantoria::spi
