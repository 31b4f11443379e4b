// DIB plug-in: ".dib" files, which are bitmap files ("BM", file header, info
// header, colour table, pixels) that the host does not read natively. Our own
// bitmap decoder reads them; the plug-in hands its 24-bit rows over.

#include <cstring>

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

    void Decode(Dib24& out, Progress&) override {
        const raster::Bitmap bitmap = Guard([&] { return dib::DecodeBmp(bytes_.view); });
        if (bitmap.Width() != size_.width || bitmap.Height() != size_.height)
            throw PluginError(SUSIE_ERR_INTERNAL, "decoded size differs from the header");
        const std::size_t used = static_cast<std::size_t>(size_.width) * 3;
        for (int y = 0; y < size_.height; ++y) std::memcpy(out.Row(y), bitmap.ScanLine(y), used);
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
