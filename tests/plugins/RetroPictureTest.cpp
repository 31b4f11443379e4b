// The plug-ins for older formats (PICT, MAG, Pi, PIC) decode every variant of
// their format, written by the tests' own encoders (RetroWriters.h), to the
// pixels that were encoded; PICT files written by ImageMagick are compared
// with its own decode besides.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "PluginHarness.h"
#include "RetroWriters.h"

namespace vantoria::spi::test {
namespace {

// Decodes `bytes` from a file and from memory; both must give `expected`.
void ExpectPicture(const Plugin& plugin, const std::vector<std::uint8_t>& bytes, int width, int height,
                   const std::vector<std::uint8_t>& expected) {
    TempDir dir;
    const auto file = dir / "picture";
    WriteFile(file, bytes);
    EXPECT_EQ(plugin.Supports(file), 1);
    for (const Picture& picture : {Decode(plugin, file), DecodeMemory(plugin, bytes)}) {
        ASSERT_EQ(picture.code, SUSIE_OK);
        ASSERT_EQ(picture.infoCode, SUSIE_OK);
        EXPECT_EQ(picture.width, width);
        EXPECT_EQ(picture.height, height);
        EXPECT_EQ(MaxDifference(picture.rgb, expected), 0);
    }
}

void ExpectPicture(const Plugin& plugin, const std::vector<std::uint8_t>& bytes, const TestPicture& picture) {
    ExpectPicture(plugin, bytes, picture.width, picture.height, picture.ToRgb());
}

// Colours as five bits a channel keep them, widened back as the plug-in does.
TestPicture To555(TestPicture picture) {
    for (std::uint32_t& c : picture.pixels) {
        std::uint32_t out = 0;
        for (int shift : {16, 8, 0}) {
            const std::uint32_t five = (c >> shift & 0xFF) >> 3;
            out |= (five << 3 | five >> 2) << shift;
        }
        c = out;
    }
    return picture;
}

PictRect Whole(const TestPicture& p, int top = 0, int left = 0) { return {top, left, top + p.height, left + p.width}; }

TEST(RetroFormats, PictPixelImagesOfEveryKind) {
    const Plugin plugin("pict.spi");
    const TestPicture p256 = MakeTestPicture(300, 7, 256, 1), p16 = MakeTestPicture(21, 9, 16, 2);
    const TestPicture p4 = MakeTestPicture(10, 5, 4, 3), direct = MakeTestPicture(33, 11, 0, 4);
    TestPicture mono = MakeTestPicture(35, 6, 2, 5);
    mono.palette = {{255, 255, 255}, {0, 0, 0}};

    struct Case {
        const char* name;
        std::function<std::vector<std::uint8_t>()> write;
        TestPicture expected;
    };
    auto indexed = [](unsigned op, const TestPicture& p, int bits, bool header, bool bitmap = false, int version = 2) {
        return [=] {
            PictWriter w(Whole(p, 10, -4), header, version);
            w.Indexed(op, p, bits, Whole(p), Whole(p, 10, -4), bitmap);
            return w.Finish();
        };
    };
    auto direct32 = [&](unsigned op, int packType, int components) {
        return [=] {
            PictWriter w(Whole(direct), true);
            w.Direct(op, direct, 32, packType, components, Whole(direct), Whole(direct));
            return w.Finish();
        };
    };
    const Case cases[] = {
        {"8 bits, packed, long rows", indexed(0x98, p256, 8, true), p256},
        {"4 bits, packed, no file header", indexed(0x98, p16, 4, false), p16},
        {"2 bits, rows too short to pack", indexed(0x98, p4, 2, true), p4},
        {"4 bits, unpacked BitsRect", indexed(0x90, p16, 4, true), p16},
        {"8 bits with a region", indexed(0x99, p256, 8, true), p256},
        {"one-bit bitmap, version 1", indexed(0x90, mono, 1, true, true, 1), mono},
        {"one-bit bitmap, packed", indexed(0x98, mono, 1, true, true), mono},
        {"32 bits, planes packed", direct32(0x9A, 4, 3), direct},
        {"32 bits, default packing, alpha plane", direct32(0x9A, 0, 4), direct},
        {"32 bits, unpacked", direct32(0x9A, 1, 3), direct},
        {"32 bits, pad byte dropped", direct32(0x9A, 2, 3), direct},
        {"32 bits with a region", direct32(0x9B, 4, 3), direct},
        {"16 bits, words packed",
         [&] {
             PictWriter w(Whole(direct), true);
             w.Direct(0x9A, direct, 16, 0, 3, Whole(direct), Whole(direct));
             return w.Finish();
         },
         To555(direct)},
        {"two bands after comments, clipping and a rectangle",
         [&] {
             PictWriter w(Whole(direct), true);
             w.Op(0x0001), w.out.U16BE(10), w.Rect(Whole(direct));                   // clip region
             w.Op(0x00A1), w.out.U16BE(100), w.out.U16BE(3), w.out.Text("abc");       // long comment
             w.Op(0x0031), w.Rect({0, 0, 5, 5});                                      // paintRect
             w.Op(0x001A), w.out.U16BE(0), w.out.U16BE(0), w.out.U16BE(0);            // foreground colour
             const int half = direct.height / 2;
             TestPicture top = direct, bottom = direct;
             top.height = half, top.pixels.resize(static_cast<std::size_t>(half) * direct.width);
             bottom.height = direct.height - half;
             bottom.pixels.erase(bottom.pixels.begin(), bottom.pixels.begin() + half * direct.width);
             w.Direct(0x9A, top, 32, 4, 3, Whole(top), Whole(top));
             w.Direct(0x9A, bottom, 32, 4, 3, Whole(bottom), Whole(bottom, half));
             return w.Finish();
         },
         direct},
        {"an image at twice the frame's resolution",
         [&] {
             PictWriter w({0, 0, (direct.height - 1) / 2, (direct.width - 1) / 2}, true);
             w.Direct(0x9A, direct, 32, 4, 3, {0, 0, direct.height - 1, direct.width - 1},
                      {0, 0, (direct.height - 1) / 2, (direct.width - 1) / 2});
             return w.Finish();
         },
         [&] {
             TestPicture even = direct;  // the frame keeps an even part of the image
             even.width = direct.width - 1, even.height = direct.height - 1, even.pixels.clear();
             for (int y = 0; y < even.height; ++y)
                 for (int x = 0; x < even.width; ++x) even.pixels.push_back(direct.At(x, y));
             return even;
         }()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectPicture(plugin, c.write(), c.expected);
    }

    // An image smaller than the frame leaves white around it.
    PictWriter framed({0, 0, p4.height + 2, p4.width + 1}, true);
    framed.Indexed(0x98, p4, 2, Whole(p4), Whole(p4, 1, 1));
    std::vector<std::uint8_t> white((p4.width + 1) * 3 * (p4.height + 2), 255);
    const auto rgb = p4.ToRgb();
    for (int y = 0; y < p4.height; ++y)
        std::copy_n(rgb.begin() + y * p4.width * 3, p4.width * 3, white.begin() + ((y + 1) * (p4.width + 1) + 1) * 3);
    ExpectPicture(plugin, framed.Finish(), p4.width + 1, p4.height + 2, white);

    // Vector drawing only: recognised, refused with the "cannot show" code.
    PictWriter vectors({0, 0, 20, 20}, true);
    vectors.Op(0x0031), vectors.Rect({2, 2, 10, 10});
    vectors.Op(0x0020), vectors.out.U32BE(0), vectors.out.U32BE(0x00100010);
    // So is a picture whose only image is compressed (QuickTime).
    PictWriter compressed({0, 0, 20, 20}, true);
    compressed.Op(0x8200), compressed.out.U32BE(4), compressed.out.U32BE(0);
    for (const Picture& refused : {DecodeMemory(plugin, vectors.Finish()), DecodeMemory(plugin, compressed.Finish())}) {
        EXPECT_EQ(refused.infoCode, SUSIE_ERR_UNKNOWN_FORMAT);
        EXPECT_EQ(refused.code, SUSIE_ERR_UNKNOWN_FORMAT);
    }

    // Pictures written by ImageMagick, against its own decode: its colour
    // tables have 16-bit channels, which it brings to 8 bits rounding down.
    // Its direct pictures 63 to 66 pixels wide count their packed rows in a
    // byte although rowBytes (4 a pixel) is over 250; from 67 on in a word.
    TempDir dir;
    for (const char* args : {"-size 41x23 -seed 3 plasma:", "-size 41x23 -seed 3 plasma: -colors 200",
                             "-size 63x7 -seed 3 plasma:", "-size 66x7 -seed 3 plasma:", "-size 67x7 -seed 3 plasma:",
                             "-size 83x7 -seed 3 plasma:"}) {
        SCOPED_TRACE(args);
        const auto file = dir / "magick.pict";
        ASSERT_TRUE(Convert(std::string(args) + " PICT:'" + file.string() + "'"));
        const Picture picture = Decode(plugin, file);
        ASSERT_EQ(picture.code, SUSIE_OK);
        EXPECT_LE(MaxDifference(picture.rgb, Reference(file)), 1);
    }
}

// Colours (of the palette, or direct) as the five bits a channel of the
// X68000 keep them, widened back as the plug-in does.
TestPicture X68000Colours(TestPicture picture) {
    for (Rgb& c : picture.palette)
        for (std::uint8_t& v : c) v = static_cast<std::uint8_t>((v >> 3) << 3 | (v >> 3) >> 2);
    return picture.palette.empty() ? To555(picture) : picture;
}

TEST(RetroFormats, MagSixteenAndTwoHundredFiftySixColours) {
    const Plugin plugin("mag.spi");
    const TestPicture p16 = MakeTestPicture(48, 40, 16, 6), p256 = MakeTestPicture(36, 33, 256, 7);
    ExpectPicture(plugin, EncodeMag(p16), p16);
    ExpectPicture(plugin, EncodeMag(p256), p256);
    // Pictures not starting or ending on a unit boundary, and narrower than one.
    const TestPicture odd16 = MakeTestPicture(29, 17, 16, 8), odd256 = MakeTestPicture(3, 9, 256, 9);
    ExpectPicture(plugin, EncodeMag(odd16, 5), odd16);
    ExpectPicture(plugin, EncodeMag(odd256, 2), odd256);
    // The 200-line flag changes nothing: pixels stay square.
    ExpectPicture(plugin, EncodeMag(p16, 0, true), p16);
    // Rows repeating every 16: copies from the farthest line up.
    TestPicture repeating = MakeTestPicture(32, 48, 16, 19);
    std::copy(repeating.pixels.begin(), repeating.pixels.end() - 32 * 16, repeating.pixels.begin() + 32 * 16);
    ExpectPicture(plugin, EncodeMag(repeating), repeating);
}

TEST(RetroFormats, PiSixteenAndTwoHundredFiftySixColours) {
    const Plugin plugin("pi.spi");
    for (const TestPicture& picture : {MakeTestPicture(64, 40, 16, 10), MakeTestPicture(37, 21, 256, 11),
                                       MakeTestPicture(1, 7, 16, 12), MakeTestPicture(5, 3, 256, 13)}) {
        SCOPED_TRACE(picture.width);
        ExpectPicture(plugin, EncodePi(picture), picture);
    }
    // Without a palette: the default one, eight colours at two brightnesses.
    TestPicture plain = MakeTestPicture(20, 12, 16, 14);
    for (unsigned i = 0; i < 16; ++i) {
        const std::uint8_t on = (i & 8) ? 255 : 128;
        plain.palette[i] = {(i & 2) ? on : std::uint8_t{0}, (i & 4) ? on : std::uint8_t{0}, (i & 1) ? on : std::uint8_t{0}};
    }
    ExpectPicture(plugin, EncodePi(plain, true), plain);
}

TEST(RetroFormats, PicDirectAndPaletteColours) {
    const Plugin plugin("pic.spi");
    const TestPicture direct = X68000Colours(MakeTestPicture(64, 48, 0, 15));
    ExpectPicture(plugin, EncodePic(direct, 15), direct);
    ExpectPicture(plugin, EncodePic(direct, 16), direct);
    // More colours than the cache holds, so that colours leave it and return.
    TestPicture many = X68000Colours(MakeTestPicture(300, 20, 0, 16));
    ExpectPicture(plugin, EncodePic(many, 15), many);
    const TestPicture p16 = X68000Colours(MakeTestPicture(33, 20, 16, 17));
    const TestPicture p256 = X68000Colours(MakeTestPicture(21, 30, 256, 18));
    ExpectPicture(plugin, EncodePic(p16, 4), p16);
    ExpectPicture(plugin, EncodePic(p256, 8), p256);

    // Another machine's PIC is recognised and refused; PIC2 is not taken.
    std::vector<std::uint8_t> other = EncodePic(p16, 4);
    const std::size_t header = std::find(other.begin(), other.end(), 0) - other.begin() + 1;
    other[header + 1] = 0x02;
    EXPECT_EQ(DecodeMemory(plugin, other).code, SUSIE_ERR_UNKNOWN_FORMAT);
    TempDir dir;
    WriteFile(dir / "p2.pic2", {'P', '2', 'D', 'T', 0, 0, 0, 0});
    EXPECT_EQ(plugin.Supports(dir / "p2.pic2"), 0);
}

// What the progress callback saw: calls, the last count, whether it never fell.
struct Calls {
    int count = 0, last = -1, stopAt = -1;
    bool rising = true;
};
Calls* gCalls = nullptr;

std::int32_t Callback(std::int32_t num, std::int32_t denom, std::int32_t) {
    gCalls->rising = gCalls->rising && num >= gCalls->last && num <= denom;
    gCalls->last = num;
    return gCalls->count++ == gCalls->stopAt ? 1 : 0;
}

TEST(RetroFormats, DescribeThemselvesRecogniseTheirOwnAndReportProgress) {
    const TestPicture p16 = MakeTestPicture(24, 30, 16, 31);
    PictWriter pict({0, 0, 30, 24}, true);
    pict.Indexed(0x98, p16, 4, {0, 0, 30, 24}, {0, 0, 30, 24});
    const struct {
        const char* plugin;
        const char* name;
        const char* pattern;
        std::vector<std::uint8_t> bytes;
    } kinds[] = {{"pict.spi", "Vantoria PICT plug-in", "*.pict;*.pct", pict.Finish()},
                 {"mag.spi", "Vantoria MAG plug-in", "*.mag", EncodeMag(p16)},
                 {"pi.spi", "Vantoria Pi plug-in", "*.pi", EncodePi(p16)},
                 {"pic.spi", "Vantoria PIC plug-in", "*.pic", EncodePic(p16, 4)}};
    const char* const everyPlugin[] = {"png.spi", "jpeg.spi", "gif.spi", "dib.spi", "pict.spi", "mag.spi", "pi.spi", "pic.spi"};
    TempDir dir;
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.plugin);
        const Plugin plugin(kind.plugin);
        EXPECT_EQ(plugin.Info(0), "00IN");
        EXPECT_EQ(plugin.Info(1), kind.name);
        EXPECT_EQ(plugin.Info(2), kind.pattern);
        EXPECT_FALSE(plugin.Info(3).empty());
        // Only its own plug-in takes a file, whatever its name.
        const auto file = dir / "picture.png";
        WriteFile(file, kind.bytes);
        for (const char* other : everyPlugin)
            EXPECT_EQ(Plugin(other).Supports(file), std::string(other) == kind.plugin ? 1 : 0) << other;
        for (int stopAt : {-1, 1}) {
            Calls calls;
            calls.stopAt = stopAt;
            gCalls = &calls;
            SusieHandle info = nullptr, bits = nullptr;
            const std::int32_t code = plugin.getPicture(file.c_str(), 0, 0, &info, &bits, &Callback, 0);
            EXPECT_TRUE(calls.rising);
            EXPECT_EQ(code, stopAt < 0 ? SUSIE_OK : SUSIE_ERR_CANCELLED);
            if (stopAt < 0) {
                EXPECT_EQ(calls.last, 30);
            }
            susie_block_free(info);
            susie_block_free(bits);
        }
        gCalls = nullptr;
    }
}

}  // namespace
}  // namespace vantoria::spi::test
