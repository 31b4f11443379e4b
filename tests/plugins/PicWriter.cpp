#include <algorithm>

#include "RetroWriters.h"

namespace vantoria::spi::test {

namespace {

// The machine's colour word for 0xRRGGBB: green, red, blue in five bits.
unsigned X68000(std::uint32_t rgb) {
    return (rgb >> 11 & 31) << 11 | (rgb >> 19 & 31) << 6 | (rgb >> 3 & 31) << 1;
}

// Run lengths: a ones, a zero, a + 1 bits, for 2^(a+1) - 1 + those bits.
void Length(BitWriter& bits, std::uint64_t length) {
    int a = 0;
    while (length + 1 >= (std::uint64_t{1} << (a + 2))) ++a;
    for (int i = 0; i < a; ++i) bits.Bit(1);
    bits.Bit(0);
    bits.Bits(static_cast<std::uint32_t>(length - ((std::uint64_t{1} << (a + 1)) - 1)), a + 1);
}

// The decoder's cache of 128 colours, oldest slot first in `order`.
struct Cache {
    std::vector<unsigned> order, colours = std::vector<unsigned>(128, 0);
    Cache() {
        for (unsigned i = 0; i < 128; ++i) order.push_back(i);
    }
    void Touch(unsigned slot) {
        order.erase(std::find(order.begin(), order.end(), slot));
        order.push_back(slot);
    }
};

}  // namespace

std::vector<std::uint8_t> EncodePic(const TestPicture& picture, int bits) {
    const std::size_t width = static_cast<std::size_t>(picture.width), total = picture.pixels.size();
    // What each pixel's code is: a palette index or the machine's colour word.
    std::vector<unsigned> codes;
    for (std::uint32_t p : picture.pixels) codes.push_back(bits <= 8 ? p : X68000(p) | (bits == 16 ? (p >> 16 & 1) : 0));

    BitWriter out;
    Cache cache;
    std::vector<bool> chained(total, false);
    // The decoder starts from black: word 0, and no palette index.
    unsigned running = bits <= 8 ? ~0u : 0u;
    std::size_t at = 0;
    while (at < total) {
        // The next pixel the running colour (and the chains) get wrong.
        std::size_t change = at;
        for (; change < total; ++change) {
            if (chained[change]) running = codes[change];
            else if (codes[change] != running) break;
        }
        Length(out, change - at + 1);
        if (change >= total) break;
        const unsigned code = codes[change];
        if (bits <= 8) {
            out.Bits(code, bits);
        } else {
            const auto slot = std::find(cache.colours.begin(), cache.colours.end(), code) - cache.colours.begin();
            if (slot < 128) {
                out.Bit(1), out.Bits(static_cast<std::uint32_t>(slot), 7);
                cache.Touch(static_cast<unsigned>(slot));
            } else {
                out.Bit(0);
                out.Bits(bits == 15 ? code >> 1 : code, bits);
                const unsigned oldest = cache.order.front();
                cache.colours[oldest] = code;
                cache.Touch(oldest);
            }
        }
        running = code;
        // A chain down through pixels of this colour that start a run.
        std::vector<int> steps;
        std::size_t x = change % width, y = change / width;
        for (;;) {
            bool found = false;
            for (int step : {0, -1, 1, -2, 2}) {
                const std::ptrdiff_t nx = static_cast<std::ptrdiff_t>(x) + step;
                if (nx < 0 || nx >= static_cast<std::ptrdiff_t>(width) || y + 1 >= static_cast<std::size_t>(picture.height)) continue;
                const std::size_t to = (y + 1) * width + static_cast<std::size_t>(nx);
                if (chained[to] || codes[to] != code || (nx > 0 && codes[to - 1] == code)) continue;
                chained[to] = true;
                steps.push_back(step);
                x = static_cast<std::size_t>(nx), ++y, found = true;
                break;
            }
            if (!found) break;
        }
        out.Bit(!steps.empty());
        if (!steps.empty()) {
            for (int step : steps) {
                switch (step) {
                case 0: out.Bits(1, 2); break;
                case -1: out.Bits(2, 2); break;
                case 1: out.Bits(3, 2); break;
                case -2: out.Bits(2, 4); break;
                default: out.Bits(3, 4); break;
                }
            }
            out.Bits(0, 3);
        }
        at = change + 1;
    }

    ByteWriter file;
    file.Text("PIC");
    file.Text("made by the tests");
    file.U8(0x1A);
    file.Text("filler");
    file.U8(0);
    file.U8(0), file.U8(0x00);  // reserved; the X68000, mode 0
    file.U16BE(static_cast<unsigned>(bits));
    file.U16BE(picture.width), file.U16BE(picture.height);
    if (bits <= 8)
        for (const Rgb& c : picture.palette) file.U16BE(X68000(std::uint32_t{c[0]} << 16 | c[1] << 8 | c[2]));
    file.Append(out.Finish());
    return file.bytes;
}

}  // namespace vantoria::spi::test
