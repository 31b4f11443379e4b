#pragma once
// Feeds one fuzz input to the host's conversion of plug-in blocks, as a
// plug-in's GetPictureInfo and GetPicture would hand them over:
//   byte 0       flags: bit 0 null info handle, bit 1 null bits handle
//   bytes 1-8    reported width and height (little-endian int32)
//   bytes 9-10   length of the info block (little-endian)
//   then         the info block, and the rest is the bits block.
// Shared by the fuzz target and the test that replays its crashers.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "imaging/PluginPicture.h"

namespace imagingfuzz {

inline vantoria::imaging::SusieBlock MakeBlock(const std::uint8_t* data, std::size_t size) {
    vantoria::imaging::SusieBlock block(susie_block_alloc(size));
    if (block.Get() && size) std::memcpy(block.Get(), data, size);
    return block;
}

// Converts the input; returns a checksum of every pixel, so that each byte
// of the result is read.
inline unsigned ConvertInput(const std::uint8_t* data, std::size_t size) {
    if (size < 11) return 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::memcpy(&width, data + 1, 4);
    std::memcpy(&height, data + 5, 4);
    std::size_t infoSize = data[9] | (std::size_t(data[10]) << 8);
    if (infoSize > size - 11) infoSize = size - 11;
    const std::uint8_t* info = data + 11;
    const std::uint8_t* bits = info + infoSize;
    const std::size_t bitsSize = size - 11 - infoSize;

    // Small limits keep a few header bytes from asking for gigabytes.
    const vantoria::dib::Limits limits{2048, std::int64_t{1} << 20};
    unsigned sum = 0;
    try {
        const vantoria::raster::Bitmap b = vantoria::imaging::ConvertPluginPicture(
            width, height,
            (data[0] & 1) ? vantoria::imaging::SusieBlock() : MakeBlock(info, infoSize),
            (data[0] & 2) ? vantoria::imaging::SusieBlock() : MakeBlock(bits, bitsSize), limits);
        if (b.Width() != width || b.Height() != height) __builtin_trap();
        for (int y = 0; y < b.Height(); ++y) {
            const std::uint8_t* row = b.ScanLine(y);
            for (int x = 0; x < b.Width() * 3; ++x) sum += row[x];
        }
    } catch (const vantoria::dib::DibError&) {
    }
    return sum;
}

}  // namespace imagingfuzz
