// JPEG plug-in: TurboJPEG decodes straight into the bottom-up rows of the
// block it hands over; CMYK pictures go through one CMYK buffer.

#include <turbojpeg.h>

#include <cstring>
#include <vector>

#include "Limits.h"
#include "PluginError.h"
#include "PluginFormat.h"

namespace vantoria::spi {
namespace {

bool Recognise(std::span<const std::uint8_t> head) {
    return head.size() >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF;
}

struct TjFree {
    void operator()(void* handle) const { tjDestroy(handle); }
};
using TjHandle = std::unique_ptr<void, TjFree>;

// Inverted CMYK, as Adobe writes it and libjpeg-turbo's own conversions take
// it: each stored value is 255 minus the ink, so R = C * K / 255.
inline std::uint8_t Ink(unsigned c, unsigned k) { return static_cast<std::uint8_t>((c * k + 127) / 255); }

class JpegDecoder final : public Decoder {
public:
    explicit JpegDecoder(const Source& source) : bytes_(source.ReadAll()), tj_(tjInitDecompress()) {
        if (!tj_) throw std::bad_alloc();
        int subsampling = 0;
        if (tjDecompressHeader3(tj_.get(), bytes_.view.data(), bytes_.view.size(), &width_, &height_,
                                &subsampling, &colorspace_) != 0)
            throw PluginError(SUSIE_ERR_BROKEN_DATA, tjGetErrorStr2(tj_.get()));
        CheckSize(width_, height_);
    }

    PictureSize Size() const override { return {width_, height_}; }

    void Decode(Dib24& out, Progress&) override {
        if (colorspace_ == TJCS_CMYK || colorspace_ == TJCS_YCCK)
            DecodeCmyk(out);
        else
            Run(out.Bits(), static_cast<int>(out.Stride()), TJPF_BGR, TJFLAG_BOTTOMUP);
    }

private:
    void DecodeCmyk(Dib24& out) {
        const std::size_t pitch = static_cast<std::size_t>(width_) * 4;
        auto cmyk = std::make_unique_for_overwrite<std::uint8_t[]>(pitch * height_);
        Run(cmyk.get(), static_cast<int>(pitch), TJPF_CMYK, 0);
        for (int y = 0; y < height_; ++y) {
            const std::uint8_t* s = cmyk.get() + pitch * y;
            std::uint8_t* d = out.Row(y);
            for (int x = 0; x < width_; ++x, s += 4, d += 3)
                d[0] = Ink(s[2], s[3]), d[1] = Ink(s[1], s[3]), d[2] = Ink(s[0], s[3]);
        }
    }

    // Decodes everything into `dst`. The first attempt stops at the first
    // warning, so that a cut-off file fails before the decoder fills the rest
    // of a possibly huge picture; any other warning (stray bytes, say, which
    // many cameras leave) gets a second, tolerant attempt.
    void Run(std::uint8_t* dst, int pitch, int pixelFormat, int flags) {
        flags |= TJFLAG_LIMITSCANS;
        if (Attempt(dst, pitch, pixelFormat, flags | TJFLAG_STOPONWARNING)) return;
        if (Tolerable() && (Attempt(dst, pitch, pixelFormat, flags) || Tolerable())) return;
        throw PluginError(SUSIE_ERR_BROKEN_DATA, tjGetErrorStr2(tj_.get()));
    }

    bool Attempt(std::uint8_t* dst, int pitch, int pixelFormat, int flags) {
        return tjDecompress2(tj_.get(), bytes_.view.data(), bytes_.view.size(), dst, width_, pitch, height_,
                             pixelFormat, flags) == 0;
    }

    // The last attempt only warned, and not of data that ends before the
    // picture does (libjpeg then fills the rest with grey).
    bool Tolerable() const {
        return tjGetErrorCode(tj_.get()) == TJERR_WARNING &&
               std::strstr(tjGetErrorStr2(tj_.get()), "Premature end") == nullptr;
    }

    Bytes bytes_;
    TjHandle tj_;
    int width_ = 0;
    int height_ = 0;
    int colorspace_ = 0;
};

std::unique_ptr<Decoder> Open(const Source& source) { return std::make_unique<JpegDecoder>(source); }

const char* const kInfo[] = {SUSIE_API_VERSION, "Vantoria JPEG plug-in", "*.jpg;*.jpeg;*.jpe;*.jfif",
                             "JPEG pictures"};

}  // namespace

const PluginFormat kPluginFormat = {kInfo, 4, 3, &Recognise, &Open};

}  // namespace vantoria::spi
