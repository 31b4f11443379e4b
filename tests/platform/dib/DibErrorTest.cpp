// Damaged and hostile input: every refusal is a DibError that says why, and
// nothing crashes, hangs or allocates beyond the limits.

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/dib/Dib.h"
#include "platform/dib/DibTestWriter.h"

using namespace dibtest;
using namespace vantoria::dib;

namespace {

template <typename Decode>
std::string ErrorOf(Decode decode) {
    try {
        decode();
    } catch (const DibError& e) {
        return e.what();
    }
    return "(no error)";
}

std::string ErrorOf(const Dib& d) { return ErrorOf([&] { DecodeDib(Info(d), d.pixels); }); }
std::string FileErrorOf(const Bytes& f) { return ErrorOf([&] { DecodeBmp(f); }); }

Dib Plain8() { return {.width = 3, .height = 2, .bits = 8, .palette = {0xFF0000, 0x00FF00}, .pixels = Bytes(8, 1)}; }

// Both entry points must end normally or with a DibError.
void DecodeAnything(const Bytes& data) {
    ErrorOf([&] { DecodeBmp(data); });
    const std::size_t split = data.empty() ? 0 : data[0] * 4u % data.size();
    ErrorOf([&] { DecodeDib(Bytes(data.begin(), data.begin() + split), Bytes(data.begin() + split, data.end())); });
}

}  // namespace

TEST(DibError, RefusedHeadersSayWhy) {
    const std::pair<void (*)(Dib&), std::string> cases[] = {
        {[](Dib& d) { d.width = 0; }, "empty picture: 0 x 2"},
        {[](Dib& d) { d.height = 0; }, "empty picture: 3 x 0"},
        {[](Dib& d) { d.width = -5; }, "bad picture width -5"},
        {[](Dib& d) { d.width = d.height = 70000; }, "picture too large: 70000 x 70000"},
        {[](Dib& d) { d.height = INT_MIN; }, "picture too large: 3 x 2147483648"},
        {[](Dib& d) { d.width = d.height = 32768; }, "picture too large: 32768 x 32768"},
        {[](Dib& d) { d.bits = 3; }, "unsupported bit depth 3"},
        {[](Dib& d) { d.compression = 4; }, "unsupported compression 4 (JPEG)"},
        {[](Dib& d) { d.compression = 5; }, "unsupported compression 5 (PNG)"},
        {[](Dib& d) { d.compression = 0x7FFFFFFF; }, "unsupported compression 2147483647"},
        {[](Dib& d) { d.headerSize = 64, d.compression = 3; }, "unsupported compression 3 (OS/2 Huffman)"},
        {[](Dib& d) { d.headerSize = 13; }, "unsupported bitmap header size 13"},
        {[](Dib& d) { d.headerSize = 0xFFFFFFFF; }, "unsupported bitmap header size 4294967295"},
        {[](Dib& d) { d.compression = 3, d.masks = {1, 2, 4}; }, "bit-field compression needs 16 or 32 bits per pixel, not 8"},
        {[](Dib& d) { d.compression = 3, d.bits = 16, d.masks = {0x505, 0, 0}; }, "bit-field mask 0x505 is not contiguous"},
        {[](Dib& d) { d.compression = 3, d.bits = 32; }, "truncated bit-field masks"},
        {[](Dib& d) { d.compression = 1, d.height = -2; }, "a top-down bitmap cannot be RLE8-compressed"},
        {[](Dib& d) { d.compression = 2; }, "RLE4 compression needs 4 bits per pixel, not 8"},
        {[](Dib& d) { d.palette.clear(); }, "missing colour table"},
        {[](Dib& d) { d.pixels.resize(3); }, "truncated bitmap: 3 bytes of pixel data, 8 needed"},
        {[](Dib& d) { d.compression = 1, d.pixels.resize(1); }, "truncated bitmap: no pixel data"},
    };
    for (const auto& [change, message] : cases) {
        Dib d = Plain8();
        change(d);
        EXPECT_EQ(ErrorOf(d), message);
    }
    const Bytes info = Info(Plain8());
    EXPECT_EQ(ErrorOf([&] { DecodeDib(Bytes(info.begin(), info.begin() + 39), Bytes(8)); }), "truncated bitmap header");
}

TEST(DibError, LimitsCanBeLoweredButNotRaised) {
    Dib d = Plain8();
    EXPECT_THROW(DecodeDib(Info(d), d.pixels, {.maxSide = 2}), DibError);
    EXPECT_THROW(DecodeDib(Info(d), d.pixels, {.maxPixels = 5}), DibError);
    d.width = d.height = 40000;
    EXPECT_THROW(ReadDibHeader(Info(d), {.maxSide = 1 << 20, .maxPixels = 1LL << 40}), DibError);
}

TEST(DibError, HostileFileOffsetsAndSignatures) {
    const Dib d = Plain8();   // a 70-byte file
    EXPECT_EQ(FileErrorOf(File(d, 71)), "pixel data offset 71 lies beyond the end of the file (70 bytes)");
    EXPECT_EQ(FileErrorOf(File(d, 70)), "truncated bitmap: no pixel data");
    // A huge colour table for a true-colour picture, and an offset that
    // sends the decoder looking behind it.
    const Dib t{.width = 1, .height = 1, .bits = 24, .colorsUsed = 0xFFFFFFFF, .pixels = Bytes(4)};
    EXPECT_EQ(FileErrorOf(File(t, 0)), "truncated bitmap: no pixel data");
    EXPECT_EQ(FileErrorOf(File(t)), "(no error)");
    for (std::string text : {"", "BA", "\x89PNG\r\n\x1a\n"}) EXPECT_EQ(FileErrorOf(Bytes(text.begin(), text.end())), "not a Windows bitmap");
    EXPECT_EQ(FileErrorOf(Bytes(14, 'B')), "not a Windows bitmap");
    EXPECT_EQ(FileErrorOf({'B', 'M', 0, 0}), "truncated bitmap header");
}

TEST(DibError, EveryTruncationAndByteChangeOfValidFilesIsSafe) {
    Dib rle = Plain8();
    rle.compression = 1;
    rle.pixels = {2, 1, 0, 3, 1, 0, 1, 0, 0, 2, 1, 1, 0, 1};
    const Bytes files[] = {
        File(Plain8()), File(rle),
        File({.headerSize = 124, .width = 3, .height = -2, .bits = 32, .compression = 3,
              .masks = {0xFF0000, 0xFF00, 0xFF}, .pixels = Bytes(24, 7)}),
        File({.headerSize = 12, .width = 9, .height = 2, .bits = 4, .palette = {1, 2, 3}, .pixels = Bytes(16, 0x12)}),
    };
    for (const Bytes& file : files) {
        for (std::size_t n = 0; n <= file.size(); ++n) DecodeAnything(Bytes(file.begin(), file.begin() + n));
        for (std::size_t i = 0; i < file.size(); ++i) {
            for (std::uint8_t v : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
                Bytes changed = file;
                changed[i] = v;
                DecodeAnything(changed);
            }
        }
    }
}

// Every input that ever broke the decoder stays in this folder. Without the
// sanitizers this only shows that none crashes outright; a read past a block
// shows in the sanitizer build, where scripts/test.sh runs this test and the
// fuzz target replays the same folder.
TEST(DibError, CrashersStaySafe) {
    const auto folder = std::filesystem::path(std::getenv("VANTORIA_TEST_DATA")) / "dib/crashers";
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        DecodeAnything(Bytes(std::istreambuf_iterator<char>(in), {}));
        ++count;
    }
    EXPECT_GT(count, 0);
}
