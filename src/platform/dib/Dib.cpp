#include "platform/dib/Dib.h"

#include <utility>

#include "platform/dib/Decoder.h"

namespace vantoria::dib {

namespace {

Palette PackedPalette(const DibInfo& info, std::span<const std::uint8_t> block) {
    // The table may be shorter than the header declares; ReadPalette takes
    // the whole entries present.
    return ReadPalette(info, info.colorTableOffset <= block.size()
                                 ? block.subspan(info.colorTableOffset)
                                 : std::span<const std::uint8_t>());
}

}  // namespace

raster::Bitmap DecodeDib(std::span<const std::uint8_t> info, std::span<const std::uint8_t> bits,
                         const Limits& limits) {
    const DibInfo header = ReadDibHeader(info, limits);
    return DecodePixels(header, PackedPalette(header, info), bits);
}

raster::Bitmap DecodeDib(std::span<const std::uint8_t> info, OwnedBits bits,
                         const Limits& limits) {
    HeldBits held(std::move(bits));
    const DibInfo header = ReadDibHeader(info, limits);
    return DecodePixels(header, PackedPalette(header, info), held);
}

}  // namespace vantoria::dib
