#include "imaging/PluginPicture.h"

#include <string>
#include <utility>

namespace vantoria::imaging {

namespace {

using dib::DibError;

void CheckBlock(const SusieBlock& block, const char* what) {
    if (block.Get() == nullptr) {
        throw DibError(std::string("the plug-in handed over no ") + what);
    }
    if (!block.Valid()) {
        throw DibError(std::string("the plug-in's ") + what +
                       " is not a memory block of the plug-in interface");
    }
}

}  // namespace

void CheckReportedSize(int width, int height, const dib::Limits& limits) {
    if (width <= 0 || height <= 0) {
        throw DibError("the plug-in reported an empty picture (" + std::to_string(width) + " x " +
                       std::to_string(height) + ")");
    }
    if (width > limits.maxSide || height > limits.maxSide ||
        std::int64_t{width} * height > limits.maxPixels) {
        throw DibError("the plug-in reported a picture too large to show (" +
                       std::to_string(width) + " x " + std::to_string(height) + ")");
    }
}

raster::Bitmap ConvertPluginPicture(int width, int height, SusieBlock info, SusieBlock bits,
                                    const dib::Limits& limits) {
    CheckReportedSize(width, height, limits);
    CheckBlock(info, "picture header");
    CheckBlock(bits, "pixel data");

    const std::span<const std::uint8_t> infoBytes = info.Bytes();
    const dib::DibInfo header = dib::ReadDibHeader(infoBytes, limits);
    // Above 8 bits a colour table is only a display hint, which the decoder
    // never reads; up to 8 bits it must all be there.
    const std::size_t needed = header.bitCount <= 8 ? header.infoBytes : header.colorTableOffset;
    if (infoBytes.size() < needed) {
        throw DibError("the plug-in's picture header holds " + std::to_string(infoBytes.size()) +
                       " bytes, its header and colour table need " + std::to_string(needed));
    }
    if (header.width != width) {
        throw DibError("the plug-in reported a width of " + std::to_string(width) +
                       " pixels but handed over a picture " + std::to_string(header.width) +
                       " pixels wide");
    }
    const std::size_t bitsSize = bits.Bytes().size();
    if (!header.Rle() && bitsSize < header.imageBytes) {
        throw DibError("the plug-in handed over " + std::to_string(bitsSize) +
                       " bytes of pixel data, its picture needs " +
                       std::to_string(header.imageBytes));
    }

    dib::OwnedBits owned{
        {static_cast<std::uint8_t*>(bits.Release()), [](std::uint8_t* p) { susie_block_free(p); }},
        bitsSize};
    raster::Bitmap picture = dib::DecodeDib(infoBytes, std::move(owned), limits);
    if (picture.Height() == height) return picture;

    raster::Bitmap sized(width, height);   // fresh storage is black
    sized.Draw(0, 0, picture);
    return sized;
}

}  // namespace vantoria::imaging
