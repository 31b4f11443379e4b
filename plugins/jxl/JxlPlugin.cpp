// JPEG XL plug-in through libjxl: the first frame (as shown, with the layers
// of an animation's first frame blended), oriented as the file says, in
// 8 bits whatever the samples' depth or range (HDR is clipped). Pixels go
// from the decoder's threads straight into the handed-over rows, in sRGB:
// libjxl's own rendering where it has the choice, else converted afterwards
// from the colour space the pixels come in (ColourProfile.h).

#include <jxl/decode.h>
#include <jxl/thread_parallel_runner.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "ColourProfile.h"
#include "DeclaredHeads.h"
#include "Limits.h"
#include "MemoryLimit.h"
#include "OntoBlack.h"
#include "PluginError.h"
#include "PluginFormat.h"
#include "Freer.h"
#include "QuietStderr.h"

namespace vantoria::spi {
namespace {

constexpr std::uint8_t kContainer[12] = {0, 0, 0, 0x0C, 'J', 'X', 'L', ' ', 0x0D, 0x0A, 0x87, 0x0A};

bool Recognise(std::span<const std::uint8_t> head) {
    if (head.size() >= 2 && head[0] == 0xFF && head[1] == 0x0A) return true;  // bare codestream
    return head.size() >= sizeof kContainer && std::memcmp(head.data(), kContainer, sizeof kContainer) == 0;
}

SUSIE_DECLARE_HEADS(2, Head(0, "\xFF\x0A"), Head(0, "\0\0\0\x0CJXL \x0D\x0A\x87\x0A"));

// libjxl allocates through this; what it may take is held to the budget.
JxlMemoryManager CountingManager(CountedMemory& counter) {
    return {&counter, [](void* opaque, std::size_t n) { return static_cast<CountedMemory*>(opaque)->Allocate(n, false); },
            [](void* opaque, void* block) { static_cast<CountedMemory*>(opaque)->Free(block); }};
}

// What libjxl holds at its peak while it decodes a picture, beside the rows
// we hand over, in bytes a pixel: 6 for each colour channel (its 32-bit
// samples and half as much again: VarDCT's coefficients and the decoded
// planes, or modular's integer channels and their conversion, are not all
// held at once), 32 for each extra channel (alpha also takes the frame
// through floating-point RGBA copies), and for an animation the canvas its
// first frame's layers are blended onto. Measured peaks: 15 for RGB (18
// counted), 44 for RGB with alpha (50 counted). Not every version routes
// these through the memory manager, so they are checked before decoding.
std::uint64_t JxlWorkingBytes(const JxlBasicInfo& info) {
    const std::uint64_t pixels = std::uint64_t{info.xsize} * info.ysize;
    const std::uint64_t colour = info.num_color_channels, extra = info.num_extra_channels;
    std::uint64_t perPixel = 6 * colour + 32 * extra;
    if (info.have_animation) perPixel += 4 * (colour + extra);
    return pixels * perPixel;
}

// libjxl's own trace of why a damaged file failed, a line for each step
// back ("./lib/jxl/dec_frame.cc:283: JXL_RETURN_IF_ERROR ..."): the host
// reports the failure itself.
bool IsJxlTrace(std::string_view line) {
    return line.starts_with("./lib/jxl/") || line.starts_with("lib/jxl/") || line.find(": JXL_") != std::string_view::npos;
}

using DecoderFree = Freer<JxlDecoderDestroy>;
using RunnerFree = Freer<JxlThreadParallelRunnerDestroy>;

class JxlPictureDecoder final : public Decoder {
public:
    explicit JxlPictureDecoder(const Source& source)
        : quiet_(&IsJxlTrace),
          reader_(source),
          counter_(RoomBeside(0)),
          manager_(CountingManager(counter_)),
          runner_(JxlThreadParallelRunnerCreate(&manager_, JxlThreadParallelRunnerDefaultNumWorkerThreads())),
          dec_(JxlDecoderCreate(&manager_)) {
        if (!runner_ || !dec_) throw std::bad_alloc();
        // Set before anything is decoded; its threads wait until the pixels.
        Check(JxlDecoderSetParallelRunner(dec_.get(), JxlThreadParallelRunner, runner_.get()));
        Check(JxlDecoderSubscribeEvents(dec_.get(), JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FULL_IMAGE));
        if (Next() != JXL_DEC_BASIC_INFO) throw PluginError(SUSIE_ERR_BROKEN_DATA, "no picture header");
        Check(JxlDecoderGetBasicInfo(dec_.get(), &info_));
        std::int64_t width = info_.xsize, height = info_.ysize;
        if (info_.orientation >= JXL_ORIENT_TRANSPOSE) std::swap(width, height);  // turned by a quarter
        CheckSize(width, height);
        size_ = {static_cast<int>(width), static_cast<int>(height)};
    }

    PictureSize Size() const override { return size_; }

    void Decode(Dib24& out, Progress&) override {
        const std::uint64_t picture = out.Stride() * static_cast<std::uint64_t>(out.Height());
        CheckWorkingMemory(picture, JxlWorkingBytes(info_));
        counter_.Cap(RoomBeside(picture));
        out_ = &out;
        alpha_ = info_.alpha_bits != 0;
        premultiplied_ = info_.alpha_premultiplied != 0;
        const JxlPixelFormat format = {alpha_ ? 4u : 3u, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
        for (;;) {
            switch (Next()) {
            case JXL_DEC_COLOR_ENCODING:
                AskForSrgb();
                toSrgb_ = DataProfile();
                break;
            case JXL_DEC_NEED_IMAGE_OUT_BUFFER:
                Check(JxlDecoderSetImageOutCallback(dec_.get(), &format, &JxlPictureDecoder::Put, this));
                break;
            case JXL_DEC_FULL_IMAGE:
                if (toSrgb_) toSrgb_->Convert(out);
                return;  // the first frame is all we show
            default:
                throw PluginError(SUSIE_ERR_BROKEN_DATA, "unexpected decoder event");
            }
        }
    }

private:
    // Pictures stored in libjxl's own colour space (most lossy ones) can be
    // rendered in any; unless they were made from sRGB, they are asked for
    // in sRGB. Others come in the space they were stored in.
    void AskForSrgb() {
        JxlColorEncoding original{};
        if (JxlDecoderGetColorAsEncodedProfile(dec_.get(), nullptr, JXL_COLOR_PROFILE_TARGET_ORIGINAL, &original) ==
                JXL_DEC_SUCCESS &&
            IsSrgb(original))
            return;
        JxlColorEncoding srgb{};
        srgb.color_space = info_.num_color_channels == 1 ? JXL_COLOR_SPACE_GRAY : JXL_COLOR_SPACE_RGB;
        srgb.white_point = JXL_WHITE_POINT_D65;
        srgb.primaries = JXL_PRIMARIES_SRGB;
        srgb.transfer_function = JXL_TRANSFER_FUNCTION_SRGB;
        srgb.rendering_intent = JXL_RENDERING_INTENT_PERCEPTUAL;
        JxlDecoderSetPreferredColorProfile(dec_.get(), &srgb);  // only a preference
    }

    // A power of 1/2.2 is how PNG files (gAMA) usually say sRGB, and how
    // pictures made from them arrive: taken as sRGB, as there.
    static bool IsSrgb(const JxlColorEncoding& e) {
        const bool curve = e.transfer_function == JXL_TRANSFER_FUNCTION_SRGB ||
                           (e.transfer_function == JXL_TRANSFER_FUNCTION_GAMMA && std::abs(e.gamma - 1 / 2.2) < 1e-3);
        return curve && e.white_point == JXL_WHITE_POINT_D65 &&
               (e.color_space == JXL_COLOR_SPACE_GRAY ||
                (e.color_space == JXL_COLOR_SPACE_RGB && e.primaries == JXL_PRIMARIES_SRGB));
    }

    // The conversion the pixels then still need: none for sRGB, nor for
    // HDR curves (clipped as they come).
    std::optional<ToSrgb> DataProfile() const {
        JxlColorEncoding data{};
        if (JxlDecoderGetColorAsEncodedProfile(dec_.get(), nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &data) ==
                JXL_DEC_SUCCESS &&
            (IsSrgb(data) || data.transfer_function == JXL_TRANSFER_FUNCTION_PQ ||
             data.transfer_function == JXL_TRANSFER_FUNCTION_HLG))
            return std::nullopt;
        std::size_t size = 0;
        if (JxlDecoderGetICCProfileSize(dec_.get(), nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &size) !=
                JXL_DEC_SUCCESS ||
            size > kMaxProfileBytes)
            return std::nullopt;
        std::vector<std::uint8_t> icc(size);
        if (JxlDecoderGetColorAsICCProfile(dec_.get(), nullptr, JXL_COLOR_PROFILE_TARGET_DATA, icc.data(), size) !=
            JXL_DEC_SUCCESS)
            return std::nullopt;
        return ToSrgb::FromIcc(icc);
    }

    // The decoder's next event; errors and a file that ends early throw.
    JxlDecoderStatus Next() {
        for (;;) {
            const JxlDecoderStatus status = JxlDecoderProcessInput(dec_.get());
            if (status == JXL_DEC_NEED_MORE_INPUT && Feed()) continue;
            if (status == JXL_DEC_ERROR && counter_.Refused())
                throw PluginError(SUSIE_ERR_NO_MEMORY, "not enough memory to decode the picture");
            if (status == JXL_DEC_ERROR || status == JXL_DEC_NEED_MORE_INPUT || status == JXL_DEC_SUCCESS)
                throw PluginError(SUSIE_ERR_BROKEN_DATA, "broken JPEG XL data");
            return status;
        }
    }

    // Gives the decoder what it left of its input and the file's next
    // bytes, so that only as much of the file is read as the first frame
    // needs (not gigabytes of padding). False at the end of the file.
    bool Feed() {
        if (ended_) return false;
        const std::size_t unused = JxlDecoderReleaseInput(dec_.get());
        if (unused > 0) std::memmove(input_.data(), input_.data() + held_ - unused, unused);
        held_ = unused;
        if (held_ == input_.size()) input_.resize(std::max<std::size_t>(kFirstPiece, 2 * input_.size()));
        const std::size_t room = input_.size() - held_;
        const std::size_t got = reader_.Read(input_.data() + held_, room);
        held_ += got;
        ended_ = got < room;
        Check(JxlDecoderSetInput(dec_.get(), input_.data(), held_));
        if (ended_) JxlDecoderCloseInput(dec_.get());
        return true;
    }

    static void Check(JxlDecoderStatus status) {
        if (status != JXL_DEC_SUCCESS) throw PluginError(SUSIE_ERR_BROKEN_DATA, "JPEG XL decoder refused");
    }

    // Called from the decoder's threads, each with its own stretch of a row.
    static void Put(void* opaque, std::size_t x, std::size_t y, std::size_t n, const void* pixels) {
        auto* self = static_cast<JxlPictureDecoder*>(opaque);
        const auto width = static_cast<std::size_t>(self->size_.width);
        if (y >= static_cast<std::size_t>(self->size_.height) || x >= width) return;
        n = std::min(n, width - x);
        PutRgbOntoBlack(static_cast<const std::uint8_t*>(pixels), self->out_->Row(static_cast<int>(y)) + 3 * x, n,
                        self->alpha_, self->premultiplied_);
    }

    static constexpr std::size_t kFirstPiece = std::size_t{1} << 20;
    QuietStderr quiet_;  // for as long as libjxl may run
    Reader reader_;
    std::vector<std::uint8_t> input_;  // what the decoder is given: its unused bytes, then new ones
    std::size_t held_ = 0;
    bool ended_ = false;
    CountedMemory counter_;  // outlives the runner and the decoder
    JxlMemoryManager manager_;
    std::unique_ptr<void, RunnerFree> runner_;
    std::unique_ptr<JxlDecoder, DecoderFree> dec_;  // destroyed before the runner it uses
    JxlBasicInfo info_{};
    PictureSize size_;
    Dib24* out_ = nullptr;
    bool alpha_ = false;
    bool premultiplied_ = false;
    std::optional<ToSrgb> toSrgb_;
};

std::unique_ptr<Decoder> Open(const Source& source) { return std::make_unique<JxlPictureDecoder>(source); }

const char* const kInfo[] = {SUSIE_API_VERSION, "Vantoria JPEG XL plug-in", "*.jxl", "JPEG XL pictures"};

}  // namespace

const PluginFormat kPluginFormat = {kInfo, 4, sizeof kContainer, &Recognise, &Open};

}  // namespace vantoria::spi
