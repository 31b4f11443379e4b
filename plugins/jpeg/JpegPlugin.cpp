// JPEG plug-in: libjpeg decodes straight into the bottom-up rows of the
// block it hands over; CMYK pictures go through one row of CMYK. The input
// is read through a small buffer as libjpeg asks for it, never whole: what
// follows the picture in the file is not read at all. An ICC profile (APP2)
// converts the finished rows to sRGB.
//
// libjpeg reports errors through longjmp, so every call into it runs in
// Guard(), which turns the jump into a PluginError; nothing with a
// destructor lives in the frames it jumps over.

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first

#include <jpeglib.h>
#include <jerror.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "ColourProfile.h"
#include "DeclaredHeads.h"
#include "EntropyScout.h"
#include "Freer.h"
#include "JpegReduced.h"
#include "Limits.h"
#include "PluginError.h"
#include "PluginFormat.h"
#include "RowSplice.h"
#include "UsableCores.h"
#include "platform/memory/MemoryBudget.h"

namespace vantoria::spi {
namespace {

bool Recognise(std::span<const std::uint8_t> head) {
    return head.size() >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF;
}

SUSIE_DECLARE_HEADS(1, Head(0, "\xFF\xD8\xFF"));

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

// libjpeg's source manager over a Source, or over a file remade from it.
struct Input {
    jpeg_source_mgr mgr{};  // first: libjpeg hands back a pointer to it
    const Source* source = nullptr;
    const RowSplice* splice = nullptr;  // read instead of the source when set
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
        got = input.splice ? input.splice->ReadAt(input.next, input.buffer, sizeof input.buffer)
                           : input.source->ReadAt(input.next, input.buffer, sizeof input.buffer);
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

// Where the decoders of one picture meet. The first (the caller's thread)
// decodes from the top; the scouting one follows the coded data down to
// find where the others start, and starts each where it and the decoder
// above it would end together if they decode at one speed: the rows that
// decoder has yet to take, shared among it and the decoders still to
// start, as that stands when the scout gets there (with two decoders,
// halfway between the first one's row and the bottom). So the split follows
// the real cost of this picture's entropy decoding and whatever processor
// time each thread gets, with no model of either. The last decoder to
// start is the scouting one itself. Rows are claimed in whole row groups
// (where libjpeg's skip is cheap); every decoder claims rows before it
// writes them, so no two ever write one row.
class Meeting {
public:
    // `decoders` counts the first one and the scouting one too (two at least).
    Meeting(int height, int group, int decoders)
        : height_(height), group_(std::max(group, 1)), wanted_(std::max(decoders, 2)) {
        parts_.reserve(static_cast<std::size_t>(wanted_) + 1);
        parts_.push_back({height_, 0});
    }

    // The first decoder's part, and the part of every decoder that starts
    // further down, numbered from the top in the order they start.
    static constexpr int kFirst = 0;

    // For part `part`'s decoder before it decodes rows up to `end`: how far
    // it may go (short of `end` once a decoder further down owns the rows).
    int Takes(int part, int end) {
        const std::lock_guard<std::mutex> lock(mutex_);
        Part& p = parts_[static_cast<std::size_t>(part)];
        end = std::min(end, p.limit);
        p.reached = std::max(p.reached, end);
        return end;
    }

    // What the scouting decoder does next, having skipped to `row` (a
    // group's start): skip `rows` more, start another decoder at `row` (now
    // part `part`, claimed), take the rows from `row` down itself, or stop
    // (too little left for one more decoder). The next start lies no higher
    // than its share, where the skip goes at once; none starts before the
    // scout has skipped some rows.
    struct Step {
        enum Kind { kSkip, kStart, kOwn, kStop } kind = kStop;
        int rows = 0;
        int part = -1;
    };
    Step At(int row) {
        const std::lock_guard<std::mutex> lock(mutex_);
        Part& last = parts_.back();
        const int toStart = wanted_ - static_cast<int>(parts_.size());
        const int meet = (last.reached + (height_ - last.reached) / (toStart + 1)) / group_ * group_;
        if (toStart < 1 || height_ - std::max(row, meet) < 2 * group_) return {};
        if (row > 0 && row >= last.reached && meet - row <= 2 * group_) {
            last.limit = row;
            parts_.push_back({height_, row});
            return {toStart == 1 ? Step::kOwn : Step::kStart, 0, static_cast<int>(parts_.size()) - 1};
        }
        return {Step::kSkip, std::max(meet - row, group_), -1};
    }

    // For the scouting decoder once its rows are done (it can start anywhere
    // above them): the lower half of what the decoder with the most rows left
    // has not yet taken, as [first row, end), now part `part`; nothing when
    // too little is left to pay for another start. The decoders rarely end
    // together: they share the processors with everything else.
    std::optional<std::pair<int, int>> Steal(int part) {
        const std::lock_guard<std::mutex> lock(mutex_);
        Part* from = nullptr;
        for (std::size_t i = 0; i < parts_.size(); ++i) {
            Part& p = parts_[i];
            if (static_cast<int>(i) != part && (from == nullptr || p.limit - p.reached > from->limit - from->reached))
                from = &p;
        }
        if (from == nullptr) return std::nullopt;
        const int to = from->limit;
        const int first = (from->reached + to) / 2 / group_ * group_ + group_;
        if (to - first < 4 * group_ || first < from->reached) return std::nullopt;
        from->limit = first;
        parts_[static_cast<std::size_t>(part)] = {to, first};
        return std::pair{first, to};
    }

    // Part `part`'s decoder has ended: `decoded` when it wrote every row it
    // claimed.
    void Ended(int part, bool decoded) {
        const std::lock_guard<std::mutex> lock(mutex_);
        parts_[static_cast<std::size_t>(part)].decoded = decoded;
    }
    // Every part but the first one's has been decoded (true when no other
    // decoder took any).
    bool OthersDecoded() {
        const std::lock_guard<std::mutex> lock(mutex_);
        return std::all_of(parts_.begin() + 1, parts_.end(), [](const Part& p) { return p.decoded; });
    }

private:
    struct Part {
        int limit;     // its first row not its own (the next part's start, or the height)
        int reached;   // rows up to which it has claimed
        bool decoded = false;
    };
    std::mutex mutex_;
    const int height_;
    const int group_;
    const int wanted_;
    std::vector<Part> parts_;  // in the order the decoders started, each one below the last (a
                               // part stolen later keeps its thief's place)
};

class JpegDecoder final : public Decoder {
public:
    // Reads `source`, or `splice` (made from it) when given.
    explicit JpegDecoder(const Source& source, const RowSplice* splice = nullptr) : source_(source) {
        input_.source = &source;
        input_.splice = splice;
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
            jpeg_save_markers(&cinfo_, kIccMarker, 0xFFFF);
            jpeg_read_header(&cinfo_, TRUE);
        });
        dataStart_ = input_.next - input_.mgr.bytes_in_buffer;
        CheckSize(cinfo_.image_width, cinfo_.image_height);
        size_ = {static_cast<int>(cinfo_.image_width), static_cast<int>(cinfo_.image_height)};
    }
    PictureSize Size() const override { return size_; }

    // Decodes at the smallest of libjpeg's 1/2, 1/4 and 1/8 scales that is
    // still at least minWidth x minHeight (or at full size); Size() is then
    // the reduced size. The scaled inverse transforms skip most of the work.
    // libjpeg's other scales (3/8, 6/8 and so on) are left alone: their
    // inverse transforms are plain C, and cost more than the smaller picture
    // saves after them (a 24 MP photograph onto 3840 x 2160 at 6/8 took a
    // fifth more processor time over the whole change than at full size).
    void ReduceTo(int minWidth, int minHeight) {
        for (const unsigned denom : {8u, 4u, 2u}) {
            const auto scaled = [denom](JDIMENSION side) { return (side + denom - 1) / denom; };
            const JDIMENSION w = scaled(cinfo_.image_width), h = scaled(cinfo_.image_height);
            if (w >= static_cast<JDIMENSION>(std::max(minWidth, 1)) && h >= static_cast<JDIMENSION>(std::max(minHeight, 1))) {
                ScaleBy(denom);
                return;
            }
        }
    }

    void Decode(Dib24& out, Progress& progress) override {
        const bool cmyk = cinfo_.jpeg_color_space == JCS_CMYK || cinfo_.jpeg_color_space == JCS_YCCK;
        if (cmyk) cmykRow_.resize(std::size_t(out.Width()) * 4);
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
        // The lower parts on threads of their own, when they pay; should one
        // fail for any reason, this thread goes on through them as if alone.
        if (const int decoders = cmyk ? 1 : DecodersWorthIt(); decoders >= 2) {
            std::unique_ptr<SpliceBase> plan = SplicePlan();
            // Without the plan only one other decoder can find its row.
            Meeting meeting(height, RowGroup(), plan ? decoders : 2);
            LowerPart lower(source_, cinfo_.scale_denom, out, meeting, std::move(plan), RowGroup());
            ReadUpperRows(out, meeting, progress);
            if (lower.Finish(meeting)) {
                progress.Report(height, height);
            } else {
                ReadRows(out, height, false, progress);
            }
        } else {
            ReadRows(out, height, cmyk, progress);
        }
        if (const auto toSrgb = EmbeddedProfile()) toSrgb->Convert(out);
    }

    // For the second thread: entropy-decodes rows (libjpeg's skip, cheaper
    // than decoding them) until it reaches the meeting point, then decodes
    // the rest of `out` from there; stops early once `stop` is set. Returns
    // whether it decoded rows of its own. Throws PluginError.
    void DecodeLower(Dib24& out, Meeting& meeting, const std::atomic<bool>& stop) {
        Guard([&] {
            cinfo_.out_color_space = JCS_EXT_BGR;
            jpeg_start_decompress(&cinfo_);
        });
        int row = 0;
        for (;;) {
            if (stop.load(std::memory_order_relaxed)) return;
            const Meeting::Step step = meeting.At(row);
            if (step.kind == Meeting::Step::kStop) return;  // nothing left worth a second decoder
            if (step.kind == Meeting::Step::kSkip) {
                Guard([&] {
                    if (jpeg_skip_scanlines(&cinfo_, static_cast<JDIMENSION>(step.rows)) != static_cast<JDIMENSION>(step.rows))
                        JumpWith(reinterpret_cast<j_common_ptr>(&cinfo_), SUSIE_ERR_BROKEN_DATA, "cannot skip rows");
                });
                row += step.rows;
                continue;
            }
            // The rows from `row` down are this thread's (the only other decoder).
            meeting.Ended(step.part, ReadPart(out, 0, meeting, step.part, stop));
            return;
        }
    }

    // Starts a decoder on a thread of its own for part `part` of the
    // meeting, `above` being where the row of MCUs above the part starts;
    // false when no thread could be had.
    using StartDecoder = std::function<bool(int part, int from, const RowStart& above)>;

    // For the scouting thread, when the picture allows it: follows the coded
    // data with the scout (several times faster than libjpeg's skip) down to
    // where each other decoder starts, starts them there, and then decodes
    // the rest of `out` itself, each with a decoder of the file remade to
    // start a row above its first one; that row and the made one before it
    // are skipped. Throws PluginError.
    static void DecodeLowerScouted(const Source& source, const SpliceBase& base, unsigned denom, int group, Dib24& out,
                                   Meeting& meeting, const std::atomic<bool>& stop, const StartDecoder& start) {
        EntropyScout scout(source, base.places.data, base.shape);
        if (!scout.Usable()) return;
        int row = 0;
        int own = -1;
        while (own < 0) {
            if (stop.load(std::memory_order_relaxed)) return;
            const Meeting::Step step = meeting.At(row);
            switch (step.kind) {
            case Meeting::Step::kStop:
                return;  // the decoders started so far take the rest
            case Meeting::Step::kSkip:
                // Data the scout cannot follow: the same.
                if (!scout.SkipTo((row + step.rows) / group)) return;
                row += step.rows;
                break;
            case Meeting::Step::kStart:
                // Unclaimed for want of a thread, the part stays undecoded,
                // and the first decoder goes on through it.
                if (const RowStart* above = scout.StartOf(row / group - 1); above == nullptr || !start(step.part, row, *above))
                    return;
                break;
            case Meeting::Step::kOwn:
                own = step.part;
                break;
            }
        }
        bool decoded = true;
        for (int from = row;;) {
            const RowStart* above = scout.StartOf(from / group - 1);
            if (above == nullptr || !DecodeRowsFrom(source, base, *above, denom, group, out, from, meeting, own, stop)) {
                decoded = false;
                break;
            }
            // Then rows another decoder has not reached, while enough are left.
            const std::optional<std::pair<int, int>> more = meeting.Steal(own);
            if (!more) break;
            from = more->first;
        }
        meeting.Ended(own, decoded);
    }

    // The rows of part `part` of `out` from its first one, `from` (a group's
    // start), with a decoder of the file remade to start at `above`, a row
    // above; that row and the made one before it are skipped.
    static bool DecodeRowsFrom(const Source& source, const SpliceBase& base, const RowStart& above, unsigned denom,
                               int group, Dib24& out, int from, Meeting& meeting, int part,
                               const std::atomic<bool>& stop) {
        const std::optional<RowSplice> splice = RowSplice::Make(source, base, above);
        if (!splice) return false;
        JpegDecoder decoder(source, &*splice);
        decoder.ScaleLike(denom);
        const int skipped = 2 * group;
        if (decoder.Size().width != out.Width() || decoder.Size().height != out.Height() - from + skipped) return false;
        decoder.Guard([&] {
            decoder.cinfo_.out_color_space = JCS_EXT_BGR;
            jpeg_start_decompress(&decoder.cinfo_);
            if (jpeg_skip_scanlines(&decoder.cinfo_, static_cast<JDIMENSION>(skipped)) != static_cast<JDIMENSION>(skipped))
                JumpWith(reinterpret_cast<j_common_ptr>(&decoder.cinfo_), SUSIE_ERR_BROKEN_DATA, "cannot skip rows");
        });
        return decoder.ReadPart(out, from - skipped, meeting, part, stop);
    }

    // Scales as another decoder of the same picture was asked to.
    void ScaleLike(unsigned denom) { ScaleBy(denom); }

private:
    // The second decoder and its thread; the destructor stops and joins it,
    // so nothing of it outlives the rows it writes.
    class LowerPart {
    public:
        LowerPart(const Source& source, unsigned denom, Dib24& out, Meeting& meeting,
                  std::unique_ptr<SpliceBase> plan, int group) {
            try {
                if (plan) {
                    plan_ = std::move(plan);
                    const StartDecoder start = [this, &source, denom, group, &out, &meeting](int part, int from,
                                                                                           const RowStart& above) {
                        const std::lock_guard<std::mutex> lock(mutex_);
                        try {
                            others_.emplace_back([this, &source, denom, group, &out, &meeting, part, from, above] {
                                try {
                                    meeting.Ended(part, DecodeRowsFrom(source, *plan_, above, denom, group, out, from,
                                                                       meeting, part, stop_));
                                } catch (...) {
                                    // the first thread decodes these rows itself
                                }
                            });
                        } catch (const std::system_error&) {
                            return false;
                        }
                        return true;
                    };
                    scouting_ = std::thread([this, &source, denom, group, &out, &meeting, start] {
                        try {
                            DecodeLowerScouted(source, *plan_, denom, group, out, meeting, stop_, start);
                        } catch (...) {
                            // the first thread decodes these rows itself
                        }
                    });
                    return;
                }
                decoder_ = std::make_unique<JpegDecoder>(source);
                decoder_->ScaleLike(denom);
                if (decoder_->Size().width != out.Width() || decoder_->Size().height != out.Height()) return;
                scouting_ = std::thread([this, &out, &meeting] {
                    try {
                        decoder_->DecodeLower(out, meeting, stop_);
                    } catch (...) {
                        // the first thread decodes these rows itself
                    }
                });
            } catch (...) {
                // no decoder or no thread to be had: the same
            }
        }
        ~LowerPart() {
            stop_.store(true);
            Join();
        }
        LowerPart(const LowerPart&) = delete;
        LowerPart& operator=(const LowerPart&) = delete;

        // Waits for the threads: true when every row another decoder claimed
        // has been decoded.
        bool Finish(Meeting& meeting) {
            Join();
            return meeting.OthersDecoded();
        }

    private:
        // The scouting thread first: only it starts the others.
        void Join() {
            if (scouting_.joinable()) scouting_.join();
            for (std::thread& other : others_)
                if (other.joinable()) other.join();
        }

        std::unique_ptr<JpegDecoder> decoder_;
        std::unique_ptr<SpliceBase> plan_;
        std::atomic<bool> stop_{false};
        std::mutex mutex_;
        std::vector<std::thread> others_;  // started by the scouting thread
        std::thread scouting_;             // last: started once the rest is in place
    };

    void ScaleBy(unsigned denom) {
        cinfo_.scale_num = 1;
        cinfo_.scale_denom = denom;
        Guard([this] { jpeg_calc_output_dimensions(&cinfo_); });
        size_ = {static_cast<int>(cinfo_.output_width), static_cast<int>(cinfo_.output_height)};
    }

    // Reads rows until `end` (counted from the top); CMYK rows go through
    // one row of ink.
    void ReadRows(Dib24& out, int end, bool cmyk, Progress& progress) {
        const int height = out.Height();
        while (static_cast<int>(cinfo_.output_scanline) < end) {
            const int y = static_cast<int>(cinfo_.output_scanline);
            JSAMPROW rows[8];
            int count = 0;
            if (cmyk) {
                rows[count++] = cmykRow_.data();
            } else {
                for (; count < 8 && y + count < end; ++count) rows[count] = out.Row(y + count);
            }
            JDIMENSION done = 0;
            Guard([&] { done = jpeg_read_scanlines(&cinfo_, rows, static_cast<JDIMENSION>(count)); });
            if (done == 0) throw PluginError(SUSIE_ERR_BROKEN_DATA, "no rows decoded");
            if (cmyk) PutCmykRow(out.Row(y));
            progress.Report(y + static_cast<int>(done), height);
        }
    }

    // Reads the rows of part `part` into `out`, this decoder's row y being
    // out's y + offset, as far as the part reaches (it may shrink meanwhile);
    // stops early once `stop` is set. True when it read them all.
    bool ReadPart(Dib24& out, int offset, Meeting& meeting, int part, const std::atomic<bool>& stop) {
        const int height = out.Height();
        while (cinfo_.output_scanline < cinfo_.output_height) {
            if (stop.load(std::memory_order_relaxed)) return false;
            const int y = static_cast<int>(cinfo_.output_scanline) + offset;
            const int end = meeting.Takes(part, std::min(y + 8, height));
            if (end <= y) break;
            JSAMPROW rows[8];
            int count = 0;
            for (; y + count < end; ++count) rows[count] = out.Row(y + count);
            JDIMENSION done = 0;
            Guard([&] { done = jpeg_read_scanlines(&cinfo_, rows, static_cast<JDIMENSION>(count)); });
            if (done == 0) throw PluginError(SUSIE_ERR_BROKEN_DATA, "no rows decoded");
        }
        return !stop.load();
    }

    // What a decoder starting mid-picture needs, for the pictures that
    // allow one; nothing for any other.
    std::unique_ptr<SpliceBase> SplicePlan() const { return SpliceBaseOf(cinfo_, source_, dataStart_); }

    // Reads rows from the top until another decoder's rows (or the end).
    void ReadUpperRows(Dib24& out, Meeting& meeting, Progress& progress) {
        const int height = out.Height();
        for (;;) {
            const int y = static_cast<int>(cinfo_.output_scanline);
            if (y >= height) return;
            const int end = meeting.Takes(Meeting::kFirst, std::min(y + 8, height));
            if (end <= y) return;  // the rest is other decoders'
            JSAMPROW rows[8];
            int count = 0;
            for (; y + count < end; ++count) rows[count] = out.Row(y + count);
            JDIMENSION done = 0;
            Guard([&] { done = jpeg_read_scanlines(&cinfo_, rows, static_cast<JDIMENSION>(count)); });
            if (done == 0) throw PluginError(SUSIE_ERR_BROKEN_DATA, "no rows decoded");
            progress.Report(y + static_cast<int>(done), height);
        }
    }

    // How many decoders the picture is worth, the caller's one included
    // (1: no other). Another decoder pays from a quarter of a million pixels
    // (a photograph's preview at 1/8 has more), decoded in one scan
    // (progressive and multi-scan files are held whole as coefficients
    // first), on a machine of more than one processor; one more for each
    // quarter of a million pixels, up to one for each processor (and 8).
    int DecodersWorthIt() const {
        const std::uint64_t pixels = std::uint64_t{cinfo_.output_width} * cinfo_.output_height;
        if (pixels < (std::uint64_t{1} << 18) || cinfo_.output_height < 64 || cinfo_.progressive_mode ||
            cinfo_.buffered_image || jpeg_has_multiple_scans(&cinfo_))
            return 1;
        const std::uint64_t worth = std::max<std::uint64_t>(2, pixels >> 18);
        return static_cast<int>(std::min<std::uint64_t>({ProcessorsForDecoders(), 8, worth}));
    }

    // The processors this process may run on; VANTORIA_JPEG_DECODERS (1 to
    // 8) stands in for them, for tests on machines of fewer.
    static std::size_t ProcessorsForDecoders() {
        if (const char* given = std::getenv("VANTORIA_JPEG_DECODERS"); given != nullptr) {
            char* end = nullptr;
            const long n = std::strtol(given, &end, 10);
            if (end != given && *end == '\0' && n >= 1 && n <= 8) return static_cast<std::size_t>(n);
        }
        return UsableCores();
    }

    // Output rows of one row group, the unit of libjpeg's skip.
    int RowGroup() const { return std::max(1, cinfo_.max_v_samp_factor * cinfo_.min_DCT_scaled_size); }

    // An ICC profile comes in APP2 segments (in pieces when larger than one).
    static constexpr int kIccMarker = JPEG_APP0 + 2;

    // The conversion the picture's ICC profile asks for. CMYK pictures keep
    // their own conversion: a profile of ink is not applied.
    std::optional<ToSrgb> EmbeddedProfile() {
        if (cinfo_.out_color_space == JCS_CMYK) return std::nullopt;
        JOCTET* icc = nullptr;
        unsigned int length = 0;
        // A malformed profile is only a warning; without one, nothing.
        Guard([&] { jpeg_read_icc_profile(&cinfo_, &icc, &length); });
        const std::unique_ptr<JOCTET, Freer<std::free>> held(icc);
        if (icc == nullptr) return std::nullopt;
        return ToSrgb::FromIcc({icc, length});
    }

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
        for (JDIMENSION x = 0; x < cinfo_.output_width; ++x, s += 4, d += 3)
            d[0] = Ink(s[2], s[3]), d[1] = Ink(s[1], s[3]), d[2] = Ink(s[0], s[3]);
    }

    const Source& source_;
    Input input_{};
    Errors errors_;
    jpeg_progress_mgr progress_{};
    Decompressor decompressor_;
    jpeg_decompress_struct& cinfo_ = decompressor_.cinfo;
    std::vector<std::uint8_t> cmykRow_;
    PictureSize size_;
    std::uint64_t dataStart_ = 0;  // where the first scan's coded data starts
};

std::unique_ptr<Decoder> Open(const Source& source) { return std::make_unique<JpegDecoder>(source); }

const char* const kInfo[] = {SUSIE_API_VERSION, "Vantoria JPEG plug-in", "*.jpg;*.jpeg;*.jpe;*.jfif",
                             "JPEG pictures"};

}  // namespace

const PluginFormat kPluginFormat = {kInfo, 4, 3, &Recognise, &Open};

std::unique_ptr<Decoder> OpenReduced(const Source& source, int minWidth, int minHeight) {
    auto decoder = std::make_unique<JpegDecoder>(source);
    decoder->ReduceTo(minWidth, minHeight);
    return decoder;
}

}  // namespace vantoria::spi
