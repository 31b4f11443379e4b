// PNG plug-in: every colour type and bit depth through libspng, read straight
// from the file in rows; transparency (alpha or tRNS) is flattened onto black.
// A cICP or iCCP chunk converts the finished rows to sRGB.

#include <spng.h>

#include <array>
#include <cstring>
#include <optional>
#include <vector>

#include "ColourProfile.h"
#include "DeclaredHeads.h"
#include "Limits.h"
#include "OntoBlack.h"
#include "PluginError.h"
#include "PluginFormat.h"
#include "Freer.h"

namespace vantoria::spi {
namespace {

constexpr std::array<std::uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
// Ancillary chunks libspng keeps in memory (text, ICC profiles, ...).
constexpr std::size_t kChunkCacheLimit = std::size_t{64} << 20;

bool Recognise(std::span<const std::uint8_t> head) {
    return head.size() >= kSignature.size() &&
           std::memcmp(head.data(), kSignature.data(), kSignature.size()) == 0;
}

SUSIE_DECLARE_HEADS(1, Head(0, "\x89PNG\r\n\x1A\n"));

using CtxFree = Freer<spng_ctx_free>;

// Colour scaled by alpha, rounded: the pixel over black (Over for 8 bits).
inline std::uint8_t Over16(std::uint64_t c, std::uint64_t a) {
    constexpr std::uint64_t kFull = 65535ull * 65535ull;
    return static_cast<std::uint8_t>((c * a * 255 + kFull / 2) / kFull);
}

// Adam7: first column and column step of each pass.
constexpr int kPassX0[7] = {0, 4, 0, 2, 0, 1, 0};
constexpr int kPassDx[7] = {8, 8, 4, 4, 2, 2, 1};

class PngDecoder final : public Decoder {
public:
    explicit PngDecoder(const Source& source) : reader_(source), ctx_(spng_ctx_new(0)) {
        if (!ctx_) throw std::bad_alloc();
        spng_set_image_limits(ctx_.get(), kMaxSide, kMaxSide);
        spng_set_chunk_limits(ctx_.get(), SIZE_MAX, kChunkCacheLimit);
        // A damaged text chunk should not cost the picture.
        spng_set_crc_action(ctx_.get(), SPNG_CRC_ERROR, SPNG_CRC_DISCARD);
        // libspng does not know cICP yet: it comes among the unknown chunks.
        spng_set_option(ctx_.get(), SPNG_KEEP_UNKNOWN_CHUNKS, 1);
        Check(spng_set_png_stream(ctx_.get(), &PngDecoder::Read, this));
        Check(spng_get_ihdr(ctx_.get(), &ihdr_));
        CheckSize(ihdr_.width, ihdr_.height);
    }

    PictureSize Size() const override {
        return {static_cast<int>(ihdr_.width), static_cast<int>(ihdr_.height)};
    }

    void Decode(Dib24& out, Progress& progress) override {
        const bool wide = ihdr_.bit_depth == 16;
        const int fmt = wide ? SPNG_FMT_RGBA16 : SPNG_FMT_RGBA8;
        Check(spng_decode_image(ctx_.get(), nullptr, 0, fmt, SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE));
        const std::size_t rowLen = static_cast<std::size_t>(ihdr_.width) * (wide ? 8 : 4);
        std::vector<std::uint8_t> row(rowLen);
        const int height = out.Height();
        const bool interlaced = ihdr_.interlace_method != 0;
        // Each pass writes some pixels of a row; start from black so that no
        // pixel can be left unwritten.
        if (interlaced) out.Fill(0);

        int err = 0;
        do {
            spng_row_info info{};
            Check(spng_get_row_info(ctx_.get(), &info));
            err = spng_decode_row(ctx_.get(), row.data(), rowLen);
            if (err != 0 && err != SPNG_EOI) Check(err);
            // Non-interlaced rows are complete: the last pass's column step.
            const int pass = interlaced ? info.pass : 6;
            if (pass < 0 || pass > 6 || info.row_num >= static_cast<std::uint32_t>(height))
                throw PluginError(SUSIE_ERR_INTERNAL, "row out of range");
            std::uint8_t* dst = out.Row(static_cast<int>(info.row_num));
            if (wide)
                Convert16(row.data(), dst, pass);
            else
                Convert8(row.data(), dst, pass);
            // Interlaced pictures visit the rows seven times, once a pass.
            const std::int64_t done = std::int64_t{info.row_num} + 1;
            progress.Report(interlaced ? (info.pass * std::int64_t{height} + done) / 7 : done, height);
        } while (err != SPNG_EOI);
        if (const auto toSrgb = EmbeddedProfile()) toSrgb->Convert(out);
    }

private:
    // The conversion the picture's colour chunks (those before its pixels)
    // ask for: cICP wins over iCCP. A cICP that is not plain full-range RGB
    // is ignored.
    std::optional<ToSrgb> EmbeddedProfile() const {
        std::uint32_t count = 0;
        if (spng_get_unknown_chunks(ctx_.get(), nullptr, &count) == 0 && count > 0) {
            std::vector<spng_unknown_chunk> chunks(count);
            if (spng_get_unknown_chunks(ctx_.get(), chunks.data(), &count) == 0) {
                for (const spng_unknown_chunk& chunk : chunks) {
                    if (std::memcmp(chunk.type, "cICP", 4) != 0 || chunk.length != 4 ||
                        chunk.location == SPNG_AFTER_IDAT)
                        continue;
                    const auto* cicp = static_cast<const std::uint8_t*>(chunk.data);
                    if (cicp[2] == 0 && cicp[3] == 1) return ToSrgb::FromCicp({cicp[0], cicp[1]});
                    break;
                }
            }
        }
        spng_iccp iccp{};
        if (spng_get_iccp(ctx_.get(), &iccp) != 0 || iccp.profile == nullptr) return std::nullopt;
        return ToSrgb::FromIcc({reinterpret_cast<const std::uint8_t*>(iccp.profile), iccp.profile_len});
    }

    void Convert8(const std::uint8_t* rgba, std::uint8_t* bgr, int pass) const {
        for (std::uint32_t x = kPassX0[pass]; x < ihdr_.width; x += kPassDx[pass]) {
            const std::uint8_t* s = rgba + 4 * x;
            std::uint8_t* d = bgr + 3 * x;
            const unsigned a = s[3];
            if (a == 255) {
                d[0] = s[2], d[1] = s[1], d[2] = s[0];
            } else {
                d[0] = Over(s[2], a), d[1] = Over(s[1], a), d[2] = Over(s[0], a);
            }
        }
    }

    void Convert16(const std::uint8_t* rgba, std::uint8_t* bgr, int pass) const {
        for (std::uint32_t x = kPassX0[pass]; x < ihdr_.width; x += kPassDx[pass]) {
            std::uint16_t s[4];
            std::memcpy(s, rgba + 8 * x, sizeof s);
            std::uint8_t* d = bgr + 3 * x;
            d[0] = Over16(s[2], s[3]), d[1] = Over16(s[1], s[3]), d[2] = Over16(s[0], s[3]);
        }
    }

    // libspng pulls the file through here; errors must not unwind through it.
    static int Read(spng_ctx*, void* user, void* dst, std::size_t length) {
        auto* self = static_cast<PngDecoder*>(user);
        try {
            return self->reader_.Read(dst, length) == length ? 0 : SPNG_IO_EOF;
        } catch (...) {
            self->readFailed_ = true;
            return SPNG_IO_ERROR;
        }
    }

    void Check(int err) const {
        if (err == 0) return;
        if (readFailed_) throw PluginError(SUSIE_ERR_FILE_READ, "read error");
        if (err == SPNG_ESIGNATURE) throw PluginError(SUSIE_ERR_UNKNOWN_FORMAT, spng_strerror(err));
        if (err == SPNG_EMEM) throw PluginError(SUSIE_ERR_NO_MEMORY, spng_strerror(err));
        if (err == SPNG_EUSER_WIDTH || err == SPNG_EUSER_HEIGHT)  // beyond kMaxSide, as CheckSize says
            throw PluginError(SUSIE_ERR_NO_MEMORY, spng_strerror(err));
        throw PluginError(SUSIE_ERR_BROKEN_DATA, spng_strerror(err));
    }

    Reader reader_;
    std::unique_ptr<spng_ctx, CtxFree> ctx_;
    spng_ihdr ihdr_{};
    bool readFailed_ = false;
};

std::unique_ptr<Decoder> Open(const Source& source) { return std::make_unique<PngDecoder>(source); }

const char* const kInfo[] = {SUSIE_API_VERSION, "Vantoria PNG plug-in", "*.png", "PNG pictures"};

}  // namespace

const PluginFormat kPluginFormat = {kInfo, 4, kSignature.size(), &Recognise, &Open};

}  // namespace vantoria::spi
