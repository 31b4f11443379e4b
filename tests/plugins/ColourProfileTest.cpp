// Pictures that carry a colour profile (ICC, or H.273 code points) come out
// of the plug-ins in sRGB, as ImageMagick converts them (`-profile sRGB.icc`,
// Little CMS as well); untagged pictures, sRGB-tagged ones and those whose
// profile is broken keep their bytes. The files are made at test time from
// colord's profiles and a few made here with Little CMS.

#include <gtest/gtest.h>
#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <random>
#include <span>
#include <string>
#include <string_view>

#include "PluginHarness.h"

namespace vantoria::spi::test {
namespace {

namespace fs = std::filesystem;

#define ICC "/usr/share/color/icc/colord/"

bool Shell(const TempDir& dir, const std::string& script) {
    ::setenv("D", dir.Path().c_str(), 1);
    return std::system(("(" + script + ") >/dev/null 2>&1").c_str()) == 0;
}

// Primaries with D65 and the sRGB curve: Display P3's, or BT.2020's.
bool WriteRgb(const fs::path& path, const cmsCIExyYTRIPLE& primaries) {
    const cmsCIExyY white = {0.3127, 0.3290, 1};
    const cmsFloat64Number srgb[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, srgb);
    cmsToneCurve* const curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    const bool saved = profile != nullptr && cmsSaveProfileToFile(profile, path.c_str());
    if (profile != nullptr) cmsCloseProfile(profile);
    cmsFreeToneCurve(curve);
    return saved;
}

// Grey with a plain 1.8 power curve (sRGB's is nearer 2.2).
bool WriteGrey18(const fs::path& path) {
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 1.8);
    cmsHPROFILE profile = cmsCreateGrayProfile(cmsD50_xyY(), curve);
    const bool saved = profile != nullptr && cmsSaveProfileToFile(profile, path.c_str());
    if (profile != nullptr) cmsCloseProfile(profile);
    cmsFreeToneCurve(curve);
    return saved;
}

// In $D: photo.png, a saturated untagged picture; the profiles adobe.icc,
// prophoto.icc, swapped.icc (red and green exchanged), p3.icc, bt2020.icc,
// grey.icc and srgb.icc.
class Tagged {
public:
    Tagged() {
        EXPECT_TRUE(WriteRgb(dir / "p3.icc", {{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}}));
        EXPECT_TRUE(WriteRgb(dir / "bt2020.icc", {{0.708, 0.292, 1}, {0.170, 0.797, 1}, {0.131, 0.046, 1}}));
        EXPECT_TRUE(WriteGrey18(dir / "grey.icc"));
        EXPECT_TRUE(Shell(dir, "cp " ICC "AdobeRGB1998.icc $D/adobe.icc && cp " ICC "ProPhotoRGB.icc $D/prophoto.icc && "
                               "cp " ICC "SwappedRedAndGreen.icc $D/swapped.icc && cp " ICC "sRGB.icc $D/srgb.icc && "
                               "convert -size 48x32 -seed 5 plasma: -modulate 100,150 PNG24:$D/photo.png"));
    }

    // Decodes $D/pic through `plugin` after `make` wrote it; `decode` writes
    // $D/dec.png, the samples as stored (a reference decoder), whose colours
    // `icc` describes. ImageMagick's conversion of those to sRGB is expected,
    // within `tolerance`. `decode` empty: ImageMagick reads $D/pic and its
    // own profile itself; `icc` empty: the one it finds in $D/dec.png.
    void Expect(const Plugin& plugin, const std::string& make, const std::string& decode, const char* icc,
                int tolerance) {
        SCOPED_TRACE(make);
        ASSERT_TRUE(Shell(dir, "rm -f $D/pic $D/dec.png && " + make));
        const std::string convert =
            decode.empty()  ? "convert $D/pic -profile $D/srgb.icc"
            : *icc == '\0' ? decode + " && convert $D/dec.png -profile $D/srgb.icc"
                            : decode + " && convert $D/dec.png +profile '*' -profile $D/" + icc + " -profile $D/srgb.icc";
        ASSERT_TRUE(Shell(dir, convert + " -background black -flatten -depth 8 rgb:$D/ref.rgb"));
        const Picture picture = Decode(plugin, dir / "pic");
        ASSERT_EQ(picture.code, SUSIE_OK);
        EXPECT_LE(MaxDifference(picture.rgb, ReadFile(dir / "ref.rgb")), tolerance);
        // Not merely the samples as stored: the profile did change them.
        ASSERT_TRUE(Shell(dir, (decode.empty() ? "convert $D/pic +profile '*' PNG24:$D/dec.png" : decode)));
        EXPECT_GT(MaxDifference(picture.rgb, Reference(dir / "dec.png")), tolerance);
    }

    // The picture `make` writes decodes to exactly what `same` writes.
    void ExpectSame(const Plugin& plugin, const std::string& make, const std::string& same) {
        SCOPED_TRACE(make);
        ASSERT_TRUE(Shell(dir, "rm -f $D/pic $D/same && " + make + " && " + same));
        const Picture picture = Decode(plugin, dir / "pic"), expected = Decode(plugin, dir / "same");
        ASSERT_EQ(picture.code, SUSIE_OK);
        ASSERT_EQ(expected.code, SUSIE_OK);
        EXPECT_EQ(picture.rgb, expected.rgb);
    }

    TempDir dir;
};

// `icc` in one APP2 segment after the start marker of the JPEG at `from`.
void InsertApp2(const fs::path& from, std::span<const std::uint8_t> icc, const fs::path& to) {
    std::vector<std::uint8_t> bytes = ReadFile(from);
    ASSERT_GT(bytes.size(), 2u);
    ASSERT_LT(icc.size(), 65000u);
    const std::size_t length = 16 + icc.size();
    std::vector<std::uint8_t> segment = {0xFF, 0xE2, std::uint8_t(length >> 8), std::uint8_t(length)};
    const std::string_view name("ICC_PROFILE\0\1\1", 14);  // the only piece of one
    segment.insert(segment.end(), name.begin(), name.end());
    segment.insert(segment.end(), icc.begin(), icc.end());
    bytes.insert(bytes.begin() + 2, segment.begin(), segment.end());
    WriteFile(to, bytes);
}

// Within 1 of ImageMagick's decode of the same JPEG, then both convert.
TEST(ColourProfiles, JpegIccInApp2) {
    Tagged t;
    const Plugin jpeg("jpeg.spi");
    for (const char* icc : {"adobe.icc", "swapped.icc", "p3.icc"})
        t.Expect(jpeg, std::string("convert $D/photo.png -profile $D/") + icc + " -quality 95 JPG:$D/pic", "", icc, 2);
    t.Expect(jpeg, "convert $D/photo.png -profile $D/prophoto.icc -quality 95 JPG:$D/pic", "", "prophoto.icc", 3);
    t.Expect(jpeg, "convert $D/photo.png -colorspace Gray -profile $D/grey.icc JPG:$D/pic", "", "", 2);

    // sRGB itself, and profiles that are cut short or garbage, change
    // nothing; the same APP2 segment around a whole profile is read.
    ASSERT_TRUE(Shell(t.dir, "convert $D/photo.png -quality 95 JPG:$D/plain.jpg"));
    const std::string same = "cp $D/plain.jpg $D/same";
    t.ExpectSame(jpeg, "convert $D/photo.png -profile $D/srgb.icc -quality 95 JPG:$D/pic", same);
    const std::vector<std::uint8_t> adobe = ReadFile(t.dir / "adobe.icc");
    ASSERT_GT(adobe.size(), 1000u);
    InsertApp2(t.dir / "plain.jpg", std::span(adobe).first(600), t.dir / "cut.jpg");
    InsertApp2(t.dir / "plain.jpg", std::vector<std::uint8_t>(300, 'x'), t.dir / "garbage.jpg");
    for (const char* name : {"cut.jpg", "garbage.jpg"}) t.ExpectSame(jpeg, std::string("cp $D/") + name + " $D/pic", same);
    InsertApp2(t.dir / "plain.jpg", ReadFile(t.dir / "p3.icc"), t.dir / "whole.jpg");
    t.Expect(jpeg, "cp $D/whole.jpg $D/pic", "", "", 2);

    // Damage anywhere in a profile (here ProPhoto's, with its tag table and
    // curves) costs at most the conversion, never the picture.
    const std::vector<std::uint8_t> prophoto = ReadFile(t.dir / "prophoto.icc");
    ASSERT_GT(prophoto.size(), 200u);
    std::mt19937 random(2024);
    for (int round = 0; round < 200; ++round) {
        std::vector<std::uint8_t> icc = prophoto;
        for (int i = 0; i <= round % 6; ++i) {
            // Mostly the header and tag table, where lengths and offsets are.
            const std::size_t at = round % 3 == 0 ? random() % icc.size() : random() % 200;
            icc[at] = static_cast<std::uint8_t>(round % 5 == 0 ? 0xFF : random());
        }
        InsertApp2(t.dir / "plain.jpg", icc, t.dir / "damaged.jpg");
        EXPECT_EQ(DecodeMemory(jpeg, ReadFile(t.dir / "damaged.jpg")).code, SUSIE_OK) << "round " << round;
    }
}

// A PNG chunk with its length and CRC.
std::vector<std::uint8_t> Chunk(const char* type, std::span<const std::uint8_t> data) {
    const std::size_t n = data.size();
    std::vector<std::uint8_t> chunk(n + 12);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) chunk[at + i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
    };
    put32(0, static_cast<std::uint32_t>(n));
    std::memcpy(chunk.data() + 4, type, 4);
    std::copy(data.begin(), data.end(), chunk.begin() + 8);
    std::uint32_t crc = 0xFFFFFFFF;
    for (std::size_t i = 4; i < n + 8; ++i) {
        crc ^= chunk[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    put32(n + 8, ~crc);
    return chunk;
}

// An iCCP chunk holding `profile` in a zlib stream of stored blocks.
std::vector<std::uint8_t> Iccp(std::span<const std::uint8_t> profile) {
    std::vector<std::uint8_t> data = {'x', 0, 0, 0x78, 0x01};
    std::uint32_t a = 1, b = 0;
    for (std::size_t at = 0; at < profile.size() || at == 0; at += 65535) {
        const std::size_t n = std::min<std::size_t>(65535, profile.size() - at);
        data.push_back(at + n == profile.size() ? 1 : 0);
        data.insert(data.end(), {std::uint8_t(n), std::uint8_t(n >> 8), std::uint8_t(~n), std::uint8_t(~n >> 8)});
        data.insert(data.end(), profile.begin() + at, profile.begin() + at + n);
        if (n == 0) break;
    }
    for (std::uint8_t c : profile) a = (a + c) % 65521, b = (b + a) % 65521;
    const std::uint32_t adler = b << 16 | a;
    for (int i = 3; i >= 0; --i) data.push_back(static_cast<std::uint8_t>(adler >> (8 * i)));
    return Chunk("iCCP", data);
}

// `chunk` put after the IHDR chunk of the PNG at `from`.
void InsertAfterHeader(const fs::path& from, const std::vector<std::uint8_t>& chunk, const fs::path& to) {
    std::vector<std::uint8_t> bytes = ReadFile(from);
    ASSERT_GT(bytes.size(), 33u);
    bytes.insert(bytes.begin() + 33, chunk.begin(), chunk.end());
    WriteFile(to, bytes);
}

// PNG is lossless: within what the two conversions round apart.
TEST(ColourProfiles, PngIccpAndCicp) {
    Tagged t;
    const Plugin png("png.spi");
    t.Expect(png, "convert $D/photo.png -profile $D/adobe.icc PNG24:$D/pic", "", "", 2);
    t.Expect(png, "convert $D/photo.png -profile $D/swapped.icc PNG24:$D/pic", "", "", 2);
    t.Expect(png, "convert $D/photo.png -profile $D/prophoto.icc PNG48:$D/pic", "", "", 3);
    // Large enough to be shared out between threads (a band each).
    t.Expect(png, "convert $D/photo.png -scale 1600x1400! -profile $D/adobe.icc PNG24:$D/pic", "", "", 2);

    // cICP after IHDR: Display P3 (12, sRGB curve 13, RGB, full range). It
    // wins over an iCCP chunk.
    const auto p3 = Chunk("cICP", std::array<std::uint8_t, 4>{12, 13, 0, 1});
    InsertAfterHeader(t.dir / "photo.png", p3, t.dir / "cicp.png");
    t.Expect(png, "cp $D/cicp.png $D/pic", "cp $D/photo.png $D/dec.png", "p3.icc", 2);
    ASSERT_TRUE(Shell(t.dir, "convert $D/photo.png -profile $D/swapped.icc PNG24:$D/swapped.png"));
    InsertAfterHeader(t.dir / "swapped.png", p3, t.dir / "both.png");
    t.Expect(png, "cp $D/both.png $D/pic", "cp $D/photo.png $D/dec.png", "p3.icc", 2);

    // Untagged and sRGB-tagged: every byte as stored. Ignored: a cICP of
    // BT.709, profiles cut short or of garbage.
    const Picture plain = Decode(png, t.dir / "photo.png");
    ASSERT_EQ(plain.code, SUSIE_OK);
    EXPECT_EQ(plain.rgb, Reference(t.dir / "photo.png"));
    const std::string same = "cp $D/photo.png $D/same";
    t.ExpectSame(png, "convert $D/photo.png -profile $D/srgb.icc PNG24:$D/pic", same);
    InsertAfterHeader(t.dir / "photo.png", Chunk("cICP", std::array<std::uint8_t, 4>{1, 1, 0, 1}), t.dir / "bt709.png");
    const std::vector<std::uint8_t> adobe = ReadFile(t.dir / "adobe.icc");
    ASSERT_GT(adobe.size(), 1000u);
    InsertAfterHeader(t.dir / "photo.png", Iccp(std::span(adobe).first(600)), t.dir / "cut.png");
    InsertAfterHeader(t.dir / "photo.png", Iccp(std::vector<std::uint8_t>(300, 'x')), t.dir / "garbage.png");
    for (const char* name : {"bt709.png", "cut.png", "garbage.png"}) t.ExpectSame(png, std::string("cp $D/") + name + " $D/pic", same);
    // The same stream around a whole profile is read.
    InsertAfterHeader(t.dir / "photo.png", Iccp(adobe), t.dir / "whole.png");
    t.Expect(png, "cp $D/whole.png $D/pic", "cp $D/photo.png $D/dec.png", "adobe.icc", 2);
}

// Lossless WebP (cwebp keeps a PNG's profile) as dwebp decodes it.
TEST(ColourProfiles, WebpIccp) {
    Tagged t;
    const Plugin webp("webp.spi");
    for (const char* icc : {"adobe.icc", "swapped.icc", "p3.icc"})
        t.Expect(webp,
                 std::string("convert $D/photo.png -profile $D/") + icc +
                     " PNG24:$D/t.png && cwebp -quiet -lossless -metadata icc $D/t.png -o $D/pic",
                 "dwebp -quiet $D/pic -o $D/dec.png", icc, 2);
    // Lossy.
    t.Expect(webp, "convert $D/photo.png -profile $D/adobe.icc PNG24:$D/t.png && "
                   "cwebp -quiet -q 90 -metadata icc $D/t.png -o $D/pic",
             "dwebp -quiet $D/pic -o $D/dec.png", "adobe.icc", 2);
    t.ExpectSame(webp, "cwebp -quiet -lossless $D/photo.png -o $D/pic",
                 "convert $D/photo.png -profile $D/srgb.icc PNG24:$D/t.png && "
                 "cwebp -quiet -lossless -metadata icc $D/t.png -o $D/same");
}

// ImageMagick writes and reads TIFF's profile tag itself.
TEST(ColourProfiles, TiffIccTag) {
    Tagged t;
    const Plugin tiff("tiff.spi");
    for (const char* icc : {"adobe.icc", "swapped.icc", "p3.icc"})
        t.Expect(tiff, std::string("convert $D/photo.png -profile $D/") + icc + " -depth 8 TIFF:$D/pic", "", "", 2);
    t.Expect(tiff, "convert $D/photo.png -profile $D/prophoto.icc -depth 16 TIFF:$D/pic", "", "", 3);
    t.ExpectSame(tiff, "convert $D/photo.png -profile $D/srgb.icc -depth 8 TIFF:$D/pic",
                 "convert $D/photo.png -depth 8 TIFF:$D/same");
}

// The colour primaries and transfer curve of the first nclx colour box.
void SetNclx(const fs::path& path, std::uint8_t primaries, std::uint8_t transfer) {
    std::vector<std::uint8_t> bytes = ReadFile(path);
    const std::string_view box = "colrnclx";
    const auto at = std::search(bytes.begin(), bytes.end(), box.begin(), box.end());
    ASSERT_LT(at + 12, bytes.end());
    at[8] = 0, at[9] = primaries, at[10] = 0, at[11] = transfer;
    WriteFile(path, bytes);
}

// AVIF and HEIC as heif-convert decodes them: an ICC profile (heif-enc
// keeps a PNG's), or nclx code points. Lossy coding itself is the same
// libheif's on both sides.
TEST(ColourProfiles, HeifIccAndNclx) {
    Tagged t;
    const Plugin heif("heif.spi");
    const std::string dec = "heif-convert $D/pic $D/dec.png";
    for (const char* icc : {"adobe.icc", "swapped.icc"})
        t.Expect(heif, std::string("convert $D/photo.png -profile $D/") + icc +
                           " PNG24:$D/t.png && heif-enc -A -q 90 $D/t.png -o $D/pic",
                 dec, icc, 3);
    // Display P3 (12, with the sRGB curve 13), and BT.2020 (9) with BT.709's
    // camera curve, taken as sRGB's.
    ASSERT_TRUE(Shell(t.dir, "heif-enc -A -q 90 $D/photo.png -o $D/p3.avif && cp $D/p3.avif $D/2020.avif"));
    SetNclx(t.dir / "p3.avif", 12, 13);
    t.Expect(heif, "cp $D/p3.avif $D/pic", dec, "p3.icc", 3);
    SetNclx(t.dir / "2020.avif", 9, 1);
    t.Expect(heif, "cp $D/2020.avif $D/pic", dec, "bt2020.icc", 3);
    t.Expect(heif, "convert $D/photo.png -profile $D/prophoto.icc PNG24:$D/t.png && heif-enc -q 90 $D/t.png -o $D/pic",
             dec, "prophoto.icc", 4);
    // BT.709 code points, as many encoders write them, leave the samples as
    // they are; so do HDR curves (PQ), not rendered.
    ASSERT_TRUE(Shell(t.dir, "heif-enc -A -q 90 $D/photo.png -o $D/plain.avif && cp $D/plain.avif $D/709.avif && "
                             "cp $D/plain.avif $D/pq.avif"));
    SetNclx(t.dir / "709.avif", 1, 1);
    SetNclx(t.dir / "pq.avif", 9, 16);
    t.ExpectSame(heif, "cp $D/709.avif $D/pic", "cp $D/plain.avif $D/same");
    t.ExpectSame(heif, "cp $D/pq.avif $D/pic", "cp $D/plain.avif $D/same");
}

// JPEG XL keeps the profile's space when lossless; lossy pictures libjxl
// renders to sRGB itself. Both against djxl's output, which for lossy ones
// is linear sRGB in 8 bits, a few levels apart in the dark once converted
// (where saturated colours put some samples), so that picture is kept out
// of the darkest quarter and allowed 6.
TEST(ColourProfiles, JxlIcc) {
    Tagged t;
    const Plugin jxl("jxl.spi");
    for (const char* icc : {"adobe.icc", "swapped.icc", "p3.icc"}) {
        const std::string tag = std::string(" -profile $D/") + icc + " PNG24:$D/t.png && ";
        t.Expect(jxl, "convert $D/photo.png" + tag + "cjxl -d 0 $D/t.png $D/pic", "djxl $D/pic $D/dec.png", "", 2);
        t.Expect(jxl, "convert $D/photo.png +level 25%,100%" + tag + "cjxl -d 1 $D/t.png $D/pic",
                 "djxl $D/pic $D/dec.png", "", 6);
    }
}

}  // namespace
}  // namespace vantoria::spi::test
