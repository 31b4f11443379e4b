#include "platform/dib/PixelRows.h"

#include <algorithm>
#include <cstring>
#include <string>

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

template <int Bits>
void IndexedRow(const std::uint8_t* src, std::uint8_t* dst, int width, const Palette& palette) {
    constexpr int kPerByte = 8 / Bits;
    constexpr unsigned kMask = (1u << Bits) - 1;
    int x = 0;
    for (; x + kPerByte <= width; x += kPerByte, ++src) {
        const unsigned byte = *src;
        for (int k = 0; k < kPerByte; ++k, dst += 3) {
            Put(dst, palette.colors[(byte >> (8 - Bits * (k + 1))) & kMask]);
        }
    }
    for (int k = 0; x < width; ++k, ++x, dst += 3) {   // the last, partly used byte
        Put(dst, palette.colors[(*src >> (8 - Bits * (k + 1))) & kMask]);
    }
}

struct Scales {
    ChannelScale red, green, blue;
    explicit Scales(const ChannelMasks& m) : red(m.red), green(m.green), blue(m.blue) {}
};

void Row16(const std::uint8_t* src, std::uint8_t* dst, int width, const Scales& s) {
    for (int x = 0; x < width; ++x, src += 2, dst += 3) {
        const std::uint32_t px = src[0] | (std::uint32_t{src[1]} << 8);
        dst[0] = s.blue(px);
        dst[1] = s.green(px);
        dst[2] = s.red(px);
    }
}

void Row32(const std::uint8_t* src, std::uint8_t* dst, int width, const Scales& s) {
    for (int x = 0; x < width; ++x, src += 4, dst += 3) {
        std::uint32_t px;
        std::memcpy(&px, src, 4);   // little-endian host
        dst[0] = s.blue(px);
        dst[1] = s.green(px);
        dst[2] = s.red(px);
    }
}

// Blue, green, red, unused: the usual 32-bit layout, a plain byte copy.
void Row32Bgrx(const std::uint8_t* src, std::uint8_t* dst, int width) {
    for (int x = 0; x < width; ++x, src += 4, dst += 3) {
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
    }
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
    switch (info.bitCount) {
    case 1:
        EachRow(info, src, rows, top, stride, [&](auto s, auto d) { IndexedRow<1>(s, d, w, palette); });
        break;
    case 2:
        EachRow(info, src, rows, top, stride, [&](auto s, auto d) { IndexedRow<2>(s, d, w, palette); });
        break;
    case 4:
        EachRow(info, src, rows, top, stride, [&](auto s, auto d) { IndexedRow<4>(s, d, w, palette); });
        break;
    case 8:
        EachRow(info, src, rows, top, stride, [&](auto s, auto d) { IndexedRow<8>(s, d, w, palette); });
        break;
    case 16: {
        const Scales scales(info.masks);
        EachRow(info, src, rows, top, stride, [&](auto s, auto d) { Row16(s, d, w, scales); });
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
