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

void WriteBmp24(const std::string& path, int width, int height, const std::function<Rgb(int x, int y)>& pixel);

// Width and height from a bitmap file's header; {-1, -1} when there is none.
struct BmpSize {
    int width = -1, height = -1;
    friend bool operator==(const BmpSize&, const BmpSize&) = default;
};
BmpSize ReadBmpSize(const std::string& path);

}  // namespace vantoria::test
