#pragma once
// Decoding device-independent bitmaps into a 24-bit raster::Bitmap.
//
// Accepted: core, OS/2 2.x, info (40, 52, 56 bytes), V4 and V5 headers;
// 1, 2, 4, 8, 16, 24 and 32 bits per pixel; BI_RGB (16 bits are 5-5-5),
// BI_BITFIELDS and BI_ALPHABITFIELDS (16 and 32 bits, any contiguous masks,
// alpha ignored), BI_RLE8 and BI_RLE4 (bottom-up only); bottom-up and top-down
// rows. Colour indexes past the colour table read as black.
//
// Damaged data: every read is checked against the bytes present. Anything
// that cannot be decoded throws DibError. Two kinds of damage are forgiven
// and shown as far as they go, as picture viewers do: uncompressed pixel
// data that ends early (the whole rows present are decoded, the rest is
// black) and an RLE stream that ends early (the rest is black). Pixels an RLE
// stream skips are black too. No pixel data at all is an error.
//
// Sizes beyond the Limits are refused before anything is allocated.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/dib/DibError.h"
#include "platform/dib/DibHeader.h"
#include "platform/dib/DibLimits.h"
#include "platform/raster/Bitmap.h"

namespace vantoria::dib {

// A block of pixel bits whose ownership passes to the decoder: `size` bytes
// at block.data, freed with block.release once nobody uses them.
struct OwnedBits {
    raster::Bitmap::Block block;
    std::size_t size = 0;
};

// A packed BITMAPINFO (header, masks, colour table) and the pixel bits in a
// separate block, each with its real length: what an image plug-in hands
// over, and what SetDIBits takes.
raster::Bitmap DecodeDib(std::span<const std::uint8_t> info, std::span<const std::uint8_t> bits,
                         const Limits& limits = {});

// The same, taking over the bits. When they already are complete 24-bit
// BI_RGB rows, the bitmap adopts the block without copying; otherwise the
// pixels are converted and the block is released before returning (also
// when decoding fails).
raster::Bitmap DecodeDib(std::span<const std::uint8_t> info, OwnedBits bits,
                         const Limits& limits = {});

// A whole bitmap file in memory: BITMAPFILEHEADER ("BM"), header, colour
// table and pixels. bfSize is not used. A bfOffBits that points into the
// headers (0, say) is taken to mean that the pixels follow the colour table;
// one that points past the end of the file is an error. A bfOffBits inside
// the colour table marks a shorter table.
raster::Bitmap DecodeBmp(std::span<const std::uint8_t> file, const Limits& limits = {});

// The same into `out`, which must have the picture's size: for a caller
// that holds the memory for it already (the DIB plug-in's handed-over rows).
void DecodeBmpInto(std::span<const std::uint8_t> file, raster::Bitmap& out, const Limits& limits = {});

// Reads a bitmap file from disk, as DecodeBmp does. Only the headers and the
// pixel data are read; 24-bit pixels are read straight into the bitmap.
raster::Bitmap LoadBmpFile(const std::string& path, const Limits& limits = {});

}  // namespace vantoria::dib
