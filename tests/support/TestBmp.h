#pragma once
// Writes a 24-bit bottom-up bitmap file byte by byte, independently of the
// program's own writer, for tests that feed the programs a picture.

#include <cstdint>
#include <functional>
#include <string>

namespace vantoria::test {

struct Rgb {
    int r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// How the rows are stored: 24 or 32 bits a pixel, top-down or bottom-up,
// and only the first `keptRows` stored rows present (all when negative), as
// another program, or a cut-short file, might have them.
struct BmpLayout {
    int bits = 24;
    bool topDown = false;
    int keptRows = -1;
};

void WriteBmp(const std::string& path, int width, int height, const std::function<Rgb(int x, int y)>& pixel,
              const BmpLayout& layout);

inline void WriteBmp24(const std::string& path, int width, int height, const std::function<Rgb(int x, int y)>& pixel) {
    WriteBmp(path, width, height, pixel, BmpLayout{});
}

// Width and height from a bitmap file's header; {-1, -1} when there is none.
struct BmpSize {
    int width = -1, height = -1;
    friend bool operator==(const BmpSize&, const BmpSize&) = default;
};
BmpSize ReadBmpSize(const std::string& path);

}  // namespace vantoria::test
