#pragma once
// Helpers for tests that check pixels: pictures whose pixels encode their own
// coordinates, a reader for the 24-bit files the bitmap writes, and a
// temporary folder.

#include "platform/raster/Bitmap.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace vantoria::raster::test {

// Pixel (x, y) holds B = x, G = y (low bytes), R = the high nibbles of both:
// coordinates up to 4095 survive any unscaled copy.
inline Bitmap CoordPicture(int w, int h) {
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* p = b.ScanLine(y);
        for (int x = 0; x < w; ++x, p += 3) {
            p[0] = static_cast<std::uint8_t>(x);
            p[1] = static_cast<std::uint8_t>(y);
            p[2] = static_cast<std::uint8_t>(((x >> 8) & 15) | ((y >> 8) & 15) << 4);
        }
    }
    return b;
}

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
    friend std::ostream& operator<<(std::ostream& o, const Point& p) {
        return o << "(" << p.x << ", " << p.y << ")";
    }
};

// The source coordinates encoded in pixel (x, y).
inline Point CoordAt(const Bitmap& b, int x, int y) {
    const std::uint8_t* p = b.ScanLine(y) + 3 * x;
    return {p[0] | (p[2] & 15) << 8, p[1] | (p[2] >> 4) << 8};
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::uint32_t Le32(const std::string& s, std::size_t at) {
    return std::uint32_t(std::uint8_t(s[at])) | std::uint32_t(std::uint8_t(s[at + 1])) << 8 |
           std::uint32_t(std::uint8_t(s[at + 2])) << 16 | std::uint32_t(std::uint8_t(s[at + 3])) << 24;
}

// Reads back a file as the bitmap writes it (54-byte header, bottom-up
// 24-bit rows); fails the test on anything else.
inline Bitmap ReadBmp(const std::string& path) {
    const std::string s = ReadFile(path);
    EXPECT_GE(s.size(), 54u) << path;
    if (s.size() < 54 || s.substr(0, 2) != "BM") return {};
    const int w = static_cast<int>(Le32(s, 18));
    const int h = static_cast<int>(Le32(s, 22));
    const std::size_t row = RowBytes(w);
    EXPECT_EQ(s.size(), 54 + row * h) << path;
    if (s.size() != 54 + row * h) return {};
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y) {
        std::memcpy(b.ScanLine(y), s.data() + 54 + row * (h - 1 - y), std::size_t(w) * 3);
    }
    return b;
}

inline bool SamePixels(const Bitmap& a, const Bitmap& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    for (int y = 0; y < a.Height(); ++y) {
        if (std::memcmp(a.ScanLine(y), b.ScanLine(y), std::size_t(a.Width()) * 3) != 0) return false;
    }
    return true;
}

// A fresh folder, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vantoria-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

}  // namespace vantoria::raster::test
