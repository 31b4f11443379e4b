#include <algorithm>
#include <cstring>

#include "RetroWriters.h"

namespace vantoria::spi::test {

namespace {

class PiEncoder {
public:
    PiEncoder(const TestPicture& picture) : width_(static_cast<std::size_t>(picture.width)) {
        colours_ = picture.palette.size() > 16 ? 256u : 16u;
        for (unsigned c = 0; c < colours_; ++c)
            for (unsigned i = 0; i < colours_; ++i) tables_.push_back(static_cast<std::uint8_t>((c - i) & (colours_ - 1)));
        lead_ = 2 * width_ + 4;
        end_ = lead_ + picture.pixels.size();
        pixels_.assign(lead_, 0);
        for (std::uint32_t p : picture.pixels) pixels_.push_back(static_cast<std::uint8_t>(p));
        // The rows above repeat the first two colours.
        const std::uint8_t first = pixels_[lead_], second = picture.pixels.size() > 1 ? pixels_[lead_ + 1] : 0;
        Colour(first, 0), Colour(second, first);
        for (std::size_t i = 0; i < lead_; ++i) pixels_[i] = (i % 2 == 0) ? first : second;
    }

    std::vector<std::uint8_t> Encode() {
        std::size_t pos = lead_;
        int last = -1;
        while (pos < end_) {
            auto [position, pairs] = BestCopy(pos, last);
            if (pairs > 0) {
                static constexpr unsigned kCodes[5][2] = {{0, 2}, {1, 2}, {2, 2}, {6, 3}, {7, 3}};
                bits_.Bits(kCodes[position][0], static_cast<int>(kCodes[position][1]));
                Length(pairs);
                pos = std::min(pos + 2 * pairs, end_);
                last = position;
                continue;
            }
            // Nothing to copy: the last position again starts colours.
            static constexpr unsigned kCodes[5][2] = {{0, 2}, {1, 2}, {2, 2}, {6, 3}, {7, 3}};
            bits_.Bits(kCodes[last][0], static_cast<int>(kCodes[last][1]));
            for (;;) {
                for (int k = 0; k < 2; ++k, ++pos) {
                    if (pos >= end_) pixels_.push_back(pixels_[pos - 1]);  // past the end: anything
                    Colour(pixels_[pos], pixels_[pos - 1]);
                }
                if (pos >= end_) break;
                const bool more = BestCopy(pos, -1).second == 0;
                bits_.Bit(more);
                if (!more) break;
            }
            last = -1;
        }
        return bits_.Finish();
    }

private:
    std::size_t From(int position, std::size_t pos) const {
        const std::size_t back[5] = {2, width_, 2 * width_, width_ - 1, width_ + 1};
        if (position == 0 && pixels_[pos - 1] == pixels_[pos - 2]) return 4;
        return back[position];
    }

    // The longest copy, in whole pairs (a last half pair past the end counts).
    std::pair<int, std::size_t> BestCopy(std::size_t pos, int excluded) const {
        std::pair<int, std::size_t> best{0, 0};
        for (int position = 0; position < 5; ++position) {
            if (position == excluded) continue;
            const std::size_t from = From(position, pos);
            if (from == 0) continue;  // one pixel wide: "up and right" is the pixel itself
            std::size_t n = 0;
            while (pos + n < end_ && pixels_[pos + n] == pixels_[pos + n - from]) ++n;
            const std::size_t pairs = pos + n >= end_ ? (n + 1) / 2 : n / 2;
            if (pairs > best.second) best = {position, pairs};
        }
        return best;
    }

    void Length(std::size_t pairs) {
        if (pairs == 1) return bits_.Bit(0);
        int n = 0;
        while ((pairs >> (n + 1)) != 0) ++n;
        for (int i = 0; i < n; ++i) bits_.Bit(1);
        bits_.Bit(0);
        bits_.Bits(static_cast<std::uint32_t>(pairs - (std::size_t{1} << n)), n);
    }

    void Colour(std::uint8_t colour, std::uint8_t left) {
        std::uint8_t* list = tables_.data() + std::size_t{left} * colours_;
        const unsigned place = static_cast<unsigned>(std::find(list, list + colours_, colour) - list);
        if (place < 2) {
            bits_.Bit(1), bits_.Bit(place);
        } else {
            int n = 1;
            while ((place >> (n + 1)) != 0) ++n;
            const int most = colours_ == 256 ? 7 : 3;
            bits_.Bit(0);
            for (int i = 1; i < n; ++i) bits_.Bit(1);
            if (n < most) bits_.Bit(0);
            bits_.Bits(place - (1u << n), n);
        }
        std::memmove(list + 1, list, place);
        list[0] = colour;
    }

    std::size_t width_, lead_, end_;
    unsigned colours_;
    std::vector<std::uint8_t> tables_, pixels_;
    BitWriter bits_;
};

}  // namespace

std::vector<std::uint8_t> EncodePi(const TestPicture& picture, bool defaultPalette) {
    ByteWriter out;
    out.Text("Pi");
    out.Text("made by the tests");
    out.U8(0x1A);
    out.Text("filler");
    out.U8(0);
    out.U8(defaultPalette ? 0x80 : 0), out.U8(0), out.U8(0);
    out.U8(picture.palette.size() > 16 ? 8 : 4);
    out.Text("TEST");
    out.U16BE(3), out.Text("ext");
    out.U16BE(picture.width), out.U16BE(picture.height);
    if (!defaultPalette)
        for (const Rgb& c : picture.palette) out.U8(c[0]), out.U8(c[1]), out.U8(c[2]);
    out.Append(PiEncoder(picture).Encode());
    return out.bytes;
}

}  // namespace vantoria::spi::test
