// Decoders whose libraries need more memory than the picture they make, or
// time that grows faster than the file: held to the budget the host gives
// (VANTORIA_MEMORY_LIMIT here), refused before the work starts, quickly.
// The hostile files are made here, small.

#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "PluginHarness.h"
#include "imaging/InChild.h"

namespace vantoria::spi::test {
namespace {

class MemoryLimit {
public:
    explicit MemoryLimit(std::uint64_t bytes) { ::setenv("VANTORIA_MEMORY_LIMIT", std::to_string(bytes).c_str(), 1); }
    ~MemoryLimit() { ::unsetenv("VANTORIA_MEMORY_LIMIT"); }
};

void PutBe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void PutChunk(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& data) {
    PutBe32(out, static_cast<std::uint32_t>(data.size()));
    std::vector<std::uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    PutBe32(out, static_cast<std::uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
}

// An MNG of a `canvas` x `canvas` frame showing one stored object (DEFI 1),
// a black one-bit PNG of `side` x `side` pixels.
std::vector<std::uint8_t> MngWithObject(std::uint32_t canvas, std::uint32_t side) {
    std::vector<std::uint8_t> out = {0x8A, 'M', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> mhdr;
    for (std::uint32_t v : {canvas, canvas, 1u, 0u, 0u, 0u, 0u}) PutBe32(mhdr, v);
    PutChunk(out, "MHDR", mhdr);
    PutChunk(out, "DEFI", {0, 1});
    std::vector<std::uint8_t> ihdr;
    PutBe32(ihdr, side), PutBe32(ihdr, side);
    ihdr.insert(ihdr.end(), {1, 0, 0, 0, 0});  // one-bit grey
    PutChunk(out, "IHDR", ihdr);
    const std::vector<std::uint8_t> rows(static_cast<std::size_t>(side) * (1 + (side + 7) / 8), 0);
    uLongf packed = compressBound(static_cast<uLong>(rows.size()));
    std::vector<std::uint8_t> idat(packed);
    EXPECT_EQ(compress2(idat.data(), &packed, rows.data(), static_cast<uLong>(rows.size()), 9), Z_OK);
    idat.resize(packed);
    PutChunk(out, "IDAT", idat);
    PutChunk(out, "IEND", {});
    PutChunk(out, "MEND", {});
    return out;
}

// 5 kB that stored a 16000 x 16000 object behind a 16 x 16 canvas took
// gigabytes; and libmng's many small blocks are counted together.
TEST(MemoryBudget, MngObjectsAndTotalAllocationAreBounded) {
    const Plugin plugin("mng.spi");
    const std::vector<std::uint8_t> bomb = MngWithObject(16, 16000);
    EXPECT_LT(bomb.size(), 100000u);
    const std::string answer = imagingtest::InChild([&] {
        const Picture picture = DecodeMemory(plugin, bomb);
        return std::to_string(picture.infoCode) + " " + std::to_string(picture.code);
    }, 20);
    EXPECT_EQ(answer, "0 4");

    const std::vector<std::uint8_t> fits = MngWithObject(64, 64);
    EXPECT_EQ(DecodeMemory(plugin, fits).code, SUSIE_OK);
    // Room for the 12 kB of rows, not for libmng's 16 kB copy of the object.
    const MemoryLimit limit(20000);
    const Picture capped = DecodeMemory(plugin, fits);
    EXPECT_EQ(capped.infoCode, SUSIE_OK);
    EXPECT_EQ(capped.code, SUSIE_ERR_NO_MEMORY);
}

bool Shell(const TempDir& dir, const std::string& script) {
    ::setenv("D", dir.Path().c_str(), 1);
    return std::system(("(" + script + ") >/dev/null 2>&1").c_str()) == 0;
}

// Room for a 64 x 48 picture's rows (9 kB) is not room for libheif's or
// libjxl's planes, nor for WebP alpha's ARGB and BGRA copies; an opaque
// lossy WebP, decoded a band at a time straight into the rows, still fits.
TEST(MemoryBudget, LibraryDecodersNeedRoomForTheirWorkingMemory) {
    TempDir dir;
    ASSERT_TRUE(Shell(dir, "convert -size 64x48 -seed 2 plasma: PNG24:$D/p.png && "
                           "convert -size 64x48 gradient:red-blue \\( -size 64x48 gradient:white-black \\) -alpha off "
                           "-compose copy_opacity -composite PNG32:$D/a.png && "
                           "heif-enc -A -q 50 $D/p.png -o $D/p.avif && cjxl -d 1 $D/p.png $D/p.jxl && "
                           "cwebp -quiet -lossless $D/a.png -o $D/a.webp && cwebp -quiet -q 80 $D/p.png -o $D/p.webp"));
    const std::pair<const char*, const char*> refused[] = {
        {"heif.spi", "p.avif"}, {"jxl.spi", "p.jxl"}, {"webp.spi", "a.webp"}};
    for (const auto& [name, file] : refused) {
        SCOPED_TRACE(file);
        const Plugin plugin(name);
        ASSERT_EQ(Decode(plugin, dir / file).code, SUSIE_OK);
        const MemoryLimit limit(12000);
        const Picture capped = Decode(plugin, dir / file);
        EXPECT_EQ(capped.infoCode, SUSIE_OK);
        EXPECT_EQ(capped.code, SUSIE_ERR_NO_MEMORY);
    }
    const MemoryLimit limit(12000);
    EXPECT_EQ(Decode(Plugin("webp.spi"), dir / "p.webp").code, SUSIE_OK);
}

// An XPM of `width` x `height` declaring `colours` colours of three
// characters each; every pixel shows the first.
std::string Xpm(int width, int height, int colours) {
    std::ostringstream out;
    out << "/* XPM */\nstatic char *x[] = {\n\"" << width << ' ' << height << ' ' << colours << " 3\",\n";
    auto code = [](int i) {
        static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        std::string c(3, ' ');
        for (int k = 0; k < 3; ++k, i /= 62) c[k] = kLetters[i % 62];
        return c;
    };
    char hex[8];
    for (int i = 0; i < colours; ++i) {
        std::snprintf(hex, sizeof hex, "%06x", i & 0xFFFFFF);
        out << '"' << code(i) << " c #" << hex << "\",\n";
    }
    std::string row;
    for (int x = 0; x < width; ++x) row += code(0);
    for (int y = 0; y < height; ++y) out << '"' << row << "\"" << (y + 1 < height ? "," : "") << '\n';
    out << "};\n";
    return out.str();
}

// libXpm's time grows with the square of the colour count (200 000 colours
// took minutes): counts a picture cannot show, or beyond any real one, are
// refused before it sees the file.
TEST(MemoryBudget, XpmColourCountsAreBounded) {
    const Plugin plugin("xpm.spi");
    auto decode = [&](const std::string& text) {
        return DecodeMemory(plugin, std::vector<std::uint8_t>(text.begin(), text.end()));
    };
    EXPECT_EQ(decode(Xpm(16, 16, 200)).code, SUSIE_OK);
    const std::string answer = imagingtest::InChild([&] {
        return std::to_string(decode(Xpm(64, 64, 200000)).code) + " " + std::to_string(decode(Xpm(64, 64, 4097)).code) +
               " " + std::to_string(decode(Xpm(200, 200, 20000)).code);
    }, 20);
    EXPECT_EQ(answer, "3 3 4");
}

}  // namespace
}  // namespace vantoria::spi::test
