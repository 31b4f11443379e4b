// HEIF plug-in: AVIF and HEIC pictures through libheif, the file's primary
// image with its rotation, mirroring and cropping applied. Deeper samples
// (10 and 12 bits) are brought to 8 by libheif; alpha goes onto black.
// Pictures with an ICC profile or nclx colour description are converted to
// sRGB (ColourProfile.h).

#include <libheif/heif.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <type_traits>
#include <vector>

#include "ColourProfile.h"
#include "DeclaredHeads.h"
#include "HeifItems.h"
#include "Limits.h"
#include "MemoryLimit.h"
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

// The brands lie at no fixed place; the file-type box and its major brand do.
SUSIE_DECLARE_HEADS(1, Head(4, "ftyp....", "xxxx...."));

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

// libheif reads the boxes through here, seeking past what it does not need,
// so a file padded to gigabytes costs only the boxes it holds.
struct SourceStream {
    const Source& source;
    std::int64_t pos = 0;

    static SourceStream& Of(void* userdata) { return *static_cast<SourceStream*>(userdata); }
    static std::int64_t Position(void* userdata) { return Of(userdata).pos; }
    static int Read(void* data, std::size_t size, void* userdata) {
        SourceStream& self = Of(userdata);
        try {
            if (self.source.ReadAt(static_cast<std::uint64_t>(self.pos), data, size) != size) return 1;
        } catch (...) {
            return 1;
        }
        self.pos += static_cast<std::int64_t>(size);
        return 0;
    }
    static int Seek(std::int64_t position, void* userdata) {
        SourceStream& self = Of(userdata);
        if (position < 0 || static_cast<std::uint64_t>(position) > self.source.Size()) return 1;
        self.pos = position;
        return 0;
    }
    static heif_reader_grow_status WaitForSize(std::int64_t target, void* userdata) {
        return target >= 0 && static_cast<std::uint64_t>(target) <= Of(userdata).source.Size()
                   ? heif_reader_grow_status_size_reached
                   : heif_reader_grow_status_size_beyond_eof;
    }
};

constexpr heif_reader kStreamReader = {1, &SourceStream::Position, &SourceStream::Read, &SourceStream::Seek,
                                       &SourceStream::WaitForSize};

// What libheif holds at its peak while it decodes a picture, beside the rows
// we hand over, in bytes a pixel: the codec's own frame and libheif's copy
// of its planes (taken as 4:4:4, the most), the interleaved picture the
// colour conversion makes with the intermediate plane set it goes through,
// and the alpha plane decoded and copied the same way. Samples deeper than
// 8 bits take two bytes each. Measured peaks: 6 for 8-bit RGB, 10 with
// alpha (12 and 15 counted here). The coded size counts, not the shown
// one: a crop may keep one pixel of millions; so does the largest part
// decoded for it (a grid's tile may be larger than the grid).
std::uint64_t HeifWorkingBytes(const heif_image_handle* handle, std::int64_t largestPart) {
    const std::int64_t shown = std::int64_t{heif_image_handle_get_width(handle)} * heif_image_handle_get_height(handle);
    const std::int64_t coded =
        std::int64_t{heif_image_handle_get_ispe_width(handle)} * heif_image_handle_get_ispe_height(handle);
    const auto pixels = static_cast<std::uint64_t>(std::max<std::int64_t>({shown, coded, largestPart, 0}));
    const std::uint64_t sample = heif_image_handle_get_luma_bits_per_pixel(handle) > 8 ||
                                         heif_image_handle_get_chroma_bits_per_pixel(handle) > 8
                                     ? 2
                                     : 1;
    const bool alpha = heif_image_handle_has_alpha_channel(handle) != 0;
    const std::uint64_t planes = 3 * sample * 3;  // codec frame, planes, converted planes
    const std::uint64_t interleaved = alpha ? 4 : 3;
    const std::uint64_t alphaPlanes = alpha ? 2 * sample : 0;
    return (planes + interleaved + alphaPlanes) * pixels;
}

class HeifDecoder final : public Decoder {
public:
    explicit HeifDecoder(const Source& source) : stream_{source}, ctx_(heif_context_alloc()) {
        if (!ctx_) throw std::bad_alloc();
        heif_context_set_maximum_image_size_limit(ctx_.get(), static_cast<int>(kMaxSide));
        Check(heif_context_read_from_reader(ctx_.get(), &kStreamReader, &stream_, nullptr));
        // libheif takes a grid's or overlay's canvas from the item's data
        // and holds it to a limit per side only: 26725 x 30307 for a
        // picture that says it is 64784 x 12 would be 2.4 GB of planes.
        largestPart_ = CheckCanvases(HeifItems::Read(source));
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
        // Refused before libheif allocates, rather than when it runs out.
        CheckWorkingMemory(out.Stride() * static_cast<std::uint64_t>(out.Height()),
                           HeifWorkingBytes(handle_.get(), largestPart_));
        HoldToCodedSize();
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
        // libheif may hand over a profile even with a failure code (one it
        // could not fill in): whatever it hands over is ours to free.
        const auto held = [](auto get, const auto* from) {
            heif_color_profile_nclx* nclx = nullptr;
            const heif_error error = get(from, &nclx);
            std::unique_ptr<heif_color_profile_nclx, NclxFree> owned(nclx);
            if (error.code != heif_error_Ok) owned.reset();
            return owned;
        };
        auto nclx = held(&heif_image_handle_get_nclx_color_profile, handle_.get());
        if (!nclx) nclx = held(&heif_image_get_nclx_color_profile, decoded);
        if (!nclx) return std::nullopt;
        return ToSrgb::FromCicp({Number(nclx->color_primaries), Number(nclx->transfer_characteristics)});
    }

    // A grid states its own output size, which need not match the size the
    // picture declares (and that was budgeted): libheif is held to the
    // declared one, so a lying grid is refused instead of allocated. Codecs
    // may hand over frames padded to their block size: a margin for that.
    void HoldToCodedSize() {
        const int side = std::max({heif_image_handle_get_ispe_width(handle_.get()),
                                   heif_image_handle_get_ispe_height(handle_.get()), size_.width, size_.height});
        heif_context_set_maximum_image_size_limit(ctx_.get(), side + 256);
    }

    SourceStream stream_;  // read from while the context lives
    std::unique_ptr<heif_context, ContextFree> ctx_;
    std::unique_ptr<heif_image_handle, HandleRelease> handle_;
    PictureSize size_;
    std::int64_t largestPart_ = 0;  // pixels of the largest item decoded for the picture
};

std::unique_ptr<Decoder> Open(const Source& source) { return std::make_unique<HeifDecoder>(source); }

const char* const kInfo[] = {SUSIE_API_VERSION, "Vantoria HEIF plug-in", "*.avif;*.heic;*.heif",
                             "AVIF and HEIC pictures"};

}  // namespace

const PluginFormat kPluginFormat = {kInfo, 4, kHeadBytes, &Recognise, &Open};

}  // namespace vantoria::spi
