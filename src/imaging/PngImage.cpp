#include "imaging/PngImage.h"

#include <spng.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/dib/DibError.h"

namespace vantoria::imaging {

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// No chunk an icon image needs comes near these; they stop a few header
// bytes from asking for huge buffers.
constexpr std::size_t kMaxChunkBytes = std::size_t{16} << 20;
constexpr std::size_t kMaxChunkCache = std::size_t{64} << 20;

struct ContextFree {
    void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
};

void Check(int error, const char* step) {
    if (error != 0) {
        throw dib::DibError(std::string("damaged PNG image (") + step + "): " +
                            spng_strerror(error));
    }
}

}  // namespace

bool IsPng(std::span<const std::uint8_t> data) {
    return data.size() >= sizeof kSignature &&
           std::equal(std::begin(kSignature), std::end(kSignature), data.begin());
}

raster::Bitmap DecodePng(std::span<const std::uint8_t> data, const dib::Limits& limits) {
    const std::unique_ptr<spng_ctx, ContextFree> ctx(spng_ctx_new(0));
    if (!ctx) throw dib::DibError("not enough memory to read a PNG image");
    const auto side = static_cast<std::uint32_t>(std::max(limits.maxSide, 1));
    Check(spng_set_image_limits(ctx.get(), side, side), "limits");
    Check(spng_set_chunk_limits(ctx.get(), kMaxChunkBytes, kMaxChunkCache), "limits");
    Check(spng_set_png_buffer(ctx.get(), data.data(), data.size()), "buffer");

    spng_ihdr ihdr{};
    Check(spng_get_ihdr(ctx.get(), &ihdr), "header");
    const auto width = static_cast<int>(ihdr.width);
    const auto height = static_cast<int>(ihdr.height);
    if (std::int64_t{width} * height > limits.maxPixels) {
        throw dib::DibError("PNG image too large: " + std::to_string(width) + " x " +
                            std::to_string(height));
    }
    std::size_t bytes = 0;
    Check(spng_decoded_image_size(ctx.get(), SPNG_FMT_RGBA8, &bytes), "size");
    std::vector<std::uint8_t> rgba(bytes);
    Check(spng_decode_image(ctx.get(), rgba.data(), rgba.size(), SPNG_FMT_RGBA8,
                            SPNG_DECODE_TRNS),
          "pixels");

    raster::Bitmap out(width, height);
    const std::size_t rowBytes = std::size_t(width) * 4;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* src = rgba.data() + rowBytes * static_cast<std::size_t>(y);
        std::uint8_t* dst = out.ScanLine(y);
        for (int x = 0; x < width; ++x, src += 4, dst += 3) {
            const unsigned a = src[3];
            dst[0] = static_cast<std::uint8_t>((src[2] * a + 127) / 255);
            dst[1] = static_cast<std::uint8_t>((src[1] * a + 127) / 255);
            dst[2] = static_cast<std::uint8_t>((src[0] * a + 127) / 255);
        }
    }
    return out;
}

}  // namespace vantoria::imaging
