#include <cstring>

#include "RetroWriters.h"

namespace vantoria::spi::test {

namespace {

// Units to the left and lines up that each flag copies from (flag 0: new).
constexpr int kLeft[16] = {0, 1, 2, 4, 0, 1, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0};
constexpr int kUp[16] = {0, 0, 0, 0, 1, 1, 2, 2, 2, 4, 4, 4, 8, 8, 8, 16};

}  // namespace

std::vector<std::uint8_t> EncodeMag(const TestPicture& picture, int left, bool lines200) {
    const bool wide = picture.palette.size() > 16;
    const int align = wide ? 4 : 8;
    const int right = left + picture.width - 1;
    const int alignedLeft = left / align * align;
    const int alignedWidth = (right / align + 1) * align - alignedLeft;
    const std::size_t flagBytes = static_cast<std::size_t>(alignedWidth / align), units = flagBytes * 2;

    // The picture's bytes on whole lines; what lies outside it is colour 0.
    std::vector<std::vector<std::uint8_t>> lines;
    for (int y = 0; y < picture.height; ++y) {
        std::vector<std::uint8_t> line(units * 2);
        for (int x = 0; x < picture.width; ++x) {
            const int at = x + left - alignedLeft;
            const auto v = static_cast<std::uint8_t>(picture.At(x, y));
            if (wide) line[at] = v; else line[at / 2] |= static_cast<std::uint8_t>(at % 2 == 0 ? v << 4 : v);
        }
        lines.push_back(line);
    }

    BitWriter flagA;
    ByteWriter flagB, pixels;
    std::vector<std::uint8_t> previous(flagBytes, 0);
    for (int y = 0; y < picture.height; ++y) {
        std::vector<std::uint8_t> flags(flagBytes, 0);
        for (std::size_t u = 0; u < units; ++u) {
            int flag = 0;
            for (int f = 1; f < 16 && flag == 0; ++f) {
                if (static_cast<std::size_t>(kLeft[f]) > u || kUp[f] > y) continue;
                if (std::memcmp(&lines[y][2 * u], &lines[y - kUp[f]][2 * (u - kLeft[f])], 2) == 0) flag = f;
            }
            if (flag == 0) pixels.U8(lines[y][2 * u]), pixels.U8(lines[y][2 * u + 1]);
            flags[u / 2] |= static_cast<std::uint8_t>(u % 2 == 0 ? flag << 4 : flag);
        }
        for (std::size_t i = 0; i < flagBytes; ++i) {
            const std::uint8_t change = flags[i] ^ previous[i];
            flagA.Bit(change != 0);
            if (change != 0) flagB.U8(change);
        }
        previous = flags;
    }
    const auto flagABytes = flagA.Finish();

    ByteWriter out;
    out.Text("MAKI02  ");
    out.Text("TEST");
    out.Text("Test encoder      ");  // user name
    out.Text("a comment");
    out.U8(0x1A);
    const std::uint32_t colourBytes = static_cast<std::uint32_t>(picture.palette.size() * 3);
    const std::uint32_t flagAAt = 32 + colourBytes;
    const std::uint32_t flagBAt = flagAAt + static_cast<std::uint32_t>(flagABytes.size());
    const std::uint32_t pixelsAt = flagBAt + static_cast<std::uint32_t>(flagB.bytes.size());
    out.U8(0), out.U8(0), out.U8(0);
    out.U8((wide ? 0x80 : 0) | (lines200 ? 1 : 0));
    out.U16LE(left), out.U16LE(7), out.U16LE(right), out.U16LE(7 + picture.height - 1);
    out.U32LE(flagAAt), out.U32LE(flagBAt), out.U32LE(static_cast<std::uint32_t>(flagB.bytes.size()));
    out.U32LE(pixelsAt), out.U32LE(static_cast<std::uint32_t>(pixels.bytes.size()));
    for (const Rgb& c : picture.palette) out.U8(c[1]), out.U8(c[0]), out.U8(c[2]);
    out.Append(flagABytes);
    out.Append(flagB.bytes);
    out.Append(pixels.bytes);
    return out.bytes;
}

}  // namespace vantoria::spi::test
