// The plug-ins built on format libraries (WebP, TIFF, AVIF/HEIC, JPEG XL,
// XPM, MNG/JNG) against each format's own reference decoder: the files are
// made at test time by the format's tools (or ImageMagick), decoded by the
// format's command-line decoder, and that output flattened onto black by
// convert is the expected picture. Then cut-off and corrupted files.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <span>
#include <string_view>

#include "PluginHarness.h"
#include "imaging/InChild.h"

namespace vantoria::spi::test {
namespace {

namespace fs = std::filesystem;

// Shell commands run with $D set to the test's folder. A format's `setup`
// makes its source pictures once (ImageMagick starts slowly: in parallel);
// each case's `make` writes the file under test to $D/pic, and `reference`
// the reference decoder's output to $D/ref.* (none: convert reads $D/pic).
struct Case {
    const char* name;
    const char* make;
    const char* reference;
    int tolerance;  // largest difference allowed per byte
};

#define PHOTO "convert -size 17x9 -seed 7 plasma:red-blue "
#define ALPHA "\\( -size 17x9 gradient:white-black \\) -alpha off -compose copy_opacity -composite "

bool Shell(const TempDir& dir, const std::string& script) {
    ::setenv("D", dir.Path().c_str(), 1);
    return std::system(("(" + script + ") >/dev/null 2>&1").c_str()) == 0;
}

void ExpectReferencePixels(const char* pluginName, const char* setup, std::span<const Case> cases) {
    Plugin plugin(pluginName);
    ASSERT_NE(plugin.isSupported, nullptr);
    TempDir dir;
    ASSERT_TRUE(Shell(dir, setup));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Shell(dir, std::string("rm -f $D/pic $D/ref.* && ") + c.make));
        fs::path ref = dir / "pic";
        if (*c.reference != '\0') {
            ASSERT_TRUE(Shell(dir, c.reference));
            for (const auto& entry : fs::directory_iterator(dir.Path()))
                if (entry.path().stem() == "ref") ref = entry.path();
        }
        EXPECT_NE(plugin.Supports(dir / "pic"), 0);
        const Picture picture = Decode(plugin, dir / "pic");
        ASSERT_EQ(picture.infoCode, SUSIE_OK);
        ASSERT_EQ(picture.code, SUSIE_OK);
        EXPECT_LE(MaxDifference(picture.rgb, Reference(ref)), c.tolerance);
    }
}

// dwebp is libwebp itself: the same pixels, but premultiplying alpha may
// round differently by one.
const char kWebpSetup[] =
    PHOTO "$D/photo.png & " PHOTO ALPHA "PNG32:$D/alpha.png & "
    "convert -size 10x6 gradient:red-yellow $D/a.png & convert -size 17x9 xc:blue $D/b.png & wait";
#define DWEBP "dwebp -quiet $D/pic -o $D/ref.png"
const Case kWebp[] = {
    {"lossy", "cwebp -quiet -q 80 $D/photo.png -o $D/pic", DWEBP, 0},
    {"lossyAlpha", "cwebp -quiet -q 80 $D/alpha.png -o $D/pic", DWEBP, 1},
    {"losslessAlpha", "cwebp -quiet -lossless -exact $D/alpha.png -o $D/pic", DWEBP, 1},
    // An animation whose first frame covers part of the canvas only.
    {"animation",
     "cwebp -quiet -lossless $D/a.png -o $D/a.webp && cwebp -quiet -lossless $D/b.png -o $D/b.webp && "
     "webpmux -frame $D/a.webp +100+4+2 -frame $D/b.webp +100 -loop 0 -o $D/pic",
     "convert -size 17x9 xc:black $D/a.png -geometry +4+2 -composite $D/ref.png", 0},
};

TEST(LibraryPlugins, WebpMatchesDwebp) { ExpectReferencePixels("webp.spi", kWebpSetup, kWebp); }

// ImageMagick writes the sample kinds, tiffcp the storage layouts;
// ImageMagick's decode of each file is the reference.
const char kTiffSetup[] =
    PHOTO "-depth 8 $D/rgb8.tif & " PHOTO "-depth 16 $D/rgb16.tif & " PHOTO ALPHA "-depth 8 $D/rgba8.tif & "
    PHOTO "-colorspace Gray -depth 8 $D/grey8.tif & " PHOTO "-monochrome -compress Group4 $D/bilevel.tif & "
    PHOTO "-colors 16 -type Palette $D/palette.tif & " PHOTO "-colorspace CMYK -depth 8 $D/cmyk.tif & "
    PHOTO "-depth 8 -size 17x9 xc:red $D/pages.tif & wait";
const Case kTiff[] = {
    {"rgb8Lzw", "tiffcp -c lzw $D/rgb8.tif $D/pic", "", 0},
    {"rgb8DeflatePredictor", "tiffcp -c zip:2 $D/rgb8.tif $D/pic", "", 0},
    {"rgb8Planar", "tiffcp -p separate $D/rgb8.tif $D/pic", "", 0},
    {"rgb8Tiled", "tiffcp -t -w 16 -l 16 -c packbits $D/rgb8.tif $D/pic", "", 0},
    {"rgb8JpegYcbcr", "tiffcp -c jpeg:r $D/rgb8.tif $D/pic", "", 2},
    {"rgb16", "tiffcp $D/rgb16.tif $D/pic", "", 1},
    {"rgba8", "tiffcp -c lzw $D/rgba8.tif $D/pic", "", 1},
    {"grey8Strips", "tiffcp -r 4 $D/grey8.tif $D/pic", "", 0},
    {"bilevelG4", "cp $D/bilevel.tif $D/pic", "", 0},
    {"palette4", "cp $D/palette.tif $D/pic", "", 1},  // 16-bit colour table, shifted to 8
    {"cmyk8", "cp $D/cmyk.tif $D/pic", "", 1},
    {"firstOfTwoPages", "cp $D/pages.tif $D/pic", "", 0},
};

TEST(LibraryPlugins, TiffMatchesImageMagick) { ExpectReferencePixels("tiff.spi", kTiffSetup, kTiff); }

// heif-convert is libheif itself. Deeper samples reach 8 bits through a
// 16-bit PNG there and by libheif's own shift here: one apart at most.
const char kHeifSetup[] =
    PHOTO "PNG24:$D/photo.png & " PHOTO ALPHA "PNG32:$D/alpha.png & " PHOTO "PNG48:$D/photo16.png & wait";
#define HEIF_CONVERT "heif-convert $D/pic $D/ref.png"
const Case kHeif[] = {
    {"heic", "heif-enc -q 80 $D/photo.png -o $D/pic", HEIF_CONVERT, 1},
    {"heic10Bits", "heif-enc -b 10 -q 80 $D/photo16.png -o $D/pic", HEIF_CONVERT, 1},
    {"avif", "heif-enc -A -q 80 $D/photo.png -o $D/pic", HEIF_CONVERT, 1},
    {"avifAlpha", "heif-enc -A -q 80 $D/alpha.png -o $D/pic", HEIF_CONVERT, 1},
};

TEST(LibraryPlugins, HeifMatchesHeifConvert) { ExpectReferencePixels("heif.spi", kHeifSetup, kHeif); }

// djxl is libjxl itself; its 16-bit output reaches 8 bits through convert.
// The JPEG turned by its Exif orientation (a quarter clockwise) is carried
// over losslessly into the JPEG XL file, orientation included.
#define EXIF_TURNED "\\377\\341\\000\\042Exif\\000\\000II*\\000\\010\\000\\000\\000\\001\\000\\022\\001\\003\\000\\001\\000\\000\\000\\006\\000\\000\\000\\000\\000\\000\\000"
const char kJxlSetup[] =
    PHOTO "PNG24:$D/photo.png & " PHOTO ALPHA "PNG32:$D/alpha.png & " PHOTO "PNG48:$D/photo16.png & "
    PHOTO "-colorspace Gray PNG:$D/grey.png & " PHOTO "$D/plain.jpg & wait";
#define DJXL "djxl $D/pic $D/ref.png"
const Case kJxl[] = {
    {"lossy", "cjxl -d 1 $D/photo.png $D/pic", DJXL, 1},
    {"lossless", "cjxl -d 0 $D/photo.png $D/pic", DJXL, 0},
    {"losslessAlpha", "cjxl -d 0 $D/alpha.png $D/pic", DJXL, 1},
    {"lossless16", "cjxl -d 0 $D/photo16.png $D/pic", DJXL, 1},
    {"grey", "cjxl -d 1 $D/grey.png $D/pic", DJXL, 1},
    {"turnedJpeg",
     "{ head -c 2 $D/plain.jpg; printf '" EXIF_TURNED "'; tail -c +3 $D/plain.jpg; } > $D/turned.jpg && "
     "cjxl $D/turned.jpg $D/pic",
     DJXL " && test $(identify -format %w $D/ref.png) = 9", 1},
};

TEST(LibraryPlugins, JxlMatchesDjxl) { ExpectReferencePixels("jxl.spi", kJxlSetup, kJxl); }

// libjxl traces why a damaged file failed on stderr; the user sees the
// host's message alone. What others write meanwhile still gets through.
TEST(LibraryPlugins, JxlTracesStayOffStderr) {
    TempDir dir;
    ASSERT_TRUE(Shell(dir, "convert -size 64x48 -seed 2 plasma: PNG24:$D/s.png && cjxl -d 2 $D/s.png $D/pic"));
    std::vector<std::uint8_t> bytes = ReadFile(dir / "pic");
    ASSERT_GT(bytes.size(), 40u);
    for (std::size_t at = 20; at < 40; ++at) bytes[at] ^= 0x5A;
    const Plugin plugin("jxl.spi");
    const std::string log = (dir / "stderr").string();
    const std::string answer = imagingtest::InChild([&] {
        const int file = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(file, STDERR_FILENO);
        const Picture picture = DecodeMemory(plugin, bytes);
        std::fputs("after\n", stderr);
        std::fflush(stderr);
        return std::to_string(picture.code);
    });
    EXPECT_EQ(answer, "3");
    const std::vector<std::uint8_t> written = ReadFile(log);
    EXPECT_EQ(std::string(written.begin(), written.end()), "after\n");
}

// ImageMagick writes and reads XPM on its own; a hand-written file has X11
// colour names, a transparent colour and two characters a pixel.
const Case kXpm[] = {
    {"fromImageMagick", PHOTO "-colors 40 XPM:$D/pic", "", 1},  // 16-bit hex values: rounding
    {"namesAndNone",
     "printf '%s\\n' '/* XPM */' 'static char *x[] = {' '\"4 2 3 2\",' '\"aa c red\",' '\"bb c light grey\",' "
     "'\"cc c None\",' '\"aabbccaa\",' '\"ccbbaabb\"};' > $D/pic",
     "", 0},
};

TEST(LibraryPlugins, XpmMatchesImageMagick) { ExpectReferencePixels("xpm.spi", "true", kXpm); }

// ImageMagick writes and reads MNG and JNG with its own PNG and JPEG code;
// the JPEG inside a JNG may be rounded differently by one.
const Case kMng[] = {
    {"mngAnimation", PHOTO "-size 17x9 xc:blue -loop 0 MNG:$D/pic", "", 1},
    {"mngAlpha", PHOTO ALPHA "MNG:$D/pic", "", 1},
    {"jng", PHOTO "-quality 90 JNG:$D/pic", "", 1},
    {"jngAlpha", PHOTO ALPHA "-quality 90 JNG:$D/pic", "", 1},
};

TEST(LibraryPlugins, MngMatchesImageMagick) { ExpectReferencePixels("mng.spi", "true", kMng); }

// Damage to one sample a format: cuts and byte flips answer with an error
// code (or, for flips the format cannot notice, a picture), never a crash.
struct Sample {
    const char* plugin;
    const char* make;  // writes $D/pic, as above
    int flipRounds;
};

void PrintTo(const Sample& s, std::ostream* os) { *os << s.plugin; }

const Sample kSamples[] = {
    {"webp.spi", "convert -size 64x48 -seed 2 plasma: $D/s.png && cwebp -quiet -q 80 $D/s.png -o $D/pic", 200},
    {"webp.spi", "convert -size 64x48 -seed 2 plasma: " ALPHA " PNG32:$D/s.png && cwebp -quiet -lossless $D/s.png -o $D/pic", 200},
    {"tiff.spi", "convert -size 64x48 -seed 2 plasma: -compress lzw $D/s.tif && tiffcp -r 8 $D/s.tif $D/pic", 200},
    {"tiff.spi", "convert -size 64x48 -seed 2 plasma: $D/s.tif && tiffcp -t -w 16 -l 16 -c zip $D/s.tif $D/pic", 200},
    {"heif.spi", "convert -size 64x48 -seed 2 plasma: PNG24:$D/s.png && heif-enc -q 60 $D/s.png -o $D/pic", 100},
    {"heif.spi", "convert -size 64x48 -seed 2 plasma: PNG24:$D/s.png && heif-enc -A -q 60 $D/s.png -o $D/pic", 100},
    {"jxl.spi", "convert -size 64x48 -seed 2 plasma: PNG24:$D/s.png && cjxl -d 1 $D/s.png $D/pic", 200},
    {"jxl.spi", "convert -size 64x48 -seed 2 plasma: " ALPHA "PNG32:$D/s.png && cjxl -d 0 $D/s.png $D/pic", 200},
    {"xpm.spi", "convert -size 64x48 -seed 2 plasma: -colors 60 XPM:$D/pic", 200},
    {"mng.spi", "convert -size 64x48 -seed 2 plasma: -size 64x48 xc:blue -loop 0 MNG:$D/pic", 200},
    {"mng.spi", "convert -size 64x48 -seed 2 plasma: JNG:$D/pic", 200},
};

class DamagedLibraryFile : public testing::TestWithParam<Sample> {};

TEST_P(DamagedLibraryFile, FailsCleanly) {
    TempDir dir;
    ASSERT_TRUE(Shell(dir, GetParam().make));
    const Plugin plugin(GetParam().plugin);
    const std::vector<std::uint8_t> bytes = ReadFile(dir / "pic");
    ASSERT_GT(bytes.size(), 100u);
    ASSERT_EQ(DecodeMemory(plugin, bytes).code, SUSIE_OK);

    const std::size_t n = bytes.size();
    for (std::size_t length : {std::size_t{0}, std::size_t{5}, std::size_t{20}, n / 4, n / 2, n * 3 / 4}) {
        const std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
        WriteFile(dir / "cut", cut);
        const Picture fromFile = Decode(plugin, dir / "cut");
        EXPECT_TRUE(fromFile.code == SUSIE_ERR_BROKEN_DATA || fromFile.code == SUSIE_ERR_UNKNOWN_FORMAT)
            << "cut at " << length << " of " << n << ": " << fromFile.code;
        EXPECT_EQ(DecodeMemory(plugin, cut).code, fromFile.code);
    }

    const std::set<std::int32_t> codes = {SUSIE_OK, SUSIE_ERR_UNKNOWN_FORMAT, SUSIE_ERR_BROKEN_DATA,
                                          SUSIE_ERR_NO_MEMORY};
    std::mt19937 random(12345);
    for (int round = 0; round < GetParam().flipRounds; ++round) {
        std::vector<std::uint8_t> flipped = bytes;
        for (int i = 0; i <= round % 4; ++i) {
            const std::size_t at = (round % 2 == 0) ? random() % std::min<std::size_t>(n, 64) : random() % n;
            flipped[at] ^= static_cast<std::uint8_t>(1 + random() % 255);
        }
        const Picture picture = DecodeMemory(plugin, flipped);
        EXPECT_TRUE(codes.count(picture.code)) << "round " << round << ": " << picture.code;
        EXPECT_TRUE(codes.count(picture.infoCode)) << "round " << round << ": " << picture.infoCode;
    }
}

INSTANTIATE_TEST_SUITE_P(Library, DamagedLibraryFile, testing::ValuesIn(kSamples), [](const auto& info) {
    return fs::path(info.param.plugin).stem().string() + std::to_string(info.index);
});

// Headers that claim pictures too large to hold are refused before any
// block is made, as out of memory: 65535 x 65535 in a WebP canvas, a HEIF
// size property, a TIFF directory, an MNG header and an XPM values line.
void PutBe32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.at(at + i) = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

// Where `what` first stands at or after `from`; the size when nowhere.
std::size_t Find(const std::vector<std::uint8_t>& b, std::string_view what, std::size_t from = 0) {
    return static_cast<std::size_t>(std::search(b.begin() + from, b.end(), what.begin(), what.end()) - b.begin());
}

TEST(LibraryPlugins, HugeClaimedSizesAreRefused) {
    TempDir dir;
    ASSERT_TRUE(Shell(dir, PHOTO ALPHA "PNG32:$D/a.png && cwebp -quiet -q 50 $D/a.png -o $D/a.webp && "
                           "webpmux -frame $D/a.webp +100 -frame $D/a.webp +100 -loop 0 -o $D/x.webp && "
                           "heif-enc -q 50 $D/a.png -o $D/x.heic & " PHOTO "-depth 8 $D/x.tif & "
                           PHOTO "MNG:$D/x.mng & " PHOTO "-colors 4 XPM:$D/x.xpm & wait"));
    std::vector<std::pair<const char*, std::vector<std::uint8_t>>> huge;

    // A still WebP's canvas is its bitstream's size; an animation's may be larger.
    auto webp = ReadFile(dir / "x.webp");  // VP8X: canvas width - 1 and height - 1, 24 bits each
    const std::size_t vp8x = Find(webp, "VP8X") + 12;
    ASSERT_LT(vp8x, webp.size());
    for (std::size_t i = 0; i < 6; ++i) webp.at(vp8x + i) = "\xFE\xFF\x00"[i % 3];
    huge.emplace_back("webp.spi", webp);

    auto heif = ReadFile(dir / "x.heic");  // every ispe (colour and alpha): version and flags, width, height
    for (std::size_t ispe = Find(heif, "ispe"); ispe < heif.size(); ispe = Find(heif, "ispe", ispe + 4))
        PutBe32(heif, ispe + 8, 65535), PutBe32(heif, ispe + 12, 65535);
    huge.emplace_back("heif.spi", heif);

    auto tiff = ReadFile(dir / "x.tif");  // little-endian: width and height entries of the first directory
    EXPECT_EQ(tiff.at(0), 'I');
    const std::size_t ifd = tiff.at(4) | tiff.at(5) << 8 | tiff.at(6) << 16 | std::size_t{tiff.at(7)} << 24;
    for (std::size_t e = ifd + 2; e + 12 <= tiff.size() && e < ifd + 2 + 12 * tiff.at(ifd); e += 12)
        if (tiff[e + 1] == 1 && (tiff[e] == 0 || tiff[e] == 1)) tiff[e + 8] = tiff[e + 9] = 0xFF;
    huge.emplace_back("tiff.spi", tiff);

    auto mng = ReadFile(dir / "x.mng");  // MHDR width and height
    PutBe32(mng, 16, 65535), PutBe32(mng, 20, 65535);
    huge.emplace_back("mng.spi", mng);

    std::vector<std::uint8_t> xpm = ReadFile(dir / "x.xpm");
    const std::size_t values = Find(xpm, "\"17 9 ") + 1;
    const std::string bigger = "65535 65535 ";
    xpm.erase(xpm.begin() + values, xpm.begin() + values + 5);
    xpm.insert(xpm.begin() + values, bigger.begin(), bigger.end());
    huge.emplace_back("xpm.spi", xpm);

    for (const auto& [plugin, bytes] : huge) {
        const Picture picture = DecodeMemory(Plugin(plugin), bytes);
        EXPECT_EQ(picture.infoCode, SUSIE_ERR_NO_MEMORY) << plugin;
        EXPECT_EQ(picture.code, SUSIE_ERR_NO_MEMORY) << plugin;
    }
}

// heif-enc writes a small picture as a grid of one 64 x 64 tile, its
// canvas in the idat box and its size in the grid's ispe (the second). A
// canvas of 26725 x 30307 in a picture that says 64784 x 12 passes libheif's
// limit per side and would cost 2.4 GB of planes: refused as damaged, before
// libheif decodes.
TEST(LibraryPlugins, HeifGridCanvasMustBeItsDeclaredSize) {
    TempDir dir;
    ASSERT_TRUE(Shell(dir, PHOTO "PNG24:$D/a.png && heif-enc -q 50 $D/a.png -o $D/x.heic"));
    auto heif = ReadFile(dir / "x.heic");
    const Plugin plugin("heif.spi");
    ASSERT_EQ(DecodeMemory(plugin, heif).code, SUSIE_OK);

    const std::size_t idat = Find(heif, "idat") + 4, gridIspe = Find(heif, "ispe", Find(heif, "ispe") + 4);
    ASSERT_LT(gridIspe, heif.size());
    ASSERT_EQ(heif.at(idat + 1), 0);  // 16-bit canvas sizes
    const std::uint8_t canvas[] = {26725 >> 8, 26725 & 0xFF, 30307 >> 8, 30307 & 0xFF};
    std::copy(std::begin(canvas), std::end(canvas), heif.begin() + static_cast<std::ptrdiff_t>(idat + 4));
    PutBe32(heif, gridIspe + 8, 64784);
    const Picture lying = DecodeMemory(plugin, heif);
    EXPECT_EQ(lying.infoCode, SUSIE_ERR_BROKEN_DATA);
    EXPECT_EQ(lying.code, SUSIE_ERR_BROKEN_DATA);
}

}  // namespace
}  // namespace vantoria::spi::test
