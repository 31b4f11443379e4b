#include "support/TestBmp.h"

#include "support/Child.h"

#include <cstring>
#include <fstream>
#include <vector>

namespace vantoria::test {

void WriteBmp(const std::string& path, int width, int height, const std::function<Rgb(int x, int y)>& pixel,
              const BmpLayout& layout) {
    const std::size_t row = (static_cast<std::size_t>(width) * layout.bits + 31) / 32 * 4;
    std::vector<unsigned char> f(54 + row * static_cast<std::size_t>(height), 0);
    auto put32 = [&](int at, std::uint32_t v) { std::memcpy(&f[at], &v, 4); };
    f[0] = 'B';
    f[1] = 'M';
    put32(2, static_cast<std::uint32_t>(f.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(width));
    put32(22, static_cast<std::uint32_t>(layout.topDown ? -height : height));
    f[26] = 1;
    f[28] = static_cast<unsigned char>(layout.bits);
    for (int stored = 0; stored < height; ++stored) {
        const int y = layout.topDown ? stored : height - 1 - stored;
        unsigned char* p = &f[54 + static_cast<std::size_t>(stored) * row];
        for (int x = 0; x < width; ++x, p += layout.bits / 8) {
            const Rgb c = pixel(x, y);
            p[0] = static_cast<unsigned char>(c.b);
            p[1] = static_cast<unsigned char>(c.g);
            p[2] = static_cast<unsigned char>(c.r);
        }
    }
    if (layout.keptRows >= 0) f.resize(54 + row * static_cast<std::size_t>(layout.keptRows));
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(f.data()), static_cast<std::streamsize>(f.size()));
}

BmpSize ReadBmpSize(const std::string& path) {
    const std::string f = ReadFile(path);
    if (f.size() < 54 || f[0] != 'B' || f[1] != 'M') return {};
    std::int32_t w = 0, h = 0;
    std::memcpy(&w, f.data() + 18, 4);
    std::memcpy(&h, f.data() + 22, 4);
    return {w, h};
}

}  // namespace vantoria::test
