// DIB plug-in: ".dib" files, which are bitmap files ("BM", file header, info
// header, colour table, pixels) that the host does not read natively. Our own
// bitmap decoder reads them straight into the 24-bit rows the plug-in hands
// over.

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

class DibDecoder final : public Decoder {
public:
    explicit DibDecoder(const Source& source) : bytes_(source.ReadAll()) {
        // The file may have shrunk since its first bytes were recognised.
        if (bytes_.view.size() < kFileHeaderBytes) throw PluginError(SUSIE_ERR_BROKEN_DATA, "file too short");
        const dib::DibInfo info = Guard([&] { return dib::ReadDibHeader(bytes_.view.subspan(kFileHeaderBytes)); });
        CheckSize(info.width, info.height);
        size_ = {info.width, info.height};
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
