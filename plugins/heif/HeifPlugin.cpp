// HEIF plug-in: AVIF and HEIC pictures through libheif, the file's primary
// image with its rotation, mirroring and cropping applied. Deeper samples
// (10 and 12 bits) are brought to 8 by libheif; alpha goes onto black.
// Pictures with an ICC profile or nclx colour description are converted to
// sRGB (ColourProfile.h).

#include <libheif/heif.h>

#include <cstring>
#include <optional>
#include <type_traits>
#include <vector>

#include "ColourProfile.h"
#include "Limits.h"
#include "OntoBlack.h"
#include "PluginError.h"
#include "PluginFormat.h"
#include "Freer.h"

namespace vantoria::spi {
namespace {

// Brands of the file-type box that name a still picture coded with HEVC or
// AV1. The generic "mif1" alone says nothing of the codec and is not taken.
constexpr const char* kBrands[] = {"heic", "heix", "heim", "heis", "hevc", "hevx", "avif", "avis"};
constexpr std::size_t kHeadBytes = 64;

bool Recognise(std::span<const std::uint8_t> head) {
    if (head.size() < 12 || std::memcmp(head.data() + 4, "ftyp", 4) != 0) return false;
    const std::size_t boxSize = std::size_t{head[0]} << 24 | head[1] << 16 | head[2] << 8 | head[3];
    const std::size_t end = std::min(boxSize, head.size());
    // Major brand at 8, minor version at 12, compatible brands from 16.
    for (std::size_t at = 8; at + 4 <= end; at += at == 8 ? 8 : 4)
        for (const char* brand : kBrands)
            if (std::memcmp(head.data() + at, brand, 4) == 0) return true;
    return false;
}

using ContextFree = Freer<heif_context_free>;
using HandleRelease = Freer<heif_image_handle_release>;
using ImageRelease = Freer<heif_image_release>;
using OptionsFree = Freer<heif_decoding_options_free>;
using NclxFree = Freer<heif_nclx_color_profile_free>;

void Check(const heif_error& error) {
    switch (error.code) {
    case heif_error_Ok:
        return;
    case heif_error_Memory_allocation_error:
        throw PluginError(SUSIE_ERR_NO_MEMORY, error.message);
    case heif_error_Unsupported_filetype:
        throw PluginError(SUSIE_ERR_UNKNOWN_FORMAT, error.message);
    default:
        if (error.subcode == heif_suberror_Security_limit_exceeded)
            throw PluginError(SUSIE_ERR_NO_MEMORY, error.message);
        throw PluginError(SUSIE_ERR_BROKEN_DATA, error.message);
    }
}

// A code point as stored: a file may hold values its enumeration does not
// name, which are not to be read as that type.
template <class Enum>
int Number(const Enum& value) {
    std::underlying_type_t<Enum> number;
    std::memcpy(&number, &value, sizeof number);
    return static_cast<int>(number);
}

class HeifDecoder final : public Decoder {
public:
    explicit HeifDecoder(const Source& source) : bytes_(source.ReadAll()), ctx_(heif_context_alloc()) {
        if (!ctx_) throw std::bad_alloc();
        heif_context_set_maximum_image_size_limit(ctx_.get(), static_cast<int>(kMaxSide));
        Check(heif_context_read_from_memory_without_copy(ctx_.get(), bytes_.view.data(), bytes_.view.size(),
                                                         nullptr));
        heif_image_handle* handle = nullptr;
        Check(heif_context_get_primary_image_handle(ctx_.get(), &handle));
        handle_.reset(handle);
        // The size after the picture's own rotation and cropping.
        const int width = heif_image_handle_get_width(handle), height = heif_image_handle_get_height(handle);
        CheckSize(width, height);
        size_ = {width, height};
    }

    PictureSize Size() const override { return size_; }

    void Decode(Dib24& out, Progress&) override {
        std::unique_ptr<heif_decoding_options, OptionsFree> options(heif_decoding_options_alloc());
        if (!options) throw std::bad_alloc();
        options->convert_hdr_to_8bit = 1;
        const bool alpha = heif_image_handle_has_alpha_channel(handle_.get()) != 0;
        heif_image* decoded = nullptr;
        Check(heif_decode_image(handle_.get(), &decoded, heif_colorspace_RGB,
                                alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get()));
        std::unique_ptr<heif_image, ImageRelease> image(decoded);
        int stride = 0;
        const std::uint8_t* rgb = heif_image_get_plane_readonly(decoded, heif_channel_interleaved, &stride);
        if (rgb == nullptr || heif_image_get_width(decoded, heif_channel_interleaved) != size_.width ||
            heif_image_get_height(decoded, heif_channel_interleaved) != size_.height ||
            heif_image_get_bits_per_pixel_range(decoded, heif_channel_interleaved) != 8)
            throw PluginError(SUSIE_ERR_BROKEN_DATA, "decoded picture differs from its description");
        const bool premultiplied = heif_image_handle_is_premultiplied_alpha(handle_.get()) != 0;
        for (int y = 0; y < size_.height; ++y)
            PutRgbOntoBlack(rgb + static_cast<std::size_t>(stride) * y, out.Row(y), static_cast<std::size_t>(size_.width),
                            alpha, premultiplied);
        if (const auto toSrgb = EmbeddedProfile(decoded)) toSrgb->Convert(out);
    }

private:
    // An ICC profile wins over an nclx description; without either in the
    // file, the one the coded stream carries, if libheif passes it on.
    std::optional<ToSrgb> EmbeddedProfile(const heif_image* decoded) const {
        const std::size_t size = heif_image_handle_get_raw_color_profile_size(handle_.get());
        if (size > 0 && size <= kMaxProfileBytes) {
            std::vector<std::uint8_t> icc(size);
            if (heif_image_handle_get_raw_color_profile(handle_.get(), icc.data()).code == heif_error_Ok)
                return ToSrgb::FromIcc(icc);
        }
        heif_color_profile_nclx* nclx = nullptr;
        if (heif_image_handle_get_nclx_color_profile(handle_.get(), &nclx).code != heif_error_Ok &&
            heif_image_get_nclx_color_profile(decoded, &nclx).code != heif_error_Ok)
            return std::nullopt;
        const std::unique_ptr<heif_color_profile_nclx, NclxFree> held(nclx);
        if (nclx == nullptr) return std::nullopt;
        return ToSrgb::FromCicp({Number(nclx->color_primaries), Number(nclx->transfer_characteristics)});
    }

    Bytes bytes_;  // read without copy: outlives the context
    std::unique_ptr<heif_context, ContextFree> ctx_;
    std::unique_ptr<heif_image_handle, HandleRelease> handle_;
    PictureSize size_;
};

std::unique_ptr<Decoder> Open(const Source& source) { return std::make_unique<HeifDecoder>(source); }

const char* const kInfo[] = {SUSIE_API_VERSION, "Vantoria HEIF plug-in", "*.avif;*.heic;*.heif",
                             "AVIF and HEIC pictures"};

}  // namespace

const PluginFormat kPluginFormat = {kInfo, 4, kHeadBytes, &Recognise, &Open};

}  // namespace vantoria::spi
