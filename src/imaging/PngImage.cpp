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

// Adam7: first column and column step of each pass.
constexpr int kPassX0[7] = {0, 4, 0, 2, 0, 1, 0};
constexpr int kPassDx[7] = {8, 8, 4, 4, 2, 2, 1};

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
    // Row by row into the bitmap: one RGBA row is all the extra memory.
    Check(spng_decode_image(ctx.get(), nullptr, 0, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE),
          "pixels");
    raster::Bitmap out(width, height);
    const bool interlaced = ihdr.interlace_method != 0;
    // Each pass of an interlaced image writes some pixels of a row; the rest
    // must be black, not whatever the storage held.
    if (interlaced) out.Fill(0, 0, 0);
    std::vector<std::uint8_t> rgba(std::size_t(width) * 4);
    int error = 0;
    do {
        spng_row_info row{};
        Check(spng_get_row_info(ctx.get(), &row), "pixels");
        error = spng_decode_row(ctx.get(), rgba.data(), rgba.size());
        if (error != SPNG_EOI) Check(error, "pixels");
        const int pass = interlaced ? row.pass : 6;  // a plain row is complete, as the last pass
        if (pass < 0 || pass > 6 || row.row_num >= std::uint32_t(height))
            throw dib::DibError("damaged PNG image (pixels): row out of range");
        std::uint8_t* dst = out.ScanLine(static_cast<int>(row.row_num));
        for (int x = kPassX0[pass]; x < width; x += kPassDx[pass]) {
            const std::uint8_t* src = rgba.data() + std::size_t(x) * 4;
            const unsigned a = src[3];
            dst[x * 3 + 0] = static_cast<std::uint8_t>((src[2] * a + 127) / 255);
            dst[x * 3 + 1] = static_cast<std::uint8_t>((src[1] * a + 127) / 255);
            dst[x * 3 + 2] = static_cast<std::uint8_t>((src[0] * a + 127) / 255);
        }
    } while (error != SPNG_EOI);
    return out;
}

}  // namespace vantoria::imaging
