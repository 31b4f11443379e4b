// DIB plug-in: ".dib" files, which are bitmap files ("BM", file header, info
// header, colour table, pixels) that the host does not read natively. Our own
// bitmap decoder reads them straight into the 24-bit rows the plug-in hands
// over.

#include <algorithm>

#include "DeclaredHeads.h"
#include "Limits.h"
#include "PluginError.h"
#include "PluginFormat.h"
#include "platform/dib/Dib.h"
#include "platform/dib/DibHeader.h"

namespace vantoria::spi {
namespace {

constexpr std::size_t kFileHeaderBytes = 14;

std::uint32_t Le32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// "BM" and the size of a header our decoder knows: two letters alone are too
// common at the start of other files.
bool Recognise(std::span<const std::uint8_t> head) {
    if (head.size() < kFileHeaderBytes + 4 || head[0] != 'B' || head[1] != 'M') return false;
    switch (Le32(head.data() + kFileHeaderBytes)) {
    case 12: case 16: case 40: case 52: case 56: case 64: case 108: case 124:
        return true;
    default:
        return false;
    }
}

// What Recognise takes: "BM", then one of the info header sizes it knows.
SUSIE_DECLARE_HEADS(8, Head(0, "BM............\x0C\0\0\0", "xx............xxxx"),
                    Head(0, "BM............\x10\0\0\0", "xx............xxxx"),
                    Head(0, "BM............\x28\0\0\0", "xx............xxxx"),
                    Head(0, "BM............\x34\0\0\0", "xx............xxxx"),
                    Head(0, "BM............\x38\0\0\0", "xx............xxxx"),
                    Head(0, "BM............\x40\0\0\0", "xx............xxxx"),
                    Head(0, "BM............\x6C\0\0\0", "xx............xxxx"),
                    Head(0, "BM............\x7C\0\0\0", "xx............xxxx"));

// Runs the bitmap decoder, its errors turned into result codes.
template <class Fn>
auto Guard(Fn&& fn) {
    try {
        return fn();
    } catch (const dib::DibError& e) {
        throw PluginError(SUSIE_ERR_BROKEN_DATA, e.what());
    } catch (const raster::RasterError& e) {
        throw PluginError(SUSIE_ERR_NO_MEMORY, e.what());
    }
}

// The largest info header, with the bit-field masks after a short one.
constexpr std::size_t kHeadBytes = kFileHeaderBytes + 124 + 16;

// The bytes of a file the decoder can use: headers, colour table and the
// pixel data the header calls for (run-length data at most twice what the
// plainest encoding takes, as the decoder counts it). A file padded far
// beyond that is not read to its end.
std::uint64_t UsefulBytes(std::span<const std::uint8_t> head, const dib::DibInfo& info) {
    const std::uint64_t offBits = Le32(head.data() + 10);
    const std::uint64_t start = std::max<std::uint64_t>(offBits, kFileHeaderBytes + info.infoBytes);
    const std::uint64_t width = static_cast<std::uint64_t>(info.width), height = static_cast<std::uint64_t>(info.height);
    const std::uint64_t pixels = info.Rle() ? 2 * ((2 * width + 2) * height + 2) : info.imageBytes;
    return start + pixels;
}

class DibDecoder final : public Decoder {
public:
    explicit DibDecoder(const Source& source) {
        std::uint8_t head[kHeadBytes];
        const std::size_t got = source.ReadAt(0, head, sizeof head);
        // The file may have shrunk since its first bytes were recognised.
        if (got < kFileHeaderBytes) throw PluginError(SUSIE_ERR_BROKEN_DATA, "file too short");
        const std::span<const std::uint8_t> first(head, got);
        const dib::DibInfo info = Guard([&] { return dib::ReadDibHeader(first.subspan(kFileHeaderBytes)); });
        CheckSize(info.width, info.height);
        size_ = {info.width, info.height};
        bytes_ = source.ReadAll(UsefulBytes(first, info));
    }

    PictureSize Size() const override { return size_; }

    // Straight into the handed-over rows, which have the bitmap's layout
    // (24-bit, bottom-up, padded to 4 bytes): the picture is held once.
    void Decode(Dib24& out, Progress&) override {
        raster::Bitmap rows = raster::Bitmap::Adopt(size_.width, size_.height, true, {out.Bits(), [](std::uint8_t*) {}});
        Guard([&] {
            dib::DecodeBmpInto(bytes_.view, rows);
            return 0;
        });
    }

private:
    Bytes bytes_;
    PictureSize size_;
};

std::unique_ptr<Decoder> Open(const Source& source) { return std::make_unique<DibDecoder>(source); }

const char* const kInfo[] = {SUSIE_API_VERSION, "Vantoria DIB plug-in", "*.dib", "Device-independent bitmaps"};

}  // namespace

const PluginFormat kPluginFormat = {kInfo, 4, kFileHeaderBytes + 4, &Recognise, &Open};

}  // namespace vantoria::spi
