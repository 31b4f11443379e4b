#pragma once
// Test helpers: pictures whose pixels encode their own coordinates, a reader
// for the files Bitmap writes, and a temporary folder.

#include "platform/raster/Bitmap.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace vantoria::raster::test {

// B = x, G = y (low bytes), R = their high nibbles: coordinates below 4096.
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

inline Point CoordAt(const Bitmap& b, int x, int y) {
    const std::uint8_t* p = b.ScanLine(y) + 3 * x;
    return {p[0] | (p[2] & 15) << 8, p[1] | (p[2] >> 4) << 8};
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::uint32_t Le32(const std::string& s, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | std::uint8_t(s[at + i]);
    return v;
}

// Reads a file as Bitmap writes it: 54-byte header, bottom-up 24-bit rows.
inline Bitmap ReadBmp(const std::string& path) {
    const std::string s = ReadFile(path);
    if (s.size() < 54 || s.substr(0, 2) != "BM") {
        ADD_FAILURE() << "not a bitmap file: " << path;
        return {};
    }
    const int w = static_cast<int>(Le32(s, 18));
    const int h = static_cast<int>(Le32(s, 22));
    const std::size_t row = RowBytes(w);
    if (s.size() != 54 + row * h) {
        ADD_FAILURE() << "wrong size: " << path;
        return {};
    }
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
    int Entries() const {
        int n = 0;
        for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(path_)) ++n;
        return n;
    }

private:
    std::string path_;
};

}  // namespace vantoria::raster::test
