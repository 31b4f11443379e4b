// JPEG plug-in: libjpeg decodes straight into the bottom-up rows of the
// block it hands over; CMYK pictures go through one row of CMYK. The input
// is read through a small buffer as libjpeg asks for it, never whole: what
// follows the picture in the file is not read at all.
//
// libjpeg reports errors through longjmp, so every call into it runs in
// Guard(), which turns the jump into a PluginError; nothing with a
// destructor lives in the frames it jumps over.

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first

#include <jpeglib.h>
#include <jerror.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "Limits.h"
#include "PluginError.h"
#include "PluginFormat.h"
#include "platform/memory/MemoryBudget.h"

namespace vantoria::spi {
namespace {

bool Recognise(std::span<const std::uint8_t> head) {
    return head.size() >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF;
}

// A progressive file of more scans than this is hostile: each scan walks
// the whole picture again.
constexpr int kMaxScans = 500;

// Inverted CMYK, as Adobe writes it and libjpeg-turbo's own conversions take
// it: each stored value is 255 minus the ink, so R = C * K / 255.
inline std::uint8_t Ink(unsigned c, unsigned k) { return static_cast<std::uint8_t>((c * k + 127) / 255); }

// libjpeg's error manager with where to jump and what to say.
struct Errors {
    jpeg_error_mgr mgr;  // first: libjpeg hands back a pointer to it
    std::jmp_buf jump;
    std::int32_t code = SUSIE_ERR_BROKEN_DATA;
    char text[JMSG_LENGTH_MAX] = {};
    bool ranOut = false;  // the input ended without an end-of-image marker
};

Errors& ErrorsOf(j_common_ptr cinfo) { return *reinterpret_cast<Errors*>(cinfo->err); }

[[noreturn]] void Jump(j_common_ptr cinfo, std::int32_t code) {
    Errors& errors = ErrorsOf(cinfo);
    errors.code = code;
    (*cinfo->err->format_message)(cinfo, errors.text);
    std::longjmp(errors.jump, 1);
}

// For failures of our own, with our text.
[[noreturn]] void JumpWith(j_common_ptr cinfo, std::int32_t code, const char* text) {
    Errors& errors = ErrorsOf(cinfo);
    errors.code = code;
    std::snprintf(errors.text, sizeof errors.text, "%s", text);
    std::longjmp(errors.jump, 1);
}

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
    const int msg = cinfo->err->msg_code;
    Jump(cinfo, msg == JERR_OUT_OF_MEMORY || msg == JERR_NO_BACKING_STORE ? SUSIE_ERR_NO_MEMORY
                                                                          : SUSIE_ERR_BROKEN_DATA);
}

// Warnings are told apart by their codes. Scan data that stops before the
// picture is complete (a marker, the end-of-image one included, where pixels
// should be) would be shown as grey: refused at once. A missing end-of-image
// marker only matters when data is missing too; everything else (stray bytes
// between segments, which many cameras leave, a damaged restart marker) is
// decoded as well as libjpeg can.
void EmitMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;  // trace messages
    ++cinfo->err->num_warnings;
    if (cinfo->err->msg_code == JWRN_HIT_MARKER) Jump(cinfo, SUSIE_ERR_BROKEN_DATA);
    if (cinfo->err->msg_code == JWRN_JPEG_EOF) ErrorsOf(cinfo).ranOut = true;
}

void LimitScans(j_common_ptr cinfo) {
    if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans)
        JumpWith(cinfo, SUSIE_ERR_BROKEN_DATA, "too many scans");
}

// The decompressor, released however its making or use ends. Released
// unmade (all zero), it is left alone.
struct Decompressor {
    jpeg_decompress_struct cinfo{};
    Decompressor() = default;
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;
    ~Decompressor() { jpeg_destroy_decompress(&cinfo); }
};

constexpr std::size_t kInputBufferBytes = 64 * 1024;

// libjpeg's source manager over a Source.
struct Input {
    jpeg_source_mgr mgr{};  // first: libjpeg hands back a pointer to it
    const Source* source = nullptr;
    std::uint64_t next = 0;  // where the next read starts
    JOCTET buffer[kInputBufferBytes] = {};
};

Input& InputOf(j_decompress_ptr cinfo) { return *reinterpret_cast<Input*>(cinfo->src); }

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
    Input& input = InputOf(cinfo);
    std::size_t got = 0;
    bool failed = false;
    try {
        got = input.source->ReadAt(input.next, input.buffer, sizeof input.buffer);
    } catch (...) {
        failed = true;  // reported below, outside the handler: the jump must not leave it
    }
    if (failed) JumpWith(reinterpret_cast<j_common_ptr>(cinfo), SUSIE_ERR_FILE_READ, "read error");
    input.next += got;
    if (got == 0) {
        // The file ends: an end-of-image marker stands in, as libjpeg's
        // own sources do, and the warning says so.
        WARNMS(cinfo, JWRN_JPEG_EOF);
        input.buffer[0] = 0xFF;
        input.buffer[1] = JPEG_EOI;
        got = 2;
    }
    input.mgr.next_input_byte = input.buffer;
    input.mgr.bytes_in_buffer = got;
    return TRUE;
}

// Skipped segments (camera thumbnails, say) are not read at all.
void SkipInputData(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    Input& input = InputOf(cinfo);
    auto n = static_cast<std::size_t>(count);
    if (n <= input.mgr.bytes_in_buffer) {
        input.mgr.next_input_byte += n;
        input.mgr.bytes_in_buffer -= n;
        return;
    }
    n -= input.mgr.bytes_in_buffer;
    input.next += n;
    input.mgr.bytes_in_buffer = 0;
}

class JpegDecoder final : public Decoder {
public:
    explicit JpegDecoder(const Source& source) {
        input_.source = &source;
        input_.mgr.init_source = &InitSource;
        input_.mgr.fill_input_buffer = &FillInputBuffer;
        input_.mgr.skip_input_data = &SkipInputData;
        input_.mgr.resync_to_restart = &jpeg_resync_to_restart;
        input_.mgr.term_source = &TermSource;
        cinfo_.err = jpeg_std_error(&errors_.mgr);
        errors_.mgr.error_exit = &ErrorExit;
        errors_.mgr.emit_message = &EmitMessage;
        progress_.progress_monitor = &LimitScans;
        Guard([this] {
            jpeg_create_decompress(&cinfo_);
            cinfo_.progress = &progress_;
            cinfo_.src = &input_.mgr;
            jpeg_read_header(&cinfo_, TRUE);
        });
        CheckSize(cinfo_.image_width, cinfo_.image_height);
    }
    PictureSize Size() const override {
        return {static_cast<int>(cinfo_.image_width), static_cast<int>(cinfo_.image_height)};
    }

    void Decode(Dib24& out, Progress& progress) override {
        const bool cmyk = cinfo_.jpeg_color_space == JCS_CMYK || cinfo_.jpeg_color_space == JCS_YCCK;
        if (cmyk) cmykRow_.resize(std::size_t{cinfo_.image_width} * 4);
        // A progressive picture is held as coefficients, about as large as
        // its rows, until its last scan: that too must fit beside the rows.
        // Beyond the limit libjpeg fails (it has no files to spill to)
        // instead of the process being killed.
        if (const auto room = imaging::AvailableMemory()) {
            const std::uint64_t rows = imaging::PictureBytes(out.Width(), out.Height());
            const std::uint64_t left = *room > rows ? *room - rows : 1;
            cinfo_.mem->max_memory_to_use = static_cast<long>(std::min<std::uint64_t>(left, LONG_MAX));
        }
        Guard([&] {
            cinfo_.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
            jpeg_start_decompress(&cinfo_);
        });
        // A progressive file is read whole by now; one that ran out before
        // its last scans would show a blurred or discoloured picture.
        if (errors_.ranOut && cinfo_.progressive_mode && !AllCoefficientsComplete())
            throw PluginError(SUSIE_ERR_BROKEN_DATA, "the file ends before the picture's last scans");

        const int height = out.Height();
        while (cinfo_.output_scanline < cinfo_.output_height) {
            const int y = static_cast<int>(cinfo_.output_scanline);
            JSAMPROW rows[8];
            int count = 0;
            if (cmyk) {
                rows[count++] = cmykRow_.data();
            } else {
                for (; count < 8 && y + count < height; ++count) rows[count] = out.Row(y + count);
            }
            JDIMENSION done = 0;
            Guard([&] { done = jpeg_read_scanlines(&cinfo_, rows, static_cast<JDIMENSION>(count)); });
            if (done == 0) throw PluginError(SUSIE_ERR_BROKEN_DATA, "no rows decoded");
            if (cmyk) PutCmykRow(out.Row(y));
            progress.Report(y + static_cast<int>(done), height);
        }
    }

private:
    // Runs libjpeg calls; its errors come back here as a jump.
    template <class Step>
    void Guard(Step&& step) {
        if (setjmp(errors_.jump) != 0) throw PluginError(errors_.code, errors_.text);
        step();
    }

    // Every coefficient of every component has received its last bit.
    bool AllCoefficientsComplete() const {
        for (int c = 0; c < cinfo_.num_components; ++c)
            for (int k = 0; k < DCTSIZE2; ++k)
                if (cinfo_.coef_bits[c][k] != 0) return false;
        return true;
    }

    void PutCmykRow(std::uint8_t* d) const {
        const std::uint8_t* s = cmykRow_.data();
        for (JDIMENSION x = 0; x < cinfo_.image_width; ++x, s += 4, d += 3)
            d[0] = Ink(s[2], s[3]), d[1] = Ink(s[1], s[3]), d[2] = Ink(s[0], s[3]);
    }

    Input input_{};
    Errors errors_;
    jpeg_progress_mgr progress_{};
    Decompressor decompressor_;
    jpeg_decompress_struct& cinfo_ = decompressor_.cinfo;
    std::vector<std::uint8_t> cmykRow_;
};

std::unique_ptr<Decoder> Open(const Source& source) { return std::make_unique<JpegDecoder>(source); }

const char* const kInfo[] = {SUSIE_API_VERSION, "Vantoria JPEG plug-in", "*.jpg;*.jpeg;*.jpe;*.jfif",
                             "JPEG pictures"};

}  // namespace

const PluginFormat kPluginFormat = {kInfo, 4, 3, &Recognise, &Open};

}  // namespace vantoria::spi
