// libFuzzer target for the JPEG plug-in's second decoder: for a baseline
// picture, the scout's start of every row of MCUs, remade into a file, must
// decode (with libjpeg) to the whole file's rows from the row after on; the
// scout may stop at damaged data, never go wrong past it. A row that
// differs is a bug.

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <vector>

#include <jpeglib.h>

#include "EntropyScout.h"
#include "RowSplice.h"

namespace {

using vantoria::spi::EntropyScout;
using vantoria::spi::FindHeaderPlaces;
using vantoria::spi::RowSplice;
using vantoria::spi::Source;
using vantoria::spi::SpliceBase;

constexpr unsigned long kMaxPixels = 1ul << 18;

struct Failed {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

void Quiet(j_common_ptr, int) {}

// libjpeg's rows of the bytes, and its view of them; empty on failure or a
// picture too large to be quick.
struct Whole {
    std::vector<std::uint8_t> rgb;
    std::size_t rowBytes = 0;
};

// Decodes `bytes`; with `base`, also makes the plan of a second decoder.
Whole DecodeOnce(const std::vector<std::uint8_t>& bytes, const Source* source, std::unique_ptr<SpliceBase>* base) {
    jpeg_decompress_struct cinfo{};
    Failed errors{};
    cinfo.err = jpeg_std_error(&errors.mgr);
    errors.mgr.error_exit = [](j_common_ptr c) { std::longjmp(reinterpret_cast<Failed*>(c->err)->jump, 1); };
    errors.mgr.emit_message = &Quiet;
    Whole whole;
    if (setjmp(errors.jump) != 0) {
        jpeg_destroy_decompress(&cinfo);
        return {};
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&cinfo, TRUE);
    if (std::uint64_t{cinfo.image_width} * cinfo.image_height > kMaxPixels) {
        jpeg_destroy_decompress(&cinfo);
        return {};
    }
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    if (base) {
        const auto places = FindHeaderPlaces(*source);
        if (places) *base = vantoria::spi::SpliceBaseOf(cinfo, *source, places->data);
    }
    whole.rowBytes = std::size_t(cinfo.output_width) * 3;
    whole.rgb.resize(whole.rowBytes * cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW at = whole.rgb.data() + whole.rowBytes * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &at, 1);
    }
    jpeg_destroy_decompress(&cinfo);
    return whole;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);
    const Source source =
        Source::Open(reinterpret_cast<const char*>(bytes.data()), static_cast<std::intptr_t>(size), SUSIE_INPUT_MEMORY);
    std::unique_ptr<SpliceBase> base;
    const Whole whole = DecodeOnce(bytes, &source, &base);
    if (whole.rgb.empty() || !base) return 0;
    const std::size_t group = whole.rowBytes * static_cast<std::size_t>(base->mcuRowPixels);
    // Rows of damaged data are libjpeg's guess, and its guess depends on how
    // its source hands it the bytes; only the rows up to where the scout
    // stops are the same however they come.
    int valid = 0;
    {
        EntropyScout ahead(source, base->places.data, base->shape);
        while (valid < base->shape.mcuRows && ahead.SkipTo(valid + 1)) ++valid;
    }
    EntropyScout scout(source, base->places.data, base->shape);
    for (int row = 0; row + 1 < valid && row < 64; ++row) {
        if (!scout.SkipTo(row)) break;
        const std::optional<RowSplice> splice = RowSplice::Make(source, *base, scout.Here());
        if (!splice) continue;
        std::vector<std::uint8_t> remade(splice->Size());
        if (splice->ReadAt(0, remade.data(), remade.size()) != remade.size()) std::abort();
        const Whole rows = DecodeOnce(remade, nullptr, nullptr);
        // libjpeg may refuse the remade file only where it refuses the whole.
        if (rows.rgb.empty()) std::abort();
        const std::size_t from = group * std::size_t(row + 1);
        if (rows.rgb.size() != whole.rgb.size() - from + 2 * group) std::abort();
        const std::size_t until = std::min(whole.rgb.size(), group * std::size_t(valid));
        if (!std::equal(whole.rgb.begin() + static_cast<std::ptrdiff_t>(from),
                        whole.rgb.begin() + static_cast<std::ptrdiff_t>(until),
                        rows.rgb.begin() + static_cast<std::ptrdiff_t>(2 * group)))
            std::abort();
    }
    return 0;
}
