// PIC plug-in: X68000 "PIC" pictures with 15 or 16 bits a pixel (the
// machine's GGGGGRRRRRBBBBB[I] colours) or 4 or 8 bits of palette. After
// "PIC", a comment ended by 0x1A and filler ended by 0 come a reserved byte,
// the machine and mode (low and high nibble), the bits per pixel, the size
// and, for palette pictures, the palette in the machine's colours. Other
// machines' PIC variants are refused. PIC2 files have a signature of their
// own and are not recognised.
//
// The pixels form one sequence, row after row. The stream gives the
// distance to the next point where the colour changes, then its colour
// (direct colours: a bit, then either the place of a recently used colour
// in a cache of 128 or the colour itself), then a bit that says whether a
// chain follows: the same colour starting again in the rows below, one
// step a row (straight down, one or two pixels left or right), which the
// pixels passed over later take on instead of the running colour.

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

constexpr std::size_t kHeadBytes = 4096;
constexpr unsigned kMachineX68000 = 0;

constexpr std::size_t kSignatureBytes = 3;  // "PIC"
std::size_t HeaderStart(std::span<const std::uint8_t> file) { return CommentHeaderStart(file, kSignatureBytes); }

bool Recognise(std::span<const std::uint8_t> head) {
    if (head.size() < kSignatureBytes || std::memcmp(head.data(), "PIC", kSignatureBytes) != 0) return false;
    const std::size_t header = HeaderStart(head);
    return header + 4 <= head.size() && head[header + 2] == 0;  // bits per pixel: a small number
}

SUSIE_DECLARE_HEADS(1, Head(0, "PIC"));

using Colour = std::array<std::uint8_t, 3>;  // blue, green, red

// The machine's colour word: green, red, blue in five bits each, then the
// intensity bit (which only nudges the colour, and is left out).
Colour FromX68000(unsigned word16) {
    auto widen = [](unsigned five) { return static_cast<std::uint8_t>(five << 3 | five >> 2); };
    return {widen(word16 >> 1 & 31), widen(word16 >> 11 & 31), widen(word16 >> 6 & 31)};
}

// Distances: a ones, a zero, then a + 1 bits: 2^(a+1) - 1 + those bits.
std::uint64_t ReadLength(BitReader& bits) {
    int a = 0;
    while (bits.Bit()) {
        if (++a > 31) Broken("run too long");
    }
    return (std::uint64_t{1} << (a + 1)) - 1 + bits.Bits(a + 1);
}

// The 128 most recently used colours; a new colour takes the place of the
// one used longest ago.
class ColourCache {
public:
    ColourCache() {
        for (unsigned i = 0; i < kSize; ++i) newer_[i] = (i + 1) % kSize, older_[i] = (i + kSize - 1) % kSize;
    }
    std::uint32_t Use(unsigned slot) {
        Touch(slot);
        return colours_[slot];
    }
    void Add(std::uint32_t colour) {
        const unsigned slot = oldest_;
        colours_[slot] = colour;
        Touch(slot);
    }

private:
    static constexpr unsigned kSize = 128;
    // Makes `slot` the newest of a ring ordered from oldest_ onwards.
    void Touch(unsigned slot) {
        const unsigned newest = older_[oldest_];
        if (slot == newest) return;
        if (slot == oldest_) {
            oldest_ = newer_[slot];
            return;
        }
        newer_[older_[slot]] = newer_[slot], older_[newer_[slot]] = older_[slot];
        newer_[newest] = slot, older_[slot] = newest;
        newer_[slot] = oldest_, older_[oldest_] = slot;
    }
    std::array<std::uint32_t, kSize> colours_{};
    std::array<unsigned, kSize> newer_{}, older_{};
    unsigned oldest_ = 0;
};

class PicDecoder final : public Decoder {
public:
    explicit PicDecoder(const Source& source) : source_(source) {
        // The comment lies within the first bytes (see Recognise).
        std::vector<std::uint8_t> head(kHeadBytes);
        head.resize(source.ReadAt(0, head.data(), head.size()));
        ByteReader r(source, std::min<std::uint64_t>(HeaderStart(head), source.Size()));
        r.Skip(1);  // reserved
        const unsigned machine = r.U8() & 15;
        depth_ = r.U16BE();
        const int width = r.U16BE(), height = r.U16BE();
        if (machine != kMachineX68000) throw PluginError(SUSIE_ERR_UNKNOWN_FORMAT, "PIC picture of another machine");
        if (depth_ != 4 && depth_ != 8 && depth_ != 15 && depth_ != 16)
            throw PluginError(SUSIE_ERR_UNKNOWN_FORMAT, "PIC picture of an unknown depth");
        if (depth_ <= 8)
            for (unsigned i = 0; i < (1u << depth_); ++i) palette_[i] = FromX68000(r.U16BE());
        CheckSize(width, height);
        size_ = {width, height};
        data_ = r.Pos();
    }

    PictureSize Size() const override { return size_; }

    void Decode(Dib24& out, Progress& progress) override {
        BitReader bits(ByteReader(source_, data_));
        const std::uint64_t width = static_cast<std::uint64_t>(size_.width);
        const std::uint64_t total = width * static_cast<std::uint64_t>(size_.height);
        // Pixels a chain has coloured ahead of the running position.
        std::vector<bool> chained(total, false);
        auto pixel = [&](std::uint64_t at) {
            return out.Row(static_cast<int>(at / width)) + 3 * (at % width);
        };
        ColourCache cache;
        Colour colour{0, 0, 0};
        std::uint64_t at = 0;  // the next pixel to fill
        for (;;) {
            // The run up to the next change point keeps the running colour,
            // or takes on the colour of a chain it passes.
            const std::uint64_t length = ReadLength(bits);
            const std::uint64_t change = at + length - 1;
            for (; at < change && at < total; ++at) {
                std::uint8_t* p = pixel(at);
                if (chained[at]) std::memcpy(colour.data(), p, 3);
                else std::memcpy(p, colour.data(), 3);
                if ((at + 1) % width == 0) progress.Report(static_cast<std::int64_t>((at + 1) / width), size_.height);
            }
            if (at >= total) return;
            colour = ReadColour(bits, cache);
            std::memcpy(pixel(at), colour.data(), 3);
            if (bits.Bit()) Chain(bits, at, colour, chained, pixel);
            if (++at % width == 0) progress.Report(static_cast<std::int64_t>(at / width), size_.height);
            if (at >= total) return;
        }
    }

private:
    Colour ReadColour(BitReader& bits, ColourCache& cache) const {
        if (depth_ <= 8) return palette_[bits.Bits(depth_)];
        std::uint32_t word16;
        if (bits.Bit()) {
            word16 = cache.Use(bits.Bits(7));
        } else {
            word16 = depth_ == 15 ? bits.Bits(15) << 1 : bits.Bits(16);
            cache.Add(word16);
        }
        return FromX68000(word16);
    }

    // Steps: 01 straight down, 10 one left, 11 one right, 0010 two left,
    // 0011 two right, 000 the end.
    template <class PixelAt>
    void Chain(BitReader& bits, std::uint64_t at, const Colour& colour, std::vector<bool>& chained,
               PixelAt pixel) const {
        const std::int64_t width = size_.width;
        std::int64_t x = static_cast<std::int64_t>(at % static_cast<std::uint64_t>(width));
        std::uint64_t y = at / static_cast<std::uint64_t>(width);
        for (;;) {
            int step;
            if (bits.Bit()) {
                step = bits.Bit() ? 1 : -1;
            } else if (bits.Bit()) {
                step = 0;
            } else if (bits.Bit()) {
                step = bits.Bit() ? 2 : -2;
            } else {
                return;
            }
            x += step;
            ++y;
            // A chain leaving the picture is still read to its end.
            if (x < 0 || x >= width || y >= static_cast<std::uint64_t>(size_.height)) continue;
            const std::uint64_t to = y * static_cast<std::uint64_t>(width) + static_cast<std::uint64_t>(x);
            chained[to] = true;
            std::memcpy(pixel(to), colour.data(), 3);
        }
    }

    const Source& source_;  // outlives the decoder
    unsigned depth_ = 15;
    std::array<Colour, 256> palette_{};
    std::size_t data_ = 0;
    PictureSize size_;
};

std::unique_ptr<Decoder> Open(const Source& source) { return std::make_unique<PicDecoder>(source); }

const char* const kInfo[] = {SUSIE_API_VERSION, "Vantoria PIC plug-in", "*.pic", "PIC pictures (X68000)"};

}  // namespace

const PluginFormat kPluginFormat = {kInfo, 4, kHeadBytes, &Recognise, &Open};

}  // namespace vantoria::spi
