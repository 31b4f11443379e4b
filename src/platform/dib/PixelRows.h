#pragma once
// Converting stored pixels into a 24-bit bitmap. Internal to the decoder; the
// bitmap passed in already has the picture's size.

#include <span>

#include "platform/dib/DibHeader.h"
#include "platform/dib/Palette.h"
#include "platform/raster/Bitmap.h"

namespace vantoria::dib {

// Uncompressed rows (kBiRgb, kBiBitfields). When `bits` holds fewer rows than
// the picture has, the rows present are decoded and the rest are black.
void DecodeRows(const DibInfo& info, const Palette& palette, std::span<const std::uint8_t> bits,
                raster::Bitmap& out);

// An RLE8 or RLE4 stream. Pixels the stream does not set (skipped by a delta
// or an early end of line, or missing because the stream ends early) are
// black. Runs past the end of a row are cut off there; a delta or end of line
// that leaves the picture ends the decoding.
void DecodeRle(const DibInfo& info, const Palette& palette, std::span<const std::uint8_t> bits,
               raster::Bitmap& out);

}  // namespace vantoria::dib
