// The JPEG plug-in decodes a large picture on two threads, the second one
// from a row further down; its rows must be exactly libjpeg's own
// single-pass decode, at full size and through GetPictureReduced, for every
// chroma subsampling, and a file damaged in its lower part must fail or
// decode as it does in one pass. The second decoder reads a file remade to
// start at its row: from every row, that file's rows are the whole file's.

#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <dlfcn.h>
#include <jpeglib.h>

#include <cstring>

#include "EntropyScout.h"
#include "PluginHarness.h"
#include "RowSplice.h"

namespace vantoria::spi::test {
namespace {

struct Failed {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

// Decompression of `file` at 1/denom, as R, G, B, started.
void Start(jpeg_decompress_struct& cinfo, const std::vector<std::uint8_t>& file, unsigned denom) {
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.scale_num = 1;
    cinfo.scale_denom = denom;
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
}

// libjpeg alone, one decoder, top row first, R, G, B; empty when it fails.
std::vector<std::uint8_t> DecodeOnce(const std::vector<std::uint8_t>& file, unsigned denom) {
    jpeg_decompress_struct cinfo{};
    Failed errors{};
    cinfo.err = jpeg_std_error(&errors.mgr);
    errors.mgr.error_exit = [](j_common_ptr c) { std::longjmp(reinterpret_cast<Failed*>(c->err)->jump, 1); };
    std::vector<std::uint8_t> rgb;
    if (setjmp(errors.jump) != 0) {
        jpeg_destroy_decompress(&cinfo);
        return {};
    }
    Start(cinfo, file, denom);
    const std::size_t row = std::size_t(cinfo.output_width) * 3;
    rgb.resize(row * cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW at = rgb.data() + row * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &at, 1);
    }
    jpeg_destroy_decompress(&cinfo);
    return rgb;
}

// GetPictureReduced of the built plug-in, as R, G, B rows from the top.
Picture DecodeReduced(const std::filesystem::path& path, int minWidth, int minHeight) {
    Picture picture;
    void* module = dlopen((std::string(PLUGIN_DIR) + "/jpeg.spi").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) return picture;
    const auto reduced = reinterpret_cast<SusieGetPictureReducedFn>(dlsym(module, "GetPictureReduced"));
    SusieHandle info = nullptr, bits = nullptr;
    picture.code = reduced(path.c_str(), 0, SUSIE_INPUT_FILE, minWidth, minHeight, &info, &bits, nullptr, 0);
    if (picture.code == SUSIE_OK) {
        SusieBitmapInfoHeader header;
        std::memcpy(&header, susie_block_data(info), sizeof header);
        picture.width = header.biWidth;
        picture.height = header.biHeight;
        const std::size_t stride = (std::size_t(picture.width) * 3 + 3) & ~std::size_t{3};
        const auto* rows = static_cast<const std::uint8_t*>(susie_block_data(bits));
        for (int y = picture.height - 1; y >= 0; --y)
            for (int x = 0; x < picture.width; ++x)
                for (int c = 2; c >= 0; --c) picture.rgb.push_back(rows[stride * y + 3 * x + c]);
    }
    susie_block_free(info);
    susie_block_free(bits);
    dlclose(module);
    return picture;
}

// libjpeg's rows of `once` as the plug-in gives them beside `whole`: a grey
// picture with three equal bytes a pixel.
std::vector<std::uint8_t> AsThePluginGives(const Picture& whole, std::vector<std::uint8_t> once) {
    if (whole.rgb.size() != once.size() * 3) return once;
    std::vector<std::uint8_t> three;
    for (std::uint8_t v : once) three.insert(three.end(), {v, v, v});
    return three;
}

TEST(JpegTwoThreads, RowsAreThoseOfOneDecoder) {
    const Plugin plugin("jpeg.spi");
    TempDir dir;
    // Over a million pixels each, textured so that the split lies off the
    // middle, with heights that are no multiple of the row groups.
    const std::string texture = "-size 1290x1013 -seed 5 plasma:red-blue -attenuate 0.4 +noise Gaussian ";
    for (const char* variant : {"-sampling-factor 2x2", "-sampling-factor 2x1", "-sampling-factor 1x2",
                                "-sampling-factor 1x1", "-colorspace Gray", "-define jpeg:restart-interval=3"}) {
        SCOPED_TRACE(variant);
        const auto file = dir / "split.jpg";
        ASSERT_TRUE(Convert(texture + variant + " -quality 88 JPEG:'" + file.string() + "'"));
        const std::vector<std::uint8_t> bytes = ReadFile(file);
        const Picture whole = Decode(plugin, file);
        ASSERT_EQ(whole.code, SUSIE_OK);
        EXPECT_TRUE(whole.rgb == AsThePluginGives(whole, DecodeOnce(bytes, 1)));
    }
    // A reduced decode of more than a million pixels takes the same path.
    const auto big = dir / "big.jpg";
    ASSERT_TRUE(Convert("-size 2600x1800 -seed 6 plasma:red-blue -sampling-factor 2x2 JPEG:'" + big.string() + "'"));
    const Picture half = DecodeReduced(big, 1200, 800);
    ASSERT_EQ(half.code, SUSIE_OK);
    EXPECT_EQ(half.width, 1300);
    EXPECT_TRUE(half.rgb == DecodeOnce(ReadFile(big), 2));
}

TEST(JpegTwoThreads, DamageInTheLowerPartIsTreatedAsInOnePass) {
    const Plugin plugin("jpeg.spi");
    TempDir dir;
    const auto file = dir / "sample.jpg";
    ASSERT_TRUE(Convert("-size 1400x1000 -seed 8 plasma:red-blue -attenuate 0.3 +noise Gaussian JPEG:'" +
                        file.string() + "'"));
    const std::vector<std::uint8_t> bytes = ReadFile(file);
    const std::size_t late = bytes.size() * 9 / 10;

    // Cut off, or an end-of-image marker where pixels should be: refused.
    std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(late));
    EXPECT_EQ(DecodeMemory(plugin, cut).code, SUSIE_ERR_BROKEN_DATA);
    std::vector<std::uint8_t> marker = bytes;
    marker[late] = 0xFF;
    marker[late + 1] = 0xD9;
    EXPECT_EQ(DecodeMemory(plugin, marker).code, SUSIE_ERR_BROKEN_DATA);

    // Flipped bits decode to libjpeg's own idea of the picture.
    std::vector<std::uint8_t> flipped = bytes;
    flipped[late] ^= 0x5A;
    flipped[late + 7] ^= 0x21;
    const Picture picture = DecodeMemory(plugin, flipped);
    if (picture.code == SUSIE_OK) {
        EXPECT_TRUE(picture.rgb == DecodeOnce(flipped, 1));
    }
}

// More decoders than this machine may have processors for, as a machine of
// more would run: each further one starts where the scout says, and the
// rows are still libjpeg's own, including those of a file damaged in the
// middle (where a decoder below the damage may start from what the scout
// made of it).
TEST(JpegTwoThreads, MoreDecodersGiveTheRowsOfOne) {
    struct Decoders {
        Decoders() { ::setenv("VANTORIA_JPEG_DECODERS", "4", 1); }
        ~Decoders() { ::unsetenv("VANTORIA_JPEG_DECODERS"); }
    } decoders;
    const Plugin plugin("jpeg.spi");
    TempDir dir;
    const std::string texture = "-size 1310x1207 -seed 7 plasma:red-blue -attenuate 0.4 +noise Gaussian ";
    for (const char* variant : {"-sampling-factor 2x2", "-sampling-factor 1x1", "-colorspace Gray"}) {
        SCOPED_TRACE(variant);
        const auto file = dir / "parts.jpg";
        ASSERT_TRUE(Convert(texture + variant + " -quality 88 JPEG:'" + file.string() + "'"));
        const std::vector<std::uint8_t> bytes = ReadFile(file);
        const Picture whole = DecodeMemory(plugin, bytes);
        ASSERT_EQ(whole.code, SUSIE_OK);
        EXPECT_TRUE(whole.rgb == AsThePluginGives(whole, DecodeOnce(bytes, 1)));

        std::vector<std::uint8_t> flipped = bytes;
        for (const std::size_t at : {bytes.size() * 2 / 5, bytes.size() * 3 / 5}) flipped[at] ^= 0x5A;
        const Picture picture = DecodeMemory(plugin, flipped);
        if (picture.code == SUSIE_OK) {
            EXPECT_TRUE(picture.rgb == AsThePluginGives(whole, DecodeOnce(flipped, 1)));
        }
        std::vector<std::uint8_t> marker = bytes;
        marker[bytes.size() / 2] = 0xFF;
        marker[bytes.size() / 2 + 1] = 0xD9;
        EXPECT_EQ(DecodeMemory(plugin, marker).code, SUSIE_ERR_BROKEN_DATA);
    }
}

// Each row of MCUs from the top, as the scout finds it, remade into a file
// that libjpeg decodes; its rows after the made one are compared with those
// of the whole file (from the second on: the first lacks the row above it
// for the chroma's smoothing). Counts the rows tried.
int CompareRemadeRows(const std::vector<std::uint8_t>& bytes, unsigned denom) {
    const std::vector<std::uint8_t> whole = DecodeOnce(bytes, denom);
    if (whole.empty()) return 0;
    const Source source =
        Source::Open(reinterpret_cast<const char*>(bytes.data()), static_cast<std::intptr_t>(bytes.size()), SUSIE_INPUT_MEMORY);
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr mgr{};
    cinfo.err = jpeg_std_error(&mgr);
    Start(cinfo, bytes, denom);
    const std::optional<HeaderPlaces> places = FindHeaderPlaces(source);
    EXPECT_TRUE(places);
    const std::unique_ptr<SpliceBase> base = places ? SpliceBaseOf(cinfo, source, places->data) : nullptr;
    const std::size_t rowBytes = std::size_t(cinfo.output_width) * cinfo.output_components;
    const std::size_t group = rowBytes * std::size_t(base ? base->mcuRowPixels / static_cast<int>(denom) : 0);
    jpeg_destroy_decompress(&cinfo);
    EXPECT_TRUE(base);
    if (!base) return 0;
    // Damaged rows are libjpeg's guess, which depends on how its source
    // hands it the bytes: only those up to where the scout stops are compared.
    int valid = 0;
    {
        EntropyScout ahead(source, base->places.data, base->shape);
        while (valid < base->shape.mcuRows && ahead.SkipTo(valid + 1)) ++valid;
    }
    EntropyScout scout(source, base->places.data, base->shape);
    int tried = 0;
    for (int row = 0; row + 1 < valid; ++row) {
        SCOPED_TRACE(row);
        EXPECT_TRUE(scout.SkipTo(row));
        const std::optional<RowSplice> splice = RowSplice::Make(source, *base, scout.Here());
        EXPECT_TRUE(splice);
        if (!splice) continue;
        std::vector<std::uint8_t> remade(splice->Size());
        EXPECT_EQ(splice->ReadAt(0, remade.data(), remade.size()), remade.size());
        const std::vector<std::uint8_t> rows = DecodeOnce(remade, denom);
        const std::size_t from = group * std::size_t(row + 1);
        EXPECT_EQ(rows.size(), whole.size() - from + 2 * group);
        if (rows.size() != whole.size() - from + 2 * group) continue;
        const std::size_t until = std::min(whole.size(), group * std::size_t(valid));
        EXPECT_TRUE(std::equal(whole.begin() + static_cast<std::ptrdiff_t>(from),
                               whole.begin() + static_cast<std::ptrdiff_t>(until),
                               rows.begin() + static_cast<std::ptrdiff_t>(2 * group)));
        ++tried;
    }
    return tried;
}

TEST(JpegTwoThreads, RemadeFilesFromEveryRowDecodeAsTheWholeFile) {
    TempDir dir;
    // Fine noise (bytes of FF, and so stuffing, everywhere), odd sizes;
    // tables made for the picture (holding only the symbols it uses) and
    // the standard ones; every sampling, grey.
    const std::string texture = "-size 203x157 -seed 9 plasma:green-yellow -attenuate 2 +noise Gaussian ";
    for (const char* variant : {"-sampling-factor 2x2", "-sampling-factor 2x1", "-sampling-factor 1x2",
                                "-sampling-factor 1x1 -quality 97", "-colorspace Gray",
                                "-sampling-factor 2x2 -define jpeg:optimize-coding=false"}) {
        SCOPED_TRACE(variant);
        const auto file = dir / "rows.jpg";
        ASSERT_TRUE(Convert(texture + variant + " JPEG:'" + file.string() + "'"));
        const std::vector<std::uint8_t> bytes = ReadFile(file);
        for (unsigned denom : {1u, 2u, 8u}) {
            SCOPED_TRACE(denom);
            EXPECT_GE(CompareRemadeRows(bytes, denom), 7);
        }
        // Damaged data: as far as the scout goes, the remade file decodes as
        // the whole one does.
        std::vector<std::uint8_t> damaged = bytes;
        for (std::size_t at = damaged.size() / 3; at < damaged.size() - 2; at += damaged.size() / 5) damaged[at] ^= 0x24;
        CompareRemadeRows(damaged, 1);
    }
}

}  // namespace
}  // namespace vantoria::spi::test
