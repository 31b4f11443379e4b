#include "platform/desktop/X11PictureRows.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <optional>
#include <span>
#include <vector>

#include "platform/desktop/X11Connection.h"
#include "platform/dib/Dib.h"
#include "platform/posix/ReadAt.h"
#include "platform/posix/RegularFile.h"
#include "platform/posix/UniqueFd.h"

namespace vantoria::desktop {
namespace {

constexpr std::size_t kFileHeaderBytes = 14;
// The file header, the largest info header and its masks.
constexpr std::size_t kHeadBytes = kFileHeaderBytes + 124 + 16;

[[noreturn]] void Fail(const std::string& path, const std::string& why) {
    throw X11Error("cannot read " + path + ": " + why);
}

// Reads `count` bytes at `offset`; fewer only at the end of the file.
std::size_t ReadAt(int fd, std::uint8_t* data, std::size_t count, std::size_t offset, const std::string& path) {
    const std::optional<std::size_t> done = vantoria::ReadAt(fd, data, count, offset);
    if (!done) Fail(path, std::strerror(errno));
    return *done;
}

// Where the rows of a complete uncompressed 24-bit file lie.
struct PlainLayout {
    int width = 0;
    int height = 0;
    bool topDown = false;
    std::size_t dataOffset = 0;
    std::size_t rowBytes = 0;
};

// The layout when the file is a complete uncompressed 24-bit bitmap whose
// rows all lie inside it; nothing for every other file, which the full
// decoder then reads (and judges).
std::optional<PlainLayout> PlainLayoutOf(int fd, std::size_t fileSize, const std::string& path) {
    std::array<std::uint8_t, kHeadBytes> head{};
    const std::size_t got = ReadAt(fd, head.data(), std::min(head.size(), fileSize), 0, path);
    if (got < kFileHeaderBytes || head[0] != 'B' || head[1] != 'M') return std::nullopt;
    dib::DibInfo info;
    try {
        info = dib::ReadDibHeader(std::span<const std::uint8_t>(head.data() + kFileHeaderBytes, got - kFileHeaderBytes));
    } catch (const dib::DibError&) {
        return std::nullopt;
    }
    if (info.bitCount != 24 || info.compression != dib::kBiRgb) return std::nullopt;
    const std::size_t offBits = std::size_t{head[10]} | std::size_t{head[11]} << 8 | std::size_t{head[12]} << 16 |
                                std::size_t{head[13]} << 24;
    // The header checked width and height against its limits, so the image
    // size cannot overflow; a file too short for it goes to the decoder,
    // which shows what is there.
    if (offBits < kFileHeaderBytes + info.infoBytes || offBits > fileSize || fileSize - offBits < info.imageBytes)
        return std::nullopt;
    return PlainLayout{info.width, info.height, info.topDown, offBits, info.rowBytes};
}

class FileRows final : public PictureRows {
public:
    FileRows(UniqueFd fd, std::string path, const PlainLayout& layout)
        : fd_(std::move(fd)), path_(std::move(path)), layout_(layout) {}

    int Width() const override { return layout_.width; }
    int Height() const override { return layout_.height; }

    void Load(int top, int count) override {
        // A band of rows is one stretch of the file; bottom-up files hold it
        // last row first.
        const int first = layout_.topDown ? top : layout_.height - top - count;
        const std::size_t bytes = static_cast<std::size_t>(count) * layout_.rowBytes;
        band_.resize(bytes);
        const std::size_t offset = layout_.dataOffset + static_cast<std::size_t>(first) * layout_.rowBytes;
        if (ReadAt(fd_.Get(), band_.data(), bytes, offset, path_) != bytes)
            Fail(path_, "the file became shorter while it was read");
        top_ = top;
        count_ = count;
    }

    const std::uint8_t* Row(int y) const override {
        const int index = layout_.topDown ? y - top_ : top_ + count_ - 1 - y;
        return band_.data() + static_cast<std::size_t>(index) * layout_.rowBytes;
    }

private:
    UniqueFd fd_;
    std::string path_;
    PlainLayout layout_;
    std::vector<std::uint8_t> band_;
    int top_ = 0;
    int count_ = 0;
};

std::unique_ptr<PictureRows> DecodeWhole(const std::string& path) {
    try {
        return std::make_unique<BitmapRows>(dib::LoadBmpFile(path));
    } catch (const dib::DibError& error) {
        throw X11Error("cannot read " + path + ": " + error.what());
    } catch (const raster::RasterError& error) {
        throw X11Error("cannot read " + path + ": " + error.what());
    }
}

}  // namespace

std::unique_ptr<PictureRows> OpenPictureRows(const std::string& path) {
    struct stat st {};
    UniqueFd fd = OpenRegularFile(path.c_str(), &st);
    if (!fd && (errno == EISDIR || errno == EINVAL)) Fail(path, "not a regular file");
    if (!fd) return DecodeWhole(path);  // which names the failure as the decoder does
    const std::optional<PlainLayout> layout = PlainLayoutOf(fd.Get(), static_cast<std::size_t>(st.st_size), path);
    if (!layout) return DecodeWhole(path);
    return std::make_unique<FileRows>(std::move(fd), path, *layout);
}

}  // namespace vantoria::desktop
