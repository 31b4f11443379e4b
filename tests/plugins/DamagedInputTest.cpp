// Cut-off, corrupted and hostile files: every plug-in answers with a result
// code and hands nothing over, never crashes. (The harness checks that a
// successful answer still comes with consistent blocks.)

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <set>

#include "PluginHarness.h"
#include "RetroWriters.h"
#include "imaging/InChild.h"

namespace vantoria::spi::test {
namespace {

struct Kind {
    const char* plugin;
    const char* sample;
    const char* extension;
    // Bitmap files cut inside the pixels are shown as far as they go, by
    // design of the bitmap decoder; only a cut inside the headers fails.
    bool partialPixelsFail = true;
};

void PrintTo(const Kind& k, std::ostream* os) { *os << k.plugin; }

const Kind kKinds[] = {
    {"png.spi", "-size 64x48 -seed 2 plasma: PNG24:", ".png"},
    {"png.spi", "-size 64x48 -seed 2 plasma: -interlace PNG PNG32:", ".png"},
    {"jpeg.spi", "-size 64x48 -seed 2 plasma: JPEG:", ".jpg"},
    {"jpeg.spi", "-size 64x48 -seed 2 plasma: -interlace JPEG JPEG:", ".jpg"},
    {"gif.spi", "-size 64x48 -seed 2 plasma: GIF:", ".gif"},
    {"gif.spi", "-size 64x48 -seed 2 plasma: -interlace GIF GIF:", ".gif"},
    {"dib.spi", "-size 64x48 -seed 2 plasma: -colors 200 -compress RLE BMP3:", ".dib", false},
    {"dib.spi", "-size 64x48 -seed 2 plasma: BMP:", ".dib", false},
};

const std::set<std::int32_t> kCodes = {SUSIE_OK, SUSIE_ERR_UNKNOWN_FORMAT, SUSIE_ERR_BROKEN_DATA,
                                       SUSIE_ERR_NO_MEMORY};

class Damaged : public testing::TestWithParam<Kind> {
protected:
    void SetUp() override {
        const auto file = dir_ / (std::string("sample") + GetParam().extension);
        ASSERT_TRUE(Convert(std::string(GetParam().sample) + "'" + file.string() + "'"));
        bytes_ = ReadFile(file);
        ASSERT_GT(bytes_.size(), 200u);
        ASSERT_EQ(DecodeMemory(plugin_, bytes_).code, SUSIE_OK);
    }
    Picture DecodeBytes(const std::vector<std::uint8_t>& bytes) {
        const auto file = dir_ / "damaged.bin";
        WriteFile(file, bytes);
        const Picture fromFile = Decode(plugin_, file);
        const Picture fromMemory = DecodeMemory(plugin_, bytes);
        EXPECT_EQ(fromFile.code, fromMemory.code);
        return fromFile;
    }
    TempDir dir_;
    Plugin plugin_{GetParam().plugin};
    std::vector<std::uint8_t> bytes_;
};

TEST_P(Damaged, CutOffFilesFail) {
    const std::size_t n = bytes_.size();
    for (std::size_t length : {std::size_t{0}, std::size_t{3}, std::size_t{10}, std::size_t{30}, n / 4, n / 2, n * 3 / 4}) {
        const Picture picture = DecodeBytes({bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(length)});
        if (!GetParam().partialPixelsFail && length > 60 && picture.code == SUSIE_OK) continue;
        EXPECT_TRUE(picture.code == SUSIE_ERR_BROKEN_DATA || picture.code == SUSIE_ERR_UNKNOWN_FORMAT)
            << "cut at " << length << " of " << n << ": " << picture.code;
    }
}

TEST_P(Damaged, CorruptedBytesNeverCrash) {
    std::mt19937 random(12345);
    for (int round = 0; round < 300; ++round) {
        std::vector<std::uint8_t> bytes = bytes_;
        const int flips = 1 + round % 4;
        for (int i = 0; i < flips; ++i) {
            // Headers matter most: half of the damage lands in the first 64 bytes.
            const std::size_t at = (round % 2 == 0) ? random() % 64 : random() % bytes.size();
            bytes[at] ^= static_cast<std::uint8_t>(1 + random() % 255);
        }
        const Picture picture = DecodeMemory(plugin_, bytes);
        EXPECT_TRUE(kCodes.count(picture.code)) << "round " << round << ": " << picture.code;
        EXPECT_TRUE(kCodes.count(picture.infoCode)) << "round " << round << ": " << picture.infoCode;
    }
}

INSTANTIATE_TEST_SUITE_P(Shipped, Damaged, testing::ValuesIn(kKinds), [](const auto& info) {
    return std::filesystem::path(info.param.plugin).stem().string() + std::to_string(info.index);
});

// Headers that claim pictures too large to hold are refused before any block
// is made, as out of memory: a 60000 x 60000 JPEG, a 65535 x 65535 GIF.
TEST(Hostile, HugeClaimedSizesAreRefused) {
    TempDir dir;
    const auto jpeg = dir / "huge.jpg", gif = dir / "huge.gif";
    ASSERT_TRUE(Convert("-size 8x8 xc:red JPEG:'" + jpeg.string() + "'"));
    ASSERT_TRUE(Convert("-size 8x8 xc:red GIF:'" + gif.string() + "'"));
    std::vector<std::uint8_t> jpegBytes = ReadFile(jpeg), gifBytes = ReadFile(gif);
    for (std::size_t i = 2; i + 8 < jpegBytes.size(); ++i) {
        if (jpegBytes[i] == 0xFF && jpegBytes[i + 1] == 0xC0) {  // SOF0: height and width at +5
            jpegBytes[i + 5] = jpegBytes[i + 7] = 0xEA, jpegBytes[i + 6] = jpegBytes[i + 8] = 0x60;
            break;
        }
    }
    gifBytes[6] = gifBytes[7] = gifBytes[8] = gifBytes[9] = 0xFF;  // logical screen
    for (const Picture& huge : {DecodeMemory(Plugin("jpeg.spi"), jpegBytes), DecodeMemory(Plugin("gif.spi"), gifBytes)}) {
        EXPECT_EQ(huge.infoCode, SUSIE_ERR_NO_MEMORY);
        EXPECT_EQ(huge.code, SUSIE_ERR_NO_MEMORY);
    }
}

// Where the entropy-coded data of the last scan starts: after its SOS segment.
std::size_t LastScanData(const std::vector<std::uint8_t>& jpeg) {
    std::size_t start = 0;
    for (std::size_t i = 2; i + 3 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) start = i + 2 + (jpeg[i + 2] << 8 | jpeg[i + 3]);
    return start;
}

// Scan data that stops early is refused whether or not an end-of-image marker
// closes the file (the rest would be grey); a file whose data is whole but
// lacks that marker is shown. Progressive files that end before their last
// scan are refused too.
TEST(JpegPlugin, MissingScanDataIsRefusedAMissingEndMarkerIsNot) {
    TempDir dir;
    const Plugin plugin("jpeg.spi");
    for (const char* interlace : {"", "-interlace JPEG "}) {
        SCOPED_TRACE(interlace);
        const auto file = dir / "sample.jpg";
        ASSERT_TRUE(Convert(std::string("-size 64x48 -seed 3 plasma: ") + interlace + "JPEG:'" + file.string() + "'"));
        const std::vector<std::uint8_t> whole = ReadFile(file);
        ASSERT_EQ(whole[whole.size() - 2], 0xFF);
        ASSERT_EQ(whole[whole.size() - 1], 0xD9);
        const Picture reference = DecodeMemory(plugin, whole);
        ASSERT_EQ(reference.code, SUSIE_OK);

        const std::vector<std::uint8_t> noEnd(whole.begin(), whole.end() - 2);
        const Picture unended = DecodeMemory(plugin, noEnd);
        EXPECT_EQ(unended.code, SUSIE_OK);
        EXPECT_EQ(unended.rgb, reference.rgb);

        const std::size_t scan = LastScanData(whole);
        ASSERT_GT(scan, 0u);
        std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(scan + (whole.size() - 2 - scan) / 2));
        cut.insert(cut.end(), {0xFF, 0xD9});
        EXPECT_EQ(DecodeMemory(plugin, cut).code, SUSIE_ERR_BROKEN_DATA);
        WriteFile(dir / "cut.jpg", cut);
        EXPECT_EQ(Decode(plugin, dir / "cut.jpg").code, SUSIE_ERR_BROKEN_DATA);
    }
    // The progressive sample, without its last scan and its end marker.
    std::vector<std::uint8_t> progressive = ReadFile(dir / "sample.jpg");
    std::size_t lastSos = LastScanData(progressive);
    while (!(progressive[lastSos] == 0xFF && progressive[lastSos + 1] == 0xDA)) --lastSos;
    progressive.resize(lastSos);
    EXPECT_EQ(DecodeMemory(plugin, progressive).code, SUSIE_ERR_BROKEN_DATA);
}

// Caps the calling (child) process's address space at what it maps now
// plus `extra` bytes.
void LimitAddressSpace(rlim_t extra) {
    std::ifstream statm("/proc/self/statm");
    rlim_t pages = 0;
    statm >> pages;
    const rlim_t room = pages * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + extra;
    const rlimit limit{room, room};
    ::setrlimit(RLIMIT_AS, &limit);
}

// A JPEG followed by a gigabyte of zeros (a sparse file: no disk used) is
// read only as far as the picture goes; reading it whole took a gigabyte.
TEST(JpegPlugin, ReadsNoFurtherThanThePicture) {
    TempDir dir;
    const auto file = dir / "padded.jpg";
    ASSERT_TRUE(Convert("-size 64x48 -seed 4 plasma: JPEG:'" + file.string() + "'"));
    const Plugin plugin("jpeg.spi");
    const Picture plain = Decode(plugin, file);
    ASSERT_EQ(plain.code, SUSIE_OK);
    ASSERT_EQ(::truncate(file.c_str(), off_t{1} << 30), 0);
    const std::string answer = imagingtest::InChild([&] {
        LimitAddressSpace(256u << 20);
        const Picture padded = Decode(plugin, file);
        return std::to_string(padded.code) + (padded.rgb == plain.rgb ? " same" : " different");
    });
    EXPECT_EQ(answer, "0 same");
}

// Files followed by a gigabyte of zeros (sparse: no disk used) decode as
// they did, within a quarter of that: a WebP file stops where its RIFF
// header says, a bitmap where its header's pixels end, and the other
// plug-ins read their files a piece at a time.
TEST(Hostile, PaddedFilesAreNotReadWhole) {
    TempDir dir;
    struct Padded {
        const char* plugin;
        std::string file;
        std::vector<std::uint8_t> bytes;  // else made by convert
        const char* convert;
    };
    const TestPicture picture = MakeTestPicture(37, 21, 16, 5);
    std::vector<Padded> files = {
        {"webp.spi", "padded.webp", {}, "-size 64x48 -seed 4 plasma: WEBP:"},
        {"pict.spi", "padded.pict", {}, "-size 41x23 -seed 3 plasma: PICT:"},
        {"dib.spi", "padded.dib", {}, "-size 41x23 -seed 3 plasma: -colors 20 -compress RLE BMP3:"},
        {"heif.spi", "padded.avif", {}, ""},
        {"mag.spi", "padded.mag", EncodeMag(picture), ""},
        {"pi.spi", "padded.pi", EncodePi(picture), ""},
        {"pic.spi", "padded.pic", EncodePic(MakeTestPicture(37, 21, 0, 5), 15), ""},
    };
    for (Padded& p : files) {
        SCOPED_TRACE(p.plugin);
        const auto file = dir / p.file;
        if (!p.bytes.empty())
            WriteFile(file, p.bytes);
        else if (*p.convert != '\0')
            ASSERT_TRUE(Convert(std::string(p.convert) + "'" + file.string() + "'"));
        else
            ASSERT_TRUE(Convert("-size 64x48 -seed 4 plasma: PNG24:'" + (dir / "a.png").string() + "'") &&
                        std::system(("heif-enc -A -q 50 '" + (dir / "a.png").string() + "' -o '" + file.string() +
                                     "' >/dev/null 2>&1")
                                        .c_str()) == 0);
        const Plugin plugin(p.plugin);
        const Picture plain = Decode(plugin, file);
        ASSERT_EQ(plain.code, SUSIE_OK);
        ASSERT_EQ(::truncate(file.c_str(), off_t{1} << 30), 0);
        const std::string answer = imagingtest::InChild([&] {
            LimitAddressSpace(256u << 20);
            const Picture padded = Decode(plugin, file);
            return std::to_string(padded.code) + (padded.rgb == plain.rgb ? " same" : " different");
        }, 30);
        EXPECT_EQ(answer, "0 same");
    }
}

// 35 bytes that claim a 16384 x 16384 screen around one pixel: the picture is
// the frame alone, not 768 MB of black. And no plug-in allocates a picture
// the machine has not the memory for (here capped to a few kilobytes).
TEST(Hostile, PicturesCostWhatTheyHold) {
    const std::vector<std::uint8_t> gif = {
        'G', 'I', 'F', '8', '9', 'a', 0x00, 0x40, 0x00, 0x40, 0x80, 0, 0,  // screen, 2-colour table
        0, 0, 0, 0x12, 0x34, 0x56,                                          // black, #123456
        0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0,                                    // a 1 x 1 frame at (0, 0)
        2, 2, 0x4C, 0x01, 0,                                                // clear, index 1, end
        0x3B};
    ASSERT_EQ(gif.size(), 35u);
    const Picture tiny = DecodeMemory(Plugin("gif.spi"), gif);
    ASSERT_EQ(tiny.code, SUSIE_OK);
    EXPECT_EQ(tiny.info.width, 1);
    EXPECT_EQ(tiny.info.height, 1);
    EXPECT_EQ(tiny.rgb, (std::vector<std::uint8_t>{0x12, 0x34, 0x56}));

    TempDir dir;
    const auto png = dir / "sample.png";
    ASSERT_TRUE(Convert("-size 64x48 xc:red PNG24:'" + png.string() + "'"));
    ::setenv("VANTORIA_MEMORY_LIMIT", "4000", 1);
    const Picture capped = Decode(Plugin("png.spi"), png);
    EXPECT_EQ(capped.infoCode, SUSIE_OK);
    EXPECT_EQ(capped.code, SUSIE_ERR_NO_MEMORY);
    // A progressive JPEG also holds its coefficients, about as much again:
    // room for the rows alone is not enough.
    const auto jpeg = dir / "progressive.jpg";
    ASSERT_TRUE(Convert("-size 64x48 -seed 5 plasma: -interlace JPEG JPEG:'" + jpeg.string() + "'"));
    ::setenv("VANTORIA_MEMORY_LIMIT", "12000", 1);  // the rows take 9216 bytes
    EXPECT_EQ(Decode(Plugin("jpeg.spi"), jpeg).code, SUSIE_ERR_NO_MEMORY);
    ::unsetenv("VANTORIA_MEMORY_LIMIT");
    EXPECT_EQ(Decode(Plugin("jpeg.spi"), jpeg).code, SUSIE_OK);

    // A bitmap file of a few hundred bytes (RLE8) that is 4000 x 4000 pixels,
    // 48 MB of rows: the DIB plug-in decodes straight into the rows it hands
    // over, so the picture is held once, not twice.
    std::vector<std::uint8_t> dib = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 14 + 40 + 8, 0, 0, 0,
                                     40, 0, 0, 0, 0xA0, 0x0F, 0, 0, 0xA0, 0x0F, 0, 0, 1, 0, 8, 0, 1, 0, 0, 0};
    dib.resize(14 + 40, 0);
    dib.insert(dib.end(), {0, 0, 0, 0, 255, 255, 255, 0});  // two colours
    for (int i = 0; i < 100; ++i) dib.insert(dib.end(), {200, 1, 0, 0});  // runs, then end of line
    dib.insert(dib.end(), {0, 1});  // end of picture
    const auto dibFile = dir / "claim.dib";
    WriteFile(dibFile, dib);
    const std::string answer = imagingtest::InChild([&] {
        const Plugin plugin("dib.spi");
        LimitAddressSpace(80u << 20);
        SusieHandle info = nullptr, bits = nullptr;
        const std::int32_t code = plugin.getPicture(dibFile.c_str(), 0, 0, &info, &bits, nullptr, 0);
        const std::size_t bytes = susie_block_size(bits);
        susie_block_free(info);
        susie_block_free(bits);
        return std::to_string(code) + " " + std::to_string(bytes);
    });
    EXPECT_EQ(answer, "0 48000000");
}

}  // namespace
}  // namespace vantoria::spi::test
