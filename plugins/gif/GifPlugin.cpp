// GIF plug-in: the first frame through giflib, placed on the logical screen.
// The picture has the logical screen's size (the frame's extent when the
// screen claims no size); whatever the first frame does not cover, and its
// transparent pixels, are black. Indices beyond the colour table are black too.
// A screen that would leave more than 16 megapixels uncovered is not used:
// the picture is then the first frame alone.

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "DeclaredHeads.h"
#include "Limits.h"
#include "PluginError.h"
#include "PluginFormat.h"

namespace vantoria::spi {
namespace {

bool Recognise(std::span<const std::uint8_t> head) {
    return head.size() >= 6 && (std::memcmp(head.data(), "GIF87a", 6) == 0 || std::memcmp(head.data(), "GIF89a", 6) == 0);
}

SUSIE_DECLARE_HEADS(2, Head(0, "GIF87a"), Head(0, "GIF89a"));

struct GifClose {
    void operator()(GifFileType* gif) const {
        int ignored = 0;
        DGifCloseFile(gif, &ignored);
    }
};

// Black that the first frame leaves uncovered, beyond which the picture is
// the frame alone: 16 megapixels, 48 MB of rows.
constexpr std::int64_t kMaxUncoveredPixels = std::int64_t{16} << 20;

// Interlaced frames store every 8th row from 0, every 8th from 4, every 4th
// from 2, then every 2nd from 1.
constexpr int kPassY0[4] = {0, 4, 2, 1};
constexpr int kPassDy[4] = {8, 8, 4, 2};

class GifDecoder final : public Decoder {
public:
    explicit GifDecoder(const Source& source) : reader_(source) {
        int error = 0;
        gif_.reset(DGifOpen(this, &GifDecoder::Read, &error));
        if (!gif_) Fail(error);
        FindFirstFrame();
        const GifImageDesc& frame = gif_->Image;
        std::int64_t width = gif_->SWidth, height = gif_->SHeight;
        if (width <= 0 || height <= 0) {
            width = std::int64_t{frame.Left} + frame.Width;
            height = std::int64_t{frame.Top} + frame.Height;
        }
        CheckSize(width, height);  // a screen beyond the limits is a false claim
        // A few bytes can claim a vast screen around a tiny frame; what the
        // frame does not cover would only be black, at three bytes a pixel.
        const std::int64_t coveredWidth = std::max<std::int64_t>(
            0, std::min<std::int64_t>(width, std::int64_t{frame.Left} + frame.Width) - std::max(frame.Left, 0));
        const std::int64_t coveredHeight = std::max<std::int64_t>(
            0, std::min<std::int64_t>(height, std::int64_t{frame.Top} + frame.Height) - std::max(frame.Top, 0));
        if (width * height - coveredWidth * coveredHeight > kMaxUncoveredPixels) {
            width = frame.Width;
            height = frame.Height;
            originX_ = frame.Left;
            originY_ = frame.Top;
        }
        CheckSize(width, height);
        size_ = {static_cast<int>(width), static_cast<int>(height)};
    }

    PictureSize Size() const override { return size_; }

    void Decode(Dib24& out, Progress& progress) override {
        const GifImageDesc& frame = gif_->Image;
        const ColorMapObject* map = frame.ColorMap != nullptr ? frame.ColorMap : gif_->SColorMap;
        if (map == nullptr || map->Colors == nullptr) throw PluginError(SUSIE_ERR_BROKEN_DATA, "no colour table");
        out.Fill(0);
        if (frame.Width <= 0 || frame.Height <= 0) return;

        std::vector<GifPixelType> line(static_cast<std::size_t>(frame.Width));
        int done = 0;
        auto readRow = [&](int frameRow) {
            if (DGifGetLine(gif_.get(), line.data(), frame.Width) != GIF_OK) Fail(gif_->Error);
            PutRow(out, frame.Top - originY_ + frameRow, line, *map);
            progress.Report(std::int64_t{++done} * size_.height / frame.Height, size_.height);
        };
        if (frame.Interlace) {
            for (int pass = 0; pass < 4; ++pass)
                for (int y = kPassY0[pass]; y < frame.Height; y += kPassDy[pass]) readRow(y);
        } else {
            for (int y = 0; y < frame.Height; ++y) readRow(y);
        }
    }

private:
    // Reads records up to the first image descriptor, keeping the graphic
    // control block that belongs to it.
    void FindFirstFrame() {
        for (;;) {
            GifRecordType type = UNDEFINED_RECORD_TYPE;
            if (DGifGetRecordType(gif_.get(), &type) != GIF_OK) Fail(gif_->Error);
            if (type == IMAGE_DESC_RECORD_TYPE) {
                if (DGifGetImageDesc(gif_.get()) != GIF_OK) Fail(gif_->Error);
                return;
            }
            if (type == TERMINATE_RECORD_TYPE) throw PluginError(SUSIE_ERR_BROKEN_DATA, "no picture");
            if (type != EXTENSION_RECORD_TYPE) throw PluginError(SUSIE_ERR_BROKEN_DATA, "unknown record");
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif_.get(), &code, &block) != GIF_OK) Fail(gif_->Error);
            if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr) {
                GraphicsControlBlock gcb{};
                if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK) transparent_ = gcb.TransparentColor;
            }
            while (block != nullptr)
                if (DGifGetExtensionNext(gif_.get(), &block) != GIF_OK) Fail(gif_->Error);
        }
    }

    void PutRow(Dib24& out, int y, const std::vector<GifPixelType>& line, const ColorMapObject& map) const {
        if (y < 0 || y >= size_.height) return;
        std::uint8_t* row = out.Row(y);
        const int left = gif_->Image.Left - originX_;
        const int last = std::min<int>(size_.width - left, gif_->Image.Width);
        for (int i = std::max(0, -left); i < last; ++i) {
            const int index = line[static_cast<std::size_t>(i)];
            if (index == transparent_ || index >= map.ColorCount) continue;  // stays black
            const GifColorType& c = map.Colors[index];
            std::uint8_t* d = row + 3 * static_cast<std::size_t>(left + i);
            d[0] = c.Blue, d[1] = c.Green, d[2] = c.Red;
        }
    }

    [[noreturn]] void Fail(int error) const {
        if (readFailed_) throw PluginError(SUSIE_ERR_FILE_READ, "read error");
        switch (error) {
        case D_GIF_ERR_NOT_GIF_FILE:
            throw PluginError(SUSIE_ERR_UNKNOWN_FORMAT, GifErrorString(error));
        case D_GIF_ERR_NOT_ENOUGH_MEM:
            throw PluginError(SUSIE_ERR_NO_MEMORY, GifErrorString(error));
        default:
            throw PluginError(SUSIE_ERR_BROKEN_DATA, error != 0 ? GifErrorString(error) : "broken GIF");
        }
    }

    // giflib pulls the file through here; errors must not unwind through it.
    static int Read(GifFileType* gif, GifByteType* dst, int length) {
        auto* self = static_cast<GifDecoder*>(gif->UserData);
        if (length <= 0) return 0;
        try {
            return static_cast<int>(self->reader_.Read(dst, static_cast<std::size_t>(length)));
        } catch (...) {
            self->readFailed_ = true;
            return 0;
        }
    }

    Reader reader_;
    std::unique_ptr<GifFileType, GifClose> gif_;
    PictureSize size_;
    int originX_ = 0;  // where the picture's top-left corner lies on the screen
    int originY_ = 0;
    int transparent_ = NO_TRANSPARENT_COLOR;
    bool readFailed_ = false;
};

std::unique_ptr<Decoder> Open(const Source& source) { return std::make_unique<GifDecoder>(source); }

const char* const kInfo[] = {SUSIE_API_VERSION, "Vantoria GIF plug-in", "*.gif", "GIF pictures"};

}  // namespace

const PluginFormat kPluginFormat = {kInfo, 4, 6, &Recognise, &Open};

}  // namespace vantoria::spi
