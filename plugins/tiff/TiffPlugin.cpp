// TIFF plug-in: the first page through libtiff's RGBA reader, which knows
// every common layout (bilevel, grey, palette, RGB, CMYK, YCbCr, 1 to 16 bits
// a sample, contiguous or planar, strips or tiles, any compression libtiff
// has). It is read a band of strips or tiles at a time, so only one band of
// 32-bit pixels is held beside the handed-over rows. Alpha comes premultiplied
// (libtiff associates unassociated alpha), which is the pixel over black.
// Floating-point samples are refused. An embedded ICC profile of RGB, grey
// or palette pictures is applied to the finished rows.

#include <tiffio.h>

#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>

#include "ColourProfile.h"
#include "DeclaredHeads.h"
#include "Limits.h"
#include "PluginError.h"
#include "PluginFormat.h"
#include "Freer.h"

namespace vantoria::spi {
namespace {

bool Recognise(std::span<const std::uint8_t> head) {
    if (head.size() < 4) return false;
    const bool little = head[0] == 'I' && head[1] == 'I', big = head[0] == 'M' && head[1] == 'M';
    if (!little && !big) return false;
    const unsigned version = little ? head[2] | head[3] << 8 : head[2] << 8 | head[3];
    return version == 42 || version == 43;  // classic TIFF, BigTIFF
}

SUSIE_DECLARE_HEADS(4, Head(0, "II\x2A\0"), Head(0, "II\x2B\0"), Head(0, "MM\0\x2A"), Head(0, "MM\0\x2B"));

// One allocation libtiff may make (a strip or tile buffer, a tag array); a
// header that asks for more is refused instead of served.
constexpr tmsize_t kMaxSingleAlloc = tmsize_t{1} << 30;

using TiffClose = Freer<TIFFClose>;
using OptionsFree = Freer<TIFFOpenOptionsFree>;
using RgbaEnd = Freer<TIFFRGBAImageEnd>;

class TiffDecoder final : public Decoder {
public:
    explicit TiffDecoder(const Source& source) : source_(source) {
        std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
        if (!options) throw std::bad_alloc();
        TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxSingleAlloc);
        TIFFOpenOptionsSetErrorHandlerExtR(options.get(), &TiffDecoder::OnError, this);
        TIFFOpenOptionsSetWarningHandlerExtR(options.get(), &TiffDecoder::OnWarning, this);
        // "m": no memory mapping; every read goes through Read below.
        tif_.reset(TIFFClientOpenExt("picture", "rm", this, &TiffDecoder::Read, &TiffDecoder::Write,
                                     &TiffDecoder::Seek, &TiffDecoder::Close, &TiffDecoder::FileSize,
                                     &TiffDecoder::Map, &TiffDecoder::Unmap, options.get()));
        if (!tif_) Fail();
        std::uint32_t width = 0, height = 0;
        if (!TIFFGetField(tif_.get(), TIFFTAG_IMAGEWIDTH, &width) ||
            !TIFFGetField(tif_.get(), TIFFTAG_IMAGELENGTH, &height))
            throw PluginError(SUSIE_ERR_BROKEN_DATA, "no picture size");
        CheckSize(width, height);
        size_ = {static_cast<int>(width), static_cast<int>(height)};
    }

    PictureSize Size() const override { return size_; }

    void Decode(Dib24& out, Progress& progress) override {
        std::uint16_t format = SAMPLEFORMAT_UINT;
        TIFFGetFieldDefaulted(tif_.get(), TIFFTAG_SAMPLEFORMAT, &format);
        if (format == SAMPLEFORMAT_IEEEFP) throw PluginError(SUSIE_ERR_BROKEN_DATA, "floating-point samples");
        char message[1024] = {};
        TIFFRGBAImage image{};
        if (!TIFFRGBAImageOK(tif_.get(), message) || !TIFFRGBAImageBegin(&image, tif_.get(), 1, message))
            throw PluginError(SUSIE_ERR_BROKEN_DATA, "layout not supported");
        std::unique_ptr<TIFFRGBAImage, RgbaEnd> held(&image);
        image.req_orientation = ORIENTATION_TOPLEFT;
        if (image.width != static_cast<std::uint32_t>(size_.width) ||
            image.height != static_cast<std::uint32_t>(size_.height))
            throw PluginError(SUSIE_ERR_BROKEN_DATA, "inconsistent size");

        // A band is what the file decodes at once: a strip, or a row of tiles.
        std::uint32_t band = 0;
        if (TIFFIsTiled(tif_.get()))
            TIFFGetField(tif_.get(), TIFFTAG_TILELENGTH, &band);
        else
            TIFFGetFieldDefaulted(tif_.get(), TIFFTAG_ROWSPERSTRIP, &band);
        const std::uint32_t height = image.height, width = image.width;
        if (band == 0 || band > height) band = height;
        const auto raster = std::make_unique_for_overwrite<std::uint32_t[]>(static_cast<std::size_t>(width) * band);

        for (std::uint32_t y = 0; y < height; y += band) {
            const std::uint32_t rows = std::min(band, height - y);
            image.row_offset = static_cast<int>(y);
            image.col_offset = 0;
            if (!TIFFRGBAImageGet(&image, raster.get(), width, rows)) Fail();
            for (std::uint32_t r = 0; r < rows; ++r) {
                const std::uint32_t* s = raster.get() + static_cast<std::size_t>(r) * width;
                std::uint8_t* d = out.Row(static_cast<int>(y + r));
                for (std::uint32_t x = 0; x < width; ++x, d += 3) {
                    const std::uint32_t abgr = s[x];
                    d[0] = static_cast<std::uint8_t>(TIFFGetB(abgr));
                    d[1] = static_cast<std::uint8_t>(TIFFGetG(abgr));
                    d[2] = static_cast<std::uint8_t>(TIFFGetR(abgr));
                }
            }
            progress.Report(y + rows, height);
        }
        if (const auto toSrgb = EmbeddedProfile()) toSrgb->Convert(out);
    }

private:
    // Samples of ink, or of colours libtiff converts on its own (CIE L*a*b*,
    // LogLuv), are not what a profile of the rows describes.
    std::optional<ToSrgb> EmbeddedProfile() const {
        std::uint16_t photometric = 0;
        if (!TIFFGetField(tif_.get(), TIFFTAG_PHOTOMETRIC, &photometric)) return std::nullopt;
        switch (photometric) {
        case PHOTOMETRIC_MINISWHITE:
        case PHOTOMETRIC_MINISBLACK:
        case PHOTOMETRIC_RGB:
        case PHOTOMETRIC_PALETTE:
        case PHOTOMETRIC_YCBCR:
            break;
        default:
            return std::nullopt;
        }
        std::uint32_t length = 0;
        const void* icc = nullptr;
        if (!TIFFGetField(tif_.get(), TIFFTAG_ICCPROFILE, &length, &icc) || icc == nullptr) return std::nullopt;
        return ToSrgb::FromIcc({static_cast<const std::uint8_t*>(icc), length});
    }

    [[noreturn]] void Fail() const {
        if (readFailed_) throw PluginError(SUSIE_ERR_FILE_READ, "read error");
        throw PluginError(SUSIE_ERR_BROKEN_DATA, "broken TIFF data");
    }

    // libtiff's file access, over the source; errors must not unwind through it.
    static tmsize_t Read(thandle_t handle, void* dst, tmsize_t n) {
        auto* self = static_cast<TiffDecoder*>(handle);
        if (n < 0) return -1;
        try {
            const std::size_t got = self->source_.ReadAt(self->pos_, dst, static_cast<std::size_t>(n));
            self->pos_ += got;
            return static_cast<tmsize_t>(got);
        } catch (...) {
            self->readFailed_ = true;
            return -1;
        }
    }
    static tmsize_t Write(thandle_t, void*, tmsize_t) { return -1; }
    static toff_t Seek(thandle_t handle, toff_t offset, int whence) {
        auto* self = static_cast<TiffDecoder*>(handle);
        const toff_t base = whence == SEEK_CUR ? self->pos_ : whence == SEEK_END ? self->source_.Size() : 0;
        if (offset > std::numeric_limits<toff_t>::max() - base) return static_cast<toff_t>(-1);
        self->pos_ = base + offset;
        return self->pos_;
    }
    static int Close(thandle_t) { return 0; }
    static toff_t FileSize(thandle_t handle) { return static_cast<TiffDecoder*>(handle)->source_.Size(); }
    static int Map(thandle_t, void**, toff_t*) { return 0; }
    static void Unmap(thandle_t, void*, toff_t) {}
    // Quiet: a failure surfaces as the result code.
    static int OnError(TIFF*, void*, const char*, const char*, va_list) { return 1; }
    static int OnWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

    const Source& source_;
    std::uint64_t pos_ = 0;
    bool readFailed_ = false;
    std::unique_ptr<TIFF, TiffClose> tif_;
    PictureSize size_;
};

std::unique_ptr<Decoder> Open(const Source& source) { return std::make_unique<TiffDecoder>(source); }

const char* const kInfo[] = {SUSIE_API_VERSION, "Vantoria TIFF plug-in", "*.tif;*.tiff", "TIFF pictures"};

}  // namespace

const PluginFormat kPluginFormat = {kInfo, 4, 4, &Recognise, &Open};

}  // namespace vantoria::spi
