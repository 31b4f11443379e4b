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

}  // namespace

raster::Bitmap DecodePixels(const DibInfo& info, const Palette& palette,
                            std::span<const std::uint8_t> bits) {
    if (info.bitCount <= 8 && palette.count == 0) throw DibError("missing colour table");
    // Damaged data is shown as far as it goes, but some must be there.
    if (info.Rle() && bits.size() < 2) throw DibError("truncated bitmap: no pixel data");
    if (!info.Rle() && bits.size() < info.rowBytes) {
        throw DibError("truncated bitmap: " + std::to_string(bits.size()) +
                       " bytes of pixel data, " + std::to_string(info.imageBytes) + " needed");
    }
    raster::Bitmap out = NewBitmap(info);
    if (info.Rle()) {
        DecodeRle(info, palette, bits, out);
    } else {
        DecodeRows(info, palette, bits, out);
    }
    return out;
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
