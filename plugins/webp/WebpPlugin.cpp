// WebP plug-in: still pictures and the first frame of animations, through
// libwebp and its demuxer. The first frame of an animation lies on a
// transparent canvas, so whatever it does not cover is black. Opaque frames
// decode straight into the handed-over rows; frames with alpha go through
// one premultiplied BGRA buffer, which puts them onto black. An ICCP chunk
// converts the finished frame to sRGB.

#include <webp/decode.h>
#include <webp/demux.h>

#include <cstring>
#include <optional>

#include "ColourProfile.h"
#include "DeclaredHeads.h"
#include "Limits.h"
#include "MemoryLimit.h"
#include "PluginError.h"
#include "PluginFormat.h"
#include "Freer.h"

namespace vantoria::spi {
namespace {

bool Recognise(std::span<const std::uint8_t> head) {
    return head.size() >= 12 && std::memcmp(head.data(), "RIFF", 4) == 0 &&
           std::memcmp(head.data() + 8, "WEBP", 4) == 0;
}

SUSIE_DECLARE_HEADS(1, Head(0, "RIFF....WEBP", "xxxx....xxxx"));

using DemuxFree = Freer<WebPDemuxDelete>;
using IteratorRelease = Freer<WebPDemuxReleaseIterator>;
using ChunkRelease = Freer<WebPDemuxReleaseChunkIterator>;

[[noreturn]] void Fail(VP8StatusCode status) {
    if (status == VP8_STATUS_OUT_OF_MEMORY) throw PluginError(SUSIE_ERR_NO_MEMORY, "out of memory");
    throw PluginError(SUSIE_ERR_BROKEN_DATA, "broken WebP data");
}

// The file's length as its RIFF header states it: bytes after that (a
// picture padded to gigabytes) are not read.
std::uint64_t RiffBytes(const Source& source) {
    std::uint8_t head[8];
    if (source.ReadAt(0, head, sizeof head) != sizeof head) return 0;
    return 8 + (std::uint64_t{head[4]} | std::uint64_t{head[5]} << 8 | std::uint64_t{head[6]} << 16 |
                std::uint64_t{head[7]} << 24);
}

// What decoding a frame takes beside the rows we hand over, checked before
// it starts. Lossless bitstreams are decoded whole into 32-bit ARGB inside
// libwebp (4 bytes a pixel); lossy ones a band of macroblocks at a time,
// but with alpha libwebp keeps the whole alpha plane (1 byte a pixel). A
// frame with alpha also goes through our premultiplied BGRA copy (4 bytes a
// pixel). So alpha is counted at 5 or 8 bytes a pixel on top of the
// picture's 3; measured, the whole decode peaks at 7 (2.3 times the picture).
std::uint64_t WebpWorkingBytes(const WebPBitstreamFeatures& features) {
    const std::uint64_t pixels = std::uint64_t(features.width) * std::uint64_t(features.height);
    const bool lossless = features.format == 2;
    std::uint64_t perPixel = lossless ? 4 : (features.has_alpha ? 1 : 0);
    if (features.has_alpha) perPixel += 4;
    return pixels * perPixel;
}

class WebpDecoder final : public Decoder {
public:
    explicit WebpDecoder(const Source& source) : bytes_(source.ReadAll(RiffBytes(source))) {
        const WebPData data = {bytes_.view.data(), bytes_.view.size()};
        demux_.reset(WebPDemux(&data));
        if (!demux_) throw PluginError(SUSIE_ERR_BROKEN_DATA, "broken WebP container");
        width_ = WebPDemuxGetI(demux_.get(), WEBP_FF_CANVAS_WIDTH);
        height_ = WebPDemuxGetI(demux_.get(), WEBP_FF_CANVAS_HEIGHT);
        CheckSize(width_, height_);
        if (!WebPDemuxGetFrame(demux_.get(), 1, &frame_)) throw PluginError(SUSIE_ERR_BROKEN_DATA, "no frame");
        frameHeld_.reset(&frame_);
        if (frame_.x_offset < 0 || frame_.y_offset < 0 || frame_.width <= 0 || frame_.height <= 0 ||
            std::int64_t{frame_.x_offset} + frame_.width > width_ ||
            std::int64_t{frame_.y_offset} + frame_.height > height_)
            throw PluginError(SUSIE_ERR_BROKEN_DATA, "frame outside the canvas");
    }

    PictureSize Size() const override { return {static_cast<int>(width_), static_cast<int>(height_)}; }

    void Decode(Dib24& out, Progress&) override {
        WebPDecoderConfig config;
        if (!WebPInitDecoderConfig(&config)) throw PluginError(SUSIE_ERR_INTERNAL, "libwebp version mismatch");
        const VP8StatusCode probe = WebPGetFeatures(frame_.fragment.bytes, frame_.fragment.size, &config.input);
        if (probe != VP8_STATUS_OK) Fail(probe);
        if (config.input.width != frame_.width || config.input.height != frame_.height)
            throw PluginError(SUSIE_ERR_BROKEN_DATA, "frame size differs from its bitstream");
        config.options.use_threads = 1;
        CheckWorkingMemory(out.Stride() * static_cast<std::uint64_t>(out.Height()), WebpWorkingBytes(config.input));
        if (frame_.width != out.Width() || frame_.height != out.Height()) out.Fill(0);
        if (config.input.has_alpha)
            DecodeOntoBlack(out, config);
        else
            DecodeDirect(out, config);
        if (const auto toSrgb = EmbeddedProfile()) ConvertFrame(*toSrgb, out);
    }

private:
    std::optional<ToSrgb> EmbeddedProfile() const {
        WebPChunkIterator chunk{};
        if (!WebPDemuxGetChunk(demux_.get(), "ICCP", 1, &chunk)) return std::nullopt;
        const std::unique_ptr<WebPChunkIterator, ChunkRelease> held(&chunk);
        return ToSrgb::FromIcc({chunk.chunk.bytes, chunk.chunk.size});
    }

    // The frame's pixels only: the canvas around it is the black background.
    void ConvertFrame(const ToSrgb& toSrgb, Dib24& out) const {
        if (frame_.width == out.Width() && frame_.height == out.Height()) return toSrgb.Convert(out);
        for (int y = 0; y < frame_.height; ++y)
            toSrgb.Convert(out.Row(frame_.y_offset + y) + 3 * std::size_t(frame_.x_offset),
                           static_cast<std::size_t>(frame_.width));
    }

    // BGR into the frame's place in the bottom-up rows: the lowest address
    // holds the frame's last row, and flipping writes it there.
    void DecodeDirect(Dib24& out, WebPDecoderConfig& config) const {
        WebPDecBuffer& buf = config.output;
        buf.colorspace = MODE_BGR;
        buf.is_external_memory = 1;
        buf.u.RGBA.rgba = out.Row(frame_.y_offset + frame_.height - 1) + 3 * std::size_t(frame_.x_offset);
        buf.u.RGBA.stride = static_cast<int>(out.Stride());
        buf.u.RGBA.size = out.Stride() * std::size_t(frame_.height - 1) + 3 * std::size_t(frame_.width);
        config.options.flip = 1;
        Run(config);
    }

    // Premultiplied BGRA is the pixel over black; its alpha is dropped.
    void DecodeOntoBlack(Dib24& out, WebPDecoderConfig& config) const {
        const std::size_t pitch = std::size_t(frame_.width) * 4;
        auto bgra = std::make_unique_for_overwrite<std::uint8_t[]>(pitch * frame_.height);
        WebPDecBuffer& buf = config.output;
        buf.colorspace = MODE_bgrA;
        buf.is_external_memory = 1;
        buf.u.RGBA.rgba = bgra.get();
        buf.u.RGBA.stride = static_cast<int>(pitch);
        buf.u.RGBA.size = pitch * frame_.height;
        Run(config);
        for (int y = 0; y < frame_.height; ++y) {
            const std::uint8_t* s = bgra.get() + pitch * y;
            std::uint8_t* d = out.Row(frame_.y_offset + y) + 3 * std::size_t(frame_.x_offset);
            for (int x = 0; x < frame_.width; ++x, s += 4, d += 3) d[0] = s[0], d[1] = s[1], d[2] = s[2];
        }
    }

    void Run(WebPDecoderConfig& config) const {
        const VP8StatusCode status = WebPDecode(frame_.fragment.bytes, frame_.fragment.size, &config);
        WebPFreeDecBuffer(&config.output);  // external memory: frees nothing of ours
        if (status != VP8_STATUS_OK) Fail(status);
    }

    Bytes bytes_;
    std::unique_ptr<WebPDemuxer, DemuxFree> demux_;
    WebPIterator frame_{};
    std::unique_ptr<WebPIterator, IteratorRelease> frameHeld_;
    std::int64_t width_ = 0;
    std::int64_t height_ = 0;
};

std::unique_ptr<Decoder> Open(const Source& source) { return std::make_unique<WebpDecoder>(source); }

const char* const kInfo[] = {SUSIE_API_VERSION, "Vantoria WebP plug-in", "*.webp", "WebP pictures"};

}  // namespace

const PluginFormat kPluginFormat = {kInfo, 4, 12, &Recognise, &Open};

}  // namespace vantoria::spi
