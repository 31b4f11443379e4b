// MAG plug-in: MAKI02 pictures ("MAKI02  " signature), 16 and 256 colours.
// After the signature, machine code, user name and comment (ended by 0x1A)
// comes the header: the picture's corners, where the flag and pixel streams
// lie, and the palette (green, red, blue). Each line is made of 2-byte units
// (four pixels of 16 colours, two of 256); a nibble flag per unit says
// whether the unit comes from the pixel stream or is a copy of a unit to the
// left and/or above. The flags of a line are XORed onto those of the line
// before: flag A holds a bit for each flag byte that changes, flag B the
// change. The 200-line (aspect) flag is ignored, as are the machine flags.

#include <array>
#include <cstring>
#include <vector>

#include "ByteReader.h"
#include "DeclaredHeads.h"
#include "Limits.h"
#include "PluginError.h"
#include "PluginFormat.h"

namespace vantoria::spi {
namespace {

constexpr char kSignature[] = "MAKI02";
constexpr std::size_t kSignatureBytes = 6;

bool Recognise(std::span<const std::uint8_t> head) {
    return head.size() >= kSignatureBytes && std::memcmp(head.data(), kSignature, kSignatureBytes) == 0;
}

SUSIE_DECLARE_HEADS(1, Head(0, "MAKI02"));

// Where a flag copies its unit from: units to the left, lines up.
struct Copy {
    int left, up;
};
constexpr std::array<Copy, 16> kCopies = {{{0, 0}, {1, 0}, {2, 0}, {4, 0}, {0, 1}, {1, 1}, {0, 2}, {1, 2},
                                           {2, 2}, {0, 4}, {1, 4}, {2, 4}, {0, 8}, {1, 8}, {2, 8}, {0, 16}}};
// Lines kept for copies from above: the farthest is 16 lines up.
constexpr int kKeptLines = 32;

// A stream inside the file: [offset, offset + size), cut at the file's end,
// read as it is used.
ByteReader Part(const Source& file, std::uint64_t offset, std::uint64_t size) {
    offset = std::min(offset, file.Size());
    return ByteReader(file, offset, offset + std::min(size, file.Size() - offset));
}

class MagDecoder final : public Decoder {
public:
    explicit MagDecoder(const Source& source) : source_(source) {
        // The comment, up to its end mark, then the header.
        ByteReader r(source, kSignatureBytes);
        while (r.U8() != 0x1A) {}
        header_ = r.Pos();
        r.Skip(3);  // header mark, machine code, machine flags
        colours256_ = (r.U8() & 0x80) != 0;
        const int left = r.U16LE(), top = r.U16LE(), right = r.U16LE(), bottom = r.U16LE();
        flagA_ = r.U32LE();
        flagB_ = r.U32LE();
        flagBSize_ = r.U32LE();
        pixels_ = r.U32LE();
        pixelSize_ = r.U32LE();
        const int colours = colours256_ ? 256 : 16;
        for (int i = 0; i < colours; ++i) {
            const std::uint8_t green = r.U8(), red = r.U8(), blue = r.U8();
            palette_[static_cast<std::size_t>(i)] = {blue, green, red};
        }
        if (right < left || bottom < top) Broken("empty picture");
        // Lines hold whole flag bytes: 8 pixels of 16 colours, 4 of 256.
        const int align = colours256_ ? 4 : 8;
        const int alignedLeft = left / align * align;
        const int alignedWidth = (right / align + 1) * align - alignedLeft;
        skip_ = left - alignedLeft;
        flagBytes_ = static_cast<std::size_t>(alignedWidth / align);
        CheckSize(right - left + 1, bottom - top + 1);
        size_ = {right - left + 1, bottom - top + 1};
        // Flag A has a bit for every flag byte of every line.
        const std::uint64_t flagABits = std::uint64_t{flagBytes_} * static_cast<std::uint64_t>(size_.height);
        if (Part(source, header_ + flagA_, UINT64_MAX).Left() < (flagABits + 7) / 8) Broken("the file ends early");
    }

    PictureSize Size() const override { return size_; }

    void Decode(Dib24& out, Progress& progress) override {
        BitReader flagA(Part(source_, header_ + flagA_, UINT64_MAX));
        ByteReader flagB = Part(source_, header_ + flagB_, flagBSize_);
        ByteReader pixels = Part(source_, header_ + pixels_, pixelSize_);
        const std::size_t units = flagBytes_ * 2, lineBytes = units * 2;
        std::vector<std::uint8_t> flags(flagBytes_, 0);
        std::vector<std::uint8_t> lines(lineBytes * kKeptLines);
        auto line = [&](int y) { return lines.data() + lineBytes * static_cast<std::size_t>(y % kKeptLines); };
        for (int y = 0; y < size_.height; ++y) {
            for (std::uint8_t& f : flags)
                if (flagA.Bit()) f ^= flagB.U8();
            std::uint8_t* dst = line(y);
            for (std::size_t u = 0; u < units; ++u) {
                const unsigned flag = (u % 2 == 0) ? flags[u / 2] >> 4 : flags[u / 2] & 15;
                if (flag == 0) {
                    dst[2 * u] = pixels.U8();
                    dst[2 * u + 1] = pixels.U8();
                    continue;
                }
                const Copy c = kCopies[flag];
                if (static_cast<std::size_t>(c.left) > u || c.up > y) Broken("copy from outside the picture");
                std::memcpy(dst + 2 * u, line(y - c.up) + 2 * (u - c.left), 2);
            }
            PutLine(dst, out.Row(y));
            progress.Report(y + 1, size_.height);
        }
    }

private:
    void PutLine(const std::uint8_t* src, std::uint8_t* dst) const {
        for (int x = 0; x < size_.width; ++x) {
            const std::size_t at = static_cast<std::size_t>(x + skip_);
            const unsigned index = colours256_ ? src[at] : (src[at / 2] >> (at % 2 == 0 ? 4 : 0)) & 15;
            std::memcpy(dst + 3 * x, palette_[index].data(), 3);
        }
    }

    const Source& source_;  // outlives the decoder
    std::uint64_t header_ = 0;
    bool colours256_ = false;
    std::uint32_t flagA_ = 0, flagB_ = 0, flagBSize_ = 0, pixels_ = 0, pixelSize_ = 0;
    std::array<std::array<std::uint8_t, 3>, 256> palette_{};  // blue, green, red
    int skip_ = 0;
    std::size_t flagBytes_ = 0;
    PictureSize size_;
};

std::unique_ptr<Decoder> Open(const Source& source) { return std::make_unique<MagDecoder>(source); }

const char* const kInfo[] = {SUSIE_API_VERSION, "Vantoria MAG plug-in", "*.mag", "MAG pictures (MAKI02)"};

}  // namespace

const PluginFormat kPluginFormat = {kInfo, 4, kSignatureBytes, &Recognise, &Open};

}  // namespace vantoria::spi
