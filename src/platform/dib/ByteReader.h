#pragma once
// Little-endian reads from a byte span, for the bitmap decoder and the
// icon reader.

#include <cstddef>
#include <cstdint>
#include <span>

namespace vantoria::dib {

using Bytes = std::span<const std::uint8_t>;

// True when `count` bytes starting at `offset` lie inside `data`.
inline bool Has(Bytes data, std::size_t offset, std::size_t count) {
    return offset <= data.size() && count <= data.size() - offset;
}

// The readers below do not check: every caller tests Has() first.
inline std::uint16_t U16(Bytes data, std::size_t offset) {
    return static_cast<std::uint16_t>(data[offset] | (data[offset + 1] << 8));
}

inline std::uint32_t U32(Bytes data, std::size_t offset) {
    return static_cast<std::uint32_t>(data[offset]) |
           (static_cast<std::uint32_t>(data[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(data[offset + 2]) << 16) |
           (static_cast<std::uint32_t>(data[offset + 3]) << 24);
}

inline std::int32_t S32(Bytes data, std::size_t offset) {
    return static_cast<std::int32_t>(U32(data, offset));
}

}  // namespace vantoria::dib
