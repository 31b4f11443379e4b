#pragma once
// Builds device-independent bitmaps and bitmap files field by field, so that
// each decoder test states exactly what it feeds in.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform/raster/Bitmap.h"

namespace dibtest {

using Bytes = std::vector<std::uint8_t>;

inline void Put(Bytes& b, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back((v >> (8 * i)) & 0xFF);
}

struct Dib {
    std::uint32_t headerSize = 40;
    std::int32_t width = 1;
    std::int32_t height = 1;   // negative: top-down
    std::uint16_t bits = 24;
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
    std::vector<std::uint32_t> palette{};   // 0xRRGGBB
    std::vector<std::uint32_t> masks{};     // after a 40-byte header, else inside the header
    Bytes pixels{};
};

// Header, masks and colour table.
inline Bytes Info(const Dib& d) {
    Bytes b;
    const bool core = d.headerSize == 12;
    Put(b, d.headerSize, 4);
    Put(b, d.width, core ? 2 : 4);
    Put(b, d.height, core ? 2 : 4);
    Put(b, 1, 2);
    Put(b, d.bits, 2);
    if (!core) {
        for (std::uint32_t v : {d.compression, std::uint32_t(d.pixels.size()), 2835u, 2835u, d.colorsUsed, 0u}) {
            Put(b, v, 4);
        }
        if (d.headerSize > 40) for (std::uint32_t m : d.masks) Put(b, m, 4);
        b.resize(std::min<std::uint32_t>(d.headerSize, 124));   // odd sizes: header fields only
        if (d.headerSize == 40) for (std::uint32_t m : d.masks) Put(b, m, 4);
    }
    for (std::uint32_t c : d.palette) Put(b, c, core ? 3 : 4);
    return b;
}

// A whole file; bfOffBits defaults to the end of the colour table.
inline Bytes File(const Dib& d, std::optional<std::uint32_t> offBits = {}) {
    const Bytes info = Info(d);
    Bytes f = {'B', 'M'};
    Put(f, 14 + info.size() + d.pixels.size(), 4);
    Put(f, 0, 4);
    Put(f, offBits.value_or(14 + info.size()), 4);
    f.insert(f.end(), info.begin(), info.end());
    f.insert(f.end(), d.pixels.begin(), d.pixels.end());
    return f;
}

// Stored rows of `bits`-bit values (indexes packed from the high bits, wider
// values little-endian), each row padded to 4 bytes.
inline Bytes Rows(int width, int rows, int bits, const std::function<std::uint32_t(int x, int row)>& value) {
    const std::size_t stride = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
    Bytes b(stride * rows, 0);
    for (int r = 0; r < rows; ++r) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = value(x, r);
            std::uint8_t* at = b.data() + stride * r + x * bits / 8;
            if (bits < 8) *at |= static_cast<std::uint8_t>(v << (8 - bits - x * bits % 8));
            for (int k = 0; k < bits / 8; ++k) at[k] = (v >> (8 * k)) & 0xFF;
        }
    }
    return b;
}

// The pixel at (x, y) of a decoded bitmap as 0xRRGGBB.
inline std::uint32_t Pixel(const vantoria::raster::Bitmap& b, int x, int y) {
    const std::uint8_t* p = b.ScanLine(y) + 3 * x;
    return (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
}

}  // namespace dibtest
