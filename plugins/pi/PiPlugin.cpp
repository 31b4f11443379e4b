// Pi plug-in: the PC-98 "Pi" pictures, 16 and 256 colours. After "Pi", a
// comment ended by 0x1A and filler ended by 0 come the mode (bit 7: no
// palette, use the default one), the aspect ratio (ignored), the bits per
// pixel (4 or 8), the saving machine, its extension block, the size and the
// palette (red, green, blue bytes).
//
// The pixels form one sequence, row after row, with two rows above the
// picture filled with the first two colours read. The stream alternates
// copies and colours: a position code says where a run of pixel pairs is
// copied from (two or four pixels back, one or two rows up, one row up and a
// pixel right or left) and a length code how many pairs; the same position
// twice in a row instead starts pairs of colours, each pair followed by a
// bit that is 1 while more pairs follow. A colour is coded as its place in a
// move-to-front list kept for each colour that can stand to its left.

#include <array>
#include <cstring>
#include <vector>

#include "ByteReader.h"
#include "CommentHeader.h"
#include "DeclaredHeads.h"
#include "Limits.h"
#include "PluginError.h"
#include "PluginFormat.h"

namespace vantoria::spi {
namespace {

constexpr std::size_t kSignatureBytes = 2;  // "Pi"
std::size_t HeaderStart(std::span<const std::uint8_t> file) { return CommentHeaderStart(file, kSignatureBytes); }

// The signature, then a header with a known depth within the first bytes.
constexpr std::size_t kHeadBytes = 4096;
bool Recognise(std::span<const std::uint8_t> head) {
    if (head.size() < kSignatureBytes || head[0] != 'P' || head[1] != 'i') return false;
    const std::size_t header = HeaderStart(head);
    return header + 4 <= head.size() && (head[header + 3] == 4 || head[header + 3] == 8);
}

SUSIE_DECLARE_HEADS(1, Head(0, "Pi"));

using Colour = std::array<std::uint8_t, 3>;  // blue, green, red

// The palette of a file without one: for 16 colours the eight digital colours
// (bits: blue, red, green) at half and full brightness; for 256, 3-3-2 bits
// of green, red and blue.
Colour DefaultColour(unsigned i, bool colours256) {
    auto scale = [](unsigned v, unsigned max) { return static_cast<std::uint8_t>(v * 255 / max); };
    if (colours256) return {scale(i & 3, 3), scale(i >> 5, 7), scale(i >> 2 & 7, 7)};
    const std::uint8_t on = (i & 8) ? 255 : 128;
    return {(i & 1) ? on : std::uint8_t{0}, (i & 4) ? on : std::uint8_t{0}, (i & 2) ? on : std::uint8_t{0}};
}

// Reads the length of a copy, in pixel pairs: n one bits, a zero, then n
// bits; n = 0 means one pair.
std::uint64_t ReadLength(BitReader& bits) {
    int n = 0;
    while (bits.Bit()) {
        if (++n > 32) Broken("copy too long");
    }
    if (n == 0) return 1;
    return (std::uint64_t{1} << n) + bits.Bits(n);
}

class PiDecoder final : public Decoder {
public:
    explicit PiDecoder(const Source& source) : source_(source) {
        // The comment lies within the first bytes (see Recognise).
        std::vector<std::uint8_t> head(kHeadBytes);
        head.resize(source.ReadAt(0, head.data(), head.size()));
        ByteReader r(source, std::min<std::uint64_t>(HeaderStart(head), source.Size()));
        const std::uint8_t mode = r.U8();
        r.Skip(2);  // aspect ratio
        const std::uint8_t depth = r.U8();
        if (depth != 4 && depth != 8) throw PluginError(SUSIE_ERR_UNKNOWN_FORMAT, "Pi picture of an unknown depth");
        colours_ = 1u << depth;
        r.Skip(4);  // saving machine
        r.Skip(r.U16BE());
        const int width = r.U16BE(), height = r.U16BE();
        for (unsigned i = 0; i < colours_; ++i) {
            if (mode & 0x80) {
                palette_[i] = DefaultColour(i, colours_ == 256);
            } else {
                const std::uint8_t red = r.U8(), green = r.U8(), blue = r.U8();
                palette_[i] = {blue, green, red};
            }
        }
        CheckSize(width, height);
        size_ = {width, height};
        data_ = r.Pos();
    }

    PictureSize Size() const override { return size_; }

    void Decode(Dib24& out, Progress& progress) override {
        BitReader bits(ByteReader(source_, data_));
        const std::size_t width = static_cast<std::size_t>(size_.width);
        const std::size_t total = width * static_cast<std::size_t>(size_.height);
        // Two rows above the picture, and four pixels more so that "four
        // pixels back" stays inside even for narrow pictures.
        const std::size_t lead = 2 * width + 4;
        std::vector<std::uint8_t> pixels(lead + total);
        InitTables();
        const std::uint8_t first = ReadColour(bits, 0), second = ReadColour(bits, first);
        for (std::size_t i = 0; i < lead; ++i) pixels[i] = (i % 2 == 0) ? first : second;
        // Where each position code copies from, counted back.
        const std::size_t back[5] = {2, width, 2 * width, width - 1, width + 1};

        std::size_t pos = lead, rowsDone = 0;
        const std::size_t end = lead + total;
        int lastPosition = -1;
        while (pos < end) {
            const int position = ReadPosition(bits);
            if (position == lastPosition) {
                do {
                    for (int k = 0; k < 2; ++k, ++pos) {
                        const std::uint8_t c = ReadColour(bits, pixels[pos - 1]);
                        if (pos < end) pixels[pos] = c;
                    }
                } while (pos < end && bits.Bit());
                lastPosition = -1;
            } else {
                std::size_t from = back[position];
                if (position == 0 && pixels[pos - 1] == pixels[pos - 2]) from = 4;
                const std::uint64_t count = std::min<std::uint64_t>(ReadLength(bits) * 2, end - pos);
                // One pixel at a time: a copy may overlap what it writes.
                for (std::uint64_t i = 0; i < count; ++i, ++pos) pixels[pos] = pixels[pos - from];
                lastPosition = position;
            }
            for (; rowsDone < static_cast<std::size_t>(size_.height) && lead + (rowsDone + 1) * width <= std::min(pos, end); ++rowsDone) {
                PutRow(pixels.data() + lead + rowsDone * width, out.Row(static_cast<int>(rowsDone)));
                progress.Report(static_cast<std::int64_t>(rowsDone) + 1, size_.height);
            }
        }
    }

private:
    void InitTables() {
        tables_.resize(std::size_t{colours_} * colours_);
        for (unsigned c = 0; c < colours_; ++c)
            for (unsigned i = 0; i < colours_; ++i) tables_[c * colours_ + i] = static_cast<std::uint8_t>((c - i) & (colours_ - 1));
    }

    // 1x: 0-1; 00x: 2-3; 010xx: 4-7; 0110xxx: 8-15 (011xxx with 16 colours)
    // and so on up to 0111111xxxxxxx: 128-255.
    std::uint8_t ReadColour(BitReader& bits, std::uint8_t left) {
        unsigned place;
        if (bits.Bit()) {
            place = bits.Bit();
        } else {
            const int most = colours_ == 256 ? 7 : 3;
            int n = 1;
            while (n < most && bits.Bit()) ++n;
            place = (1u << n) + bits.Bits(n);
        }
        std::uint8_t* list = tables_.data() + std::size_t{left} * colours_;
        const std::uint8_t colour = list[place];
        std::memmove(list + 1, list, place);
        list[0] = colour;
        return colour;
    }

    // 00: 0, 01: 1, 10: 2, 110: 3, 111: 4.
    static int ReadPosition(BitReader& bits) {
        const unsigned two = bits.Bits(2);
        if (two < 3) return static_cast<int>(two);
        return 3 + static_cast<int>(bits.Bit());
    }

    void PutRow(const std::uint8_t* src, std::uint8_t* dst) const {
        for (int x = 0; x < size_.width; ++x) std::memcpy(dst + 3 * x, palette_[src[x]].data(), 3);
    }

    const Source& source_;  // outlives the decoder
    unsigned colours_ = 16;
    std::array<Colour, 256> palette_{};
    std::vector<std::uint8_t> tables_;
    std::size_t data_ = 0;
    PictureSize size_;
};

std::unique_ptr<Decoder> Open(const Source& source) { return std::make_unique<PiDecoder>(source); }

const char* const kInfo[] = {SUSIE_API_VERSION, "Vantoria Pi plug-in", "*.pi", "Pi pictures"};

}  // namespace

const PluginFormat kPluginFormat = {kInfo, 4, kHeadBytes, &Recognise, &Open};

}  // namespace vantoria::spi
