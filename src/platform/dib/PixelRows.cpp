#include "platform/dib/PixelRows.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <string>
#include <vector>

#include "platform/dib/BitFields.h"
#include "platform/dib/ByteReader.h"
#include "platform/dib/DibError.h"

namespace vantoria::dib {

namespace {

inline void Put(std::uint8_t* dst, const Bgr& c) {
    dst[0] = c.b;
    dst[1] = c.g;
    dst[2] = c.r;
}

static_assert(std::endian::native == std::endian::little,
              "pixel words are loaded and stored little-endian");

inline std::uint32_t Load32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// Writes `width` (at least 1) pixels, pixel(x) giving 0x00RRGGBB. All but the
// last are stored as 4-byte words whose top byte the next pixel overwrites:
// one store a pixel instead of three.
template <typename PixelAt>
inline void WriteRow(std::uint8_t* dst, int width, PixelAt pixel) {
    int x = 0;
    for (; x + 1 < width; ++x, dst += 3) {
        const std::uint32_t v = pixel(x);
        std::memcpy(dst, &v, 4);
    }
    const std::uint32_t v = pixel(x);
    dst[0] = static_cast<std::uint8_t>(v);
    dst[1] = static_cast<std::uint8_t>(v >> 8);
    dst[2] = static_cast<std::uint8_t>(v >> 16);
}

// From this many pixels on, 16-bit pixels are looked up in a table of all
// 65536 values instead of scaling each channel.
constexpr std::size_t kTable16MinPixels = std::size_t{1} << 18;

using Colours = std::array<std::uint32_t, 256>;   // 0x00RRGGBB

Colours Words(const Palette& palette) {
    Colours words{};
    for (std::size_t i = 0; i < words.size(); ++i) {
        const Bgr& c = palette.colors[i];
        words[i] = c.b | (std::uint32_t{c.g} << 8) | (std::uint32_t{c.r} << 16);
    }
    return words;
}

template <int Bits>
void IndexedRow(const std::uint8_t* src, std::uint8_t* dst, int width, const Colours& colours) {
    constexpr int kPerByte = 8 / Bits;
    constexpr unsigned kMask = (1u << Bits) - 1;
    WriteRow(dst, width, [&](int x) {
        const unsigned shift = 8 - Bits * (x % kPerByte + 1);   // leftmost pixel in the high bits
        return colours[(src[x / kPerByte] >> shift) & kMask];
    });
}

struct Scales {
    ChannelScale red, green, blue;
    explicit Scales(const ChannelMasks& m) : red(m.red), green(m.green), blue(m.blue) {}
    std::uint32_t operator[](std::uint32_t px) const {
        return blue(px) | (std::uint32_t{green(px)} << 8) | (std::uint32_t{red(px)} << 16);
    }
};

// `scale` maps a 16-bit pixel to 0x00RRGGBB: the Scales themselves, or a
// table of all 65536 results, built for large pictures.
template <typename Scale>
void Row16(const std::uint8_t* src, std::uint8_t* dst, int width, const Scale& scale) {
    WriteRow(dst, width, [&](int x) { return scale[src[2 * x] | (src[2 * x + 1] << 8)]; });
}

void Row32(const std::uint8_t* src, std::uint8_t* dst, int width, const Scales& scale) {
    WriteRow(dst, width, [&](int x) { return scale[Load32(src + 4 * x)]; });
}

// Blue, green, red, unused: the usual 32-bit layout, copied as it is.
void Row32Bgrx(const std::uint8_t* src, std::uint8_t* dst, int width) {
    WriteRow(dst, width, [&](int x) { return Load32(src + 4 * x); });
}

// Runs `convert(src, dst)` for each of `rows` stored rows, in storage order.
template <typename Convert>
void EachRow(const DibInfo& info, const std::uint8_t* bits, std::size_t rows, std::uint8_t* top,
             std::ptrdiff_t stride, Convert convert) {
    for (std::size_t r = 0; r < rows; ++r) {
        const std::ptrdiff_t y = info.topDown ? static_cast<std::ptrdiff_t>(r)
                                              : info.height - 1 - static_cast<std::ptrdiff_t>(r);
        convert(bits + r * info.rowBytes, top + stride * y);
    }
}

}  // namespace

void DecodeRows(const DibInfo& info, const Palette& palette, std::span<const std::uint8_t> bits,
                raster::Bitmap& out) {
    const std::size_t height = static_cast<std::size_t>(info.height);
    const std::size_t rows = std::min(height, bits.size() / info.rowBytes);
    const int w = info.width;
    std::uint8_t* top = out.ScanLine(0);
    const std::ptrdiff_t stride = out.Stride();
    const std::uint8_t* src = bits.data();
    const Colours colours = info.bitCount <= 8 ? Words(palette) : Colours{};
    switch (info.bitCount) {
    case 1:
        EachRow(info, src, rows, top, stride, [&](auto s, auto d) { IndexedRow<1>(s, d, w, colours); });
        break;
    case 2:
        EachRow(info, src, rows, top, stride, [&](auto s, auto d) { IndexedRow<2>(s, d, w, colours); });
        break;
    case 4:
        EachRow(info, src, rows, top, stride, [&](auto s, auto d) { IndexedRow<4>(s, d, w, colours); });
        break;
    case 8:
        EachRow(info, src, rows, top, stride, [&](auto s, auto d) { IndexedRow<8>(s, d, w, colours); });
        break;
    case 16: {
        const Scales scales(info.masks);
        if (static_cast<std::size_t>(w) * rows < kTable16MinPixels) {
            EachRow(info, src, rows, top, stride, [&](auto s, auto d) { Row16(s, d, w, scales); });
            break;
        }
        std::vector<std::uint32_t> table(1 << 16);
        for (std::uint32_t px = 0; px < table.size(); ++px) table[px] = scales[px];
        EachRow(info, src, rows, top, stride, [&](auto s, auto d) { Row16(s, d, w, table); });
        break;
    }
    case 24:
        // Same row layout as the bitmap: one copy a row.
        EachRow(info, src, rows, top, stride,
                [&](auto s, auto d) { std::memcpy(d, s, info.rowBytes); });
        break;
    case 32:
        if (info.masks == ChannelMasks{0xFF0000, 0x00FF00, 0x0000FF, info.masks.alpha}) {
            EachRow(info, src, rows, top, stride, [&](auto s, auto d) { Row32Bgrx(s, d, w); });
        } else {
            const Scales scales(info.masks);
            EachRow(info, src, rows, top, stride, [&](auto s, auto d) { Row32(s, d, w, scales); });
        }
        break;
    default:
        throw DibError("unsupported bit depth " + std::to_string(info.bitCount));
    }

    // Padding bytes get a defined value; missing rows are black.
    const std::size_t used = static_cast<std::size_t>(w) * 3;
    const std::size_t padded = raster::RowBytes(w);
    for (int y = 0; y < info.height; ++y) {
        std::uint8_t* row = top + stride * y;
        const std::size_t r = info.topDown ? static_cast<std::size_t>(y) : height - 1 - y;
        if (r >= rows) {
            std::memset(row, 0, padded);
        } else if (info.bitCount != 24) {
            std::memset(row + used, 0, padded - used);
        }
    }
}

void DecodeRle(const DibInfo& info, const Palette& palette, std::span<const std::uint8_t> bits,
               raster::Bitmap& out) {
    const int w = info.width;
    const int h = info.height;
    std::uint8_t* top = out.ScanLine(0);
    const std::ptrdiff_t stride = out.Stride();
    for (int y = 0; y < h; ++y) std::memset(top + stride * y, 0, raster::RowBytes(w));

    const bool four = info.compression == kBiRle4;
    // Rows are counted from the bottom, as the stream runs.
    auto line = [&](int y) { return top + stride * (h - 1 - y); };
    std::size_t pos = 0;
    int x = 0;   // never beyond w: anything past the row end is dropped
    int y = 0;
    std::uint8_t* row = line(0);
    while (y < h && Has(bits, pos, 2)) {
        const unsigned count = bits[pos];
        const unsigned value = bits[pos + 1];
        pos += 2;
        if (count > 0) {   // a run of one index (RLE4: two alternating)
            const int n = std::min(static_cast<int>(count), w - x);
            std::uint8_t* dst = row + 3 * x;
            if (four) {
                const Bgr& hi = palette.colors[value >> 4];
                const Bgr& lo = palette.colors[value & 15];
                for (int i = 0; i < n; ++i, dst += 3) Put(dst, (i & 1) ? lo : hi);
            } else {
                for (int i = 0; i < n; ++i, dst += 3) Put(dst, palette.colors[value]);
            }
            x += n;
            continue;
        }
        switch (value) {
        case 0:   // end of line
            x = 0;
            if (++y < h) row = line(y);
            break;
        case 1:   // end of bitmap
            return;
        case 2:   // delta: move right and up
            if (!Has(bits, pos, 2)) return;
            x = std::min(x + bits[pos], w);
            y += bits[pos + 1];
            pos += 2;
            if (y < h) row = line(y);
            break;
        default: {   // absolute run of `value` indexes, padded to a 16-bit word
            const std::size_t bytes = four ? (value + 1) / 2 : value;
            const std::size_t present = std::min(bytes, bits.size() - pos);
            const std::size_t pixels = four ? std::min<std::size_t>(value, present * 2) : present;
            const int n = static_cast<int>(std::min<std::size_t>(pixels, static_cast<std::size_t>(w - x)));
            const std::uint8_t* src = bits.data() + pos;
            std::uint8_t* dst = row + 3 * x;
            for (int i = 0; i < n; ++i, dst += 3) {
                const unsigned index = four ? (src[i / 2] >> ((i & 1) ? 0 : 4)) & 15 : src[i];
                Put(dst, palette.colors[index]);
            }
            x += n;
            if (present < bytes) return;
            pos += bytes + (bytes & 1);
            break;
        }
        }
    }
}

}  // namespace vantoria::dib
