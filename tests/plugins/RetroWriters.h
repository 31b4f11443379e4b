#pragma once
// Small encoders for the tests of the plug-ins that read older formats
// (PICT, MAG, Pi, PIC): each writes a picture the way its format describes,
// so the tests make their own files. They aim at being plainly right, not at
// compressing well; each still uses every kind of code its format has.

#include <array>
#include <cstdint>
#include <vector>

namespace vantoria::spi::test {

using Rgb = std::array<std::uint8_t, 3>;

// A picture of palette indices (or, with an empty palette, of colours).
struct TestPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // index, or 0xRRGGBB
    std::vector<Rgb> palette;

    std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
    // R, G, B bytes, top row first (what the plug-in harness decodes to).
    std::vector<std::uint8_t> ToRgb() const;
};

// Stripes, runs, repeated blocks and noise: something for every copy code.
// `colours` 0 gives direct colours.
TestPicture MakeTestPicture(int width, int height, int colours, unsigned seed);

// A big-endian or little-endian byte sink.
class ByteWriter {
public:
    void U8(unsigned v) { bytes.push_back(static_cast<std::uint8_t>(v)); }
    void U16BE(unsigned v) { U8(v >> 8), U8(v); }
    void U32BE(std::uint32_t v) { U16BE(v >> 16), U16BE(v & 0xFFFF); }
    void U16LE(unsigned v) { U8(v), U8(v >> 8); }
    void U32LE(std::uint32_t v) { U16LE(v & 0xFFFF), U16LE(v >> 16); }
    void Append(const std::vector<std::uint8_t>& more) { bytes.insert(bytes.end(), more.begin(), more.end()); }
    void Text(const char* text) { while (*text) U8(static_cast<unsigned char>(*text++)); }
    std::vector<std::uint8_t> bytes;
};

// Most significant bit first.
class BitWriter {
public:
    void Bit(unsigned b);
    void Bits(std::uint32_t value, int n);
    std::vector<std::uint8_t> Finish();  // pads the last byte with zeros

private:
    std::vector<std::uint8_t> bytes_;
    int used_ = 8;
};

// PackBits, in units of one or two bytes.
std::vector<std::uint8_t> PackBits(const std::vector<std::uint8_t>& row, std::size_t unit);

// ---- PICT ---------------------------------------------------------------

struct PictRect {
    int top, left, bottom, right;
};

// A version 2 picture (version 1 when asked) built opcode by opcode.
class PictWriter {
public:
    PictWriter(PictRect frame, bool fileHeader, int version = 2);
    void Op(unsigned op);
    void Rect(PictRect r);
    // An indexed image (1, 2, 4 or 8 bits; a plain one-bit bitmap with
    // `bitmap`) with opcode `op` (0x90, 0x91, 0x98, 0x99) showing `src` of
    // the picture at `dst`.
    void Indexed(unsigned op, const TestPicture& picture, int pixelSize, PictRect src, PictRect dst,
                 bool bitmap = false);
    // A direct image, 16 or 32 bits, the given packing and component count.
    void Direct(unsigned op, const TestPicture& picture, int pixelSize, int packType, int components,
                PictRect src, PictRect dst);
    std::vector<std::uint8_t> Finish();  // adds the end opcode
    ByteWriter out;

private:
    void Align();
    void Rows(const std::vector<std::vector<std::uint8_t>>& rows, int rowBytes, bool packed, std::size_t unit);
    std::size_t start_;
    int version_;
};

// ---- MAG, Pi, PIC -------------------------------------------------------

// MAKI02: 16 colours (4-pixel units) or 256 (2-pixel units); `left` is the
// picture's x start in the header (not necessarily on a unit boundary).
std::vector<std::uint8_t> EncodeMag(const TestPicture& picture, int left = 0, bool lines200 = false);

// Pi: 16 or 256 colours; `defaultPalette` omits the palette (mode bit 7).
std::vector<std::uint8_t> EncodePi(const TestPicture& picture, bool defaultPalette = false);

// PIC (X68000): `bits` 15 or 16 (direct colours), 4 or 8 (palette).
std::vector<std::uint8_t> EncodePic(const TestPicture& picture, int bits);

}  // namespace vantoria::spi::test
