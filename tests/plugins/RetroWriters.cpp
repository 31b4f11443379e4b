#include "RetroWriters.h"

namespace vantoria::spi::test {

std::vector<std::uint8_t> TestPicture::ToRgb() const {
    std::vector<std::uint8_t> rgb;
    rgb.reserve(pixels.size() * 3);
    for (std::uint32_t p : pixels) {
        const Rgb c = palette.empty() ? Rgb{std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p)}
                                      : palette.at(p);
        rgb.insert(rgb.end(), c.begin(), c.end());
    }
    return rgb;
}

TestPicture MakeTestPicture(int width, int height, int colours, unsigned seed) {
    TestPicture picture{width, height, {}, {}};
    std::uint32_t state = seed * 2654435761u + 1;
    auto noise = [&] { return (state = state * 1103515245u + 12345u) >> 16; };
    for (int i = 0; i < colours; ++i) {
        picture.palette.push_back({std::uint8_t(i * 37 + seed), std::uint8_t(255 - i * 11), std::uint8_t(i * i + 3)});
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint32_t v;
            if (y < height / 3) {
                v = static_cast<std::uint32_t>(y / 2 + (x > width / 2 ? 1 : 0));  // runs and stripes
            } else if (y < 2 * height / 3) {
                v = static_cast<std::uint32_t>((x / 3 + y / 5) % 7);  // repeating blocks
            } else {
                v = noise();
            }
            picture.pixels.push_back(colours > 0 ? v % colours
                                                 : (v * 40503u ^ static_cast<std::uint32_t>(x * 255 / width) << 16 ^
                                                    static_cast<std::uint32_t>(y * 255 / height) << 8) & 0xFFFFFF);
        }
    }
    return picture;
}

void BitWriter::Bit(unsigned b) {
    if (used_ == 8) bytes_.push_back(0), used_ = 0;
    if (b & 1) bytes_.back() |= static_cast<std::uint8_t>(0x80 >> used_);
    ++used_;
}

void BitWriter::Bits(std::uint32_t value, int n) {
    for (int i = n - 1; i >= 0; --i) Bit(value >> i);
}

std::vector<std::uint8_t> BitWriter::Finish() { return bytes_; }

std::vector<std::uint8_t> PackBits(const std::vector<std::uint8_t>& row, std::size_t unit) {
    const std::size_t n = row.size() / unit;
    auto same = [&](std::size_t a, std::size_t b) {
        return std::equal(row.begin() + a * unit, row.begin() + (a + 1) * unit, row.begin() + b * unit);
    };
    std::vector<std::uint8_t> out;
    std::size_t i = 0;
    while (i < n) {
        std::size_t run = 1;
        while (i + run < n && run < 128 && same(i, i + run)) ++run;
        if (run >= 2) {
            out.push_back(static_cast<std::uint8_t>(257 - run));
            out.insert(out.end(), row.begin() + i * unit, row.begin() + (i + 1) * unit);
            i += run;
            continue;
        }
        std::size_t literal = 1;
        while (i + literal < n && literal < 128 && !(i + literal + 1 < n && same(i + literal, i + literal + 1))) ++literal;
        out.push_back(static_cast<std::uint8_t>(literal - 1));
        out.insert(out.end(), row.begin() + i * unit, row.begin() + (i + literal) * unit);
        i += literal;
    }
    return out;
}

}  // namespace vantoria::spi::test
