#pragma once
// The header of a device-independent bitmap: BITMAPCOREHEADER (12 bytes),
// OS/2 2.x (16 or 64 bytes), BITMAPINFOHEADER (40), its 52- and 56-byte
// extensions, BITMAPV4HEADER (108) and BITMAPV5HEADER (124). Reading it checks
// everything the decoder relies on later: size limits, depth, compression and
// bit-field masks, so a header that ReadDibHeader accepts can be decoded.

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/dib/DibLimits.h"

namespace vantoria::dib {

// Compression values of BITMAPINFOHEADER.
inline constexpr std::uint32_t kBiRgb = 0;
inline constexpr std::uint32_t kBiRle8 = 1;
inline constexpr std::uint32_t kBiRle4 = 2;
inline constexpr std::uint32_t kBiBitfields = 3;
inline constexpr std::uint32_t kBiJpeg = 4;
inline constexpr std::uint32_t kBiPng = 5;
inline constexpr std::uint32_t kBiAlphaBitfields = 6;

struct ChannelMasks {
    std::uint32_t red = 0;
    std::uint32_t green = 0;
    std::uint32_t blue = 0;
    std::uint32_t alpha = 0;   // read but not used: the bitmap has no alpha
    friend bool operator==(const ChannelMasks&, const ChannelMasks&) = default;
};

struct DibInfo {
    std::uint32_t headerSize = 0;
    int width = 0;
    int height = 0;             // number of rows, always positive
    bool topDown = false;       // first stored row is the top one
    int bitCount = 0;           // 1, 2, 4, 8, 16, 24 or 32
    std::uint32_t compression = kBiRgb;  // kBiRgb, kBiRle8, kBiRle4 or kBiBitfields
    // For 16 and 32 bits: the channel masks in force (the defaults 5-5-5 and
    // 8-8-8 for kBiRgb). Zero for the other depths.
    ChannelMasks masks;
    // The colour table: where it starts in the info block, how many entries
    // the header declares (for up to 8 bits, never more than the depth can
    // index), and bytes per entry (3 for core headers, else 4).
    std::size_t colorTableOffset = 0;
    std::uint32_t colorCount = 0;
    std::size_t colorEntryBytes = 4;
    // Bytes of header, masks and colour table: where the pixels start in a
    // packed DIB.
    std::size_t infoBytes = 0;
    // Bytes of one stored row, and of all rows, when uncompressed.
    std::size_t rowBytes = 0;
    std::size_t imageBytes = 0;

    bool Rle() const { return compression == kBiRle8 || compression == kBiRle4; }
};

// Reads the header at the start of `info` (and the three or four mask words
// that follow a 40-byte header with bit-field compression). Throws DibError
// for anything the decoder cannot read.
DibInfo ReadDibHeader(std::span<const std::uint8_t> info, const Limits& limits = {});

}  // namespace vantoria::dib
