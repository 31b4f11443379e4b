#include "platform/dib/Decoder.h"

#include <new>
#include <string>
#include <utility>

#include "platform/dib/PixelRows.h"

namespace vantoria::dib {

// A header that passed ReadDibHeader is within the bitmap's own limits, so
// creating or adopting the bitmap never fails for its size.
static_assert(kMaxSide <= raster::kMaxSide && kMaxPixels <= raster::kMaxPixels);

namespace {

raster::Bitmap NewBitmap(const DibInfo& info) {
    try {
        return raster::Bitmap(info.width, info.height);
    } catch (const raster::RasterError&) {
    } catch (const std::bad_alloc&) {
    }
    throw DibError("not enough memory for a picture of " + std::to_string(info.width) + " x " +
                   std::to_string(info.height));
}

// Some pixel data must be there; damaged data is shown as far as it goes.
void CheckPixels(const DibInfo& info, const Palette& palette, std::span<const std::uint8_t> bits) {
    if (info.bitCount <= 8 && palette.count == 0) throw DibError("missing colour table");
    if (info.Rle() && bits.size() < 2) throw DibError("truncated bitmap: no pixel data");
    if (!info.Rle() && bits.size() < info.rowBytes) {
        throw DibError("truncated bitmap: " + std::to_string(bits.size()) +
                       " bytes of pixel data, " + std::to_string(info.imageBytes) + " needed");
    }
}

void Decode(const DibInfo& info, const Palette& palette, std::span<const std::uint8_t> bits, raster::Bitmap& out) {
    if (info.Rle()) {
        DecodeRle(info, palette, bits, out);
    } else {
        DecodeRows(info, palette, bits, out);
    }
}

}  // namespace

raster::Bitmap DecodePixels(const DibInfo& info, const Palette& palette,
                            std::span<const std::uint8_t> bits) {
    CheckPixels(info, palette, bits);
    raster::Bitmap out = NewBitmap(info);
    Decode(info, palette, bits, out);
    return out;
}

void DecodePixelsInto(const DibInfo& info, const Palette& palette, std::span<const std::uint8_t> bits,
                      raster::Bitmap& out) {
    CheckPixels(info, palette, bits);
    if (out.Width() != info.width || out.Height() != info.height) {
        throw DibError("the picture is " + std::to_string(info.width) + " x " + std::to_string(info.height) +
                       ", the bitmap for it " + std::to_string(out.Width()) + " x " +
                       std::to_string(out.Height()));
    }
    Decode(info, palette, bits, out);
}

raster::Bitmap DecodePixels(const DibInfo& info, const Palette& palette, HeldBits& bits) {
    const bool adoptable = info.bitCount == 24 && info.compression == kBiRgb &&
                           bits.View().size() >= info.imageBytes;
    if (adoptable) {
        return raster::Bitmap::Adopt(info.width, info.height, !info.topDown, bits.Take());
    }
    return DecodePixels(info, palette, bits.View());
}

}  // namespace vantoria::dib
