#include "platform/dib/DibHeader.h"

#include <algorithm>
#include <string>

#include "platform/dib/BitFields.h"
#include "platform/dib/ByteReader.h"
#include "platform/dib/CheckedSize.h"
#include "platform/dib/DibError.h"
#include "platform/raster/SizeLimits.h"

namespace vantoria::dib {

namespace {

// Header sizes this decoder knows.
constexpr std::uint32_t kCoreHeader = 12;
constexpr std::uint32_t kOs2ShortHeader = 16;
constexpr std::uint32_t kInfoHeader = 40;
constexpr std::uint32_t kInfoV2Header = 52;   // adds the three colour masks
constexpr std::uint32_t kInfoV3Header = 56;   // adds the alpha mask
constexpr std::uint32_t kOs2Header = 64;
constexpr std::uint32_t kV4Header = 108;
constexpr std::uint32_t kV5Header = 124;

bool IsOs2(std::uint32_t size) { return size == kOs2ShortHeader || size == kOs2Header; }

std::string Hex(std::uint32_t v) {
    static const char digits[] = "0123456789abcdef";
    std::string s = "0x";
    bool started = false;
    for (int shift = 28; shift >= 0; shift -= 4) {
        const unsigned d = (v >> shift) & 0xF;
        if (d || started || shift == 0) {
            s += digits[d];
            started = true;
        }
    }
    return s;
}

std::string CompressionName(std::uint32_t compression, bool os2) {
    std::string s = "unsupported compression " + std::to_string(compression);
    if (os2 && compression == 3) return s + " (OS/2 Huffman)";
    if (os2 && compression == 4) return s + " (OS/2 RLE24)";
    if (compression == kBiJpeg) return s + " (JPEG)";
    if (compression == kBiPng) return s + " (PNG)";
    return s;
}

void CheckDimensions(std::int64_t width, std::int64_t height, const Limits& limits) {
    if (width == 0 || height == 0) throw DibError("empty picture: " + std::to_string(width) +
                                                  " x " + std::to_string(height));
    if (width < 0) throw DibError("bad picture width " + std::to_string(width));
    // Callers may lower the limits, never raise them past what the bitmap
    // and the size arithmetic are built for.
    const std::int64_t maxSide = std::min<std::int64_t>(limits.maxSide, kMaxSide);
    const std::int64_t maxPixels = std::min(limits.maxPixels, kMaxPixels);
    if (width > maxSide || height > maxSide || width * height > maxPixels) {
        throw DibError("picture too large: " + std::to_string(width) + " x " +
                       std::to_string(height));
    }
}

void CheckDepth(int bits) {
    switch (bits) {
    case 1: case 2: case 4: case 8: case 16: case 24: case 32: return;
    default: throw DibError("unsupported bit depth " + std::to_string(bits));
    }
}

void CheckMasks(const ChannelMasks& m) {
    for (std::uint32_t mask : {m.red, m.green, m.blue}) {
        if (!IsContiguousMask(mask)) {
            throw DibError("bit-field mask " + Hex(mask) + " is not contiguous");
        }
    }
}

}  // namespace

DibInfo ReadDibHeader(std::span<const std::uint8_t> data, const Limits& limits) {
    if (!Has(data, 0, 4)) throw DibError("truncated bitmap header");
    DibInfo info;
    info.headerSize = U32(data, 0);
    const std::uint32_t size = info.headerSize;
    switch (size) {
    case kCoreHeader: case kOs2ShortHeader: case kInfoHeader: case kInfoV2Header:
    case kInfoV3Header: case kOs2Header: case kV4Header: case kV5Header:
        break;
    default:
        throw DibError("unsupported bitmap header size " + std::to_string(size));
    }
    if (!Has(data, 0, size)) throw DibError("truncated bitmap header");

    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint32_t colorsUsed = 0;
    if (size == kCoreHeader) {
        // Sizes are unsigned 16-bit words; core bitmaps are always bottom-up.
        width = U16(data, 4);
        height = U16(data, 6);
        info.bitCount = U16(data, 10);
        info.colorEntryBytes = 3;
    } else {
        width = S32(data, 4);
        height = S32(data, 8);
        info.bitCount = U16(data, 14);
        if (size >= kInfoHeader) {
            info.compression = U32(data, 16);
            colorsUsed = U32(data, 32);
        }
    }
    if (height < 0) {
        info.topDown = true;
        height = -height;   // 64-bit, so INT_MIN negates safely and is refused below
    }
    CheckDimensions(width, height, limits);
    info.width = static_cast<int>(width);
    info.height = static_cast<int>(height);
    CheckDepth(info.bitCount);

    const bool os2 = IsOs2(size);
    std::size_t maskBytes = 0;
    // OS/2 gives 3 and 4 other meanings (Huffman, RLE24), neither supported.
    if (os2 && info.compression > kBiRle4) throw DibError(CompressionName(info.compression, os2));
    switch (info.compression) {
    case kBiRgb:
        if (info.bitCount == 16) info.masks = {0x7C00, 0x03E0, 0x001F, 0};
        if (info.bitCount == 32) info.masks = {0xFF0000, 0x00FF00, 0x0000FF, 0};
        break;
    case kBiRle8:
    case kBiRle4: {
        const int needed = info.compression == kBiRle8 ? 8 : 4;
        const char* name = info.compression == kBiRle8 ? "RLE8" : "RLE4";
        if (info.bitCount != needed) {
            throw DibError(std::string(name) + " compression needs " + std::to_string(needed) +
                           " bits per pixel, not " + std::to_string(info.bitCount));
        }
        if (info.topDown) throw DibError(std::string("a top-down bitmap cannot be ") + name +
                                         "-compressed");
        break;
    }
    case kBiBitfields:
    case kBiAlphaBitfields: {
        if (info.bitCount != 16 && info.bitCount != 32) {
            throw DibError("bit-field compression needs 16 or 32 bits per pixel, not " +
                           std::to_string(info.bitCount));
        }
        std::size_t at = kInfoHeader;
        if (size == kInfoHeader) {
            // A plain info header is followed by the masks.
            maskBytes = info.compression == kBiAlphaBitfields ? 16 : 12;
            if (!Has(data, at, maskBytes)) throw DibError("truncated bit-field masks");
        }
        info.masks.red = U32(data, at);
        info.masks.green = U32(data, at + 4);
        info.masks.blue = U32(data, at + 8);
        if (maskBytes == 16 || size >= kInfoV3Header) info.masks.alpha = U32(data, at + 12);
        CheckMasks(info.masks);
        info.compression = kBiBitfields;
        break;
    }
    default:
        throw DibError(CompressionName(info.compression, os2));
    }

    info.colorTableOffset = size + maskBytes;
    if (info.bitCount <= 8) {
        const std::uint32_t full = 1u << info.bitCount;
        info.colorCount = colorsUsed == 0 ? full : std::min(colorsUsed, full);
    } else {
        info.colorCount = colorsUsed;   // an optional display palette; not used
    }
    info.infoBytes = CheckedAdd(info.colorTableOffset,
                                CheckedMul(info.colorCount, info.colorEntryBytes));
    // The width is checked by now and the bit count at most 32: no overflow.
    info.rowBytes = static_cast<std::size_t>(limits::PaddedRowBytes(info.width, info.bitCount));
    info.imageBytes = CheckedMul(info.rowBytes, static_cast<std::size_t>(info.height));
    return info;
}

}  // namespace vantoria::dib
