// MNG plug-in: MNG animations (their first frame) and JNG pictures through
// libmng, which draws straight into the handed-over rows. The first frame is
// what stands on the canvas when the animation first waits; transparent parts
// are composed onto black (or the background colour the file asks for).
// Playback is not cached, so loops run once and cannot hold a decode.
// libmng checks each block it allocates, not their sum: its allocations are
// counted and held to the memory left beside the picture, and objects larger
// than the canvas (which only cost memory: nothing outside it is shown) are
// refused as their headers pass by.

#include <cstdio>  // before libmng.h: its JPEG header needs FILE

#include <libmng.h>

#include <cstdlib>
#include <cstring>
#include <optional>

#include "DeclaredHeads.h"
#include "Limits.h"
#include "MemoryLimit.h"
#include "PluginError.h"
#include "PluginFormat.h"

namespace vantoria::spi {
namespace {

constexpr std::uint8_t kMng[8] = {0x8A, 'M', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::uint8_t kJng[8] = {0x8B, 'J', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Signature, then the header chunk (MHDR or JHDR): length, name, width, height.
constexpr std::size_t kHeadBytes = 24;

bool Recognise(std::span<const std::uint8_t> head) {
    return head.size() >= 8 && (std::memcmp(head.data(), kMng, 8) == 0 || std::memcmp(head.data(), kJng, 8) == 0);
}

SUSIE_DECLARE_HEADS(2, Head(0, "\x8AMNG\r\n\x1A\n"), Head(0, "\x8BJNG\r\n\x1A\n"));

std::uint32_t Be32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// One block libmng may ask for; a stream that asks for more is broken.
constexpr mng_size_t kMaxBlock = mng_size_t{1} << 30;

// libmng's allocation hooks take no user data; a decode runs on one thread,
// which names its counter here for as long as libmng may allocate or free.
thread_local CountedMemory* tCounter = nullptr;

class UsingCounter {
public:
    explicit UsingCounter(CountedMemory& counter) : previous_(tCounter) { tCounter = &counter; }
    ~UsingCounter() { tCounter = previous_; }
    UsingCounter(const UsingCounter&) = delete;
    UsingCounter& operator=(const UsingCounter&) = delete;

private:
    CountedMemory* previous_;
};

mng_ptr MNG_DECL Alloc(mng_size_t n) {  // zeroed, as libmng expects
    return n <= kMaxBlock && tCounter != nullptr ? tCounter->Allocate(n, true) : nullptr;
}
void MNG_DECL Free(mng_ptr p, mng_size_t) {
    if (tCounter != nullptr) tCounter->Free(p);
}

// Watches the chunks as libmng reads them and flags an image header (a PNG,
// JNG or BASI object) larger than the canvas.
class ChunkWatch {
public:
    ChunkWatch(std::uint32_t width, std::uint32_t height) : width_(width), height_(height) {}

    // Bytes in the order of the stream; false once an object is too large.
    bool Pass(const std::uint8_t* p, std::size_t n) {
        for (std::size_t i = 0; i < n && !oversized_; ++i) Step(p[i]);
        return !oversized_;
    }

private:
    void Step(std::uint8_t byte) {
        if (skip_ > 0) {  // the signature, data we need not see, the CRC
            --skip_;
            return;
        }
        got_[have_++] = byte;
        if (inHeader_ && have_ == 8) {
            const std::uint32_t length = Be32(got_);
            const bool watched = std::memcmp(got_ + 4, "IHDR", 4) == 0 || std::memcmp(got_ + 4, "JHDR", 4) == 0 ||
                       std::memcmp(got_ + 4, "BASI", 4) == 0;
            have_ = 0;
            if (watched && length >= 8) {
                inHeader_ = false;
                skip_ = 0;
                rest_ = std::uint64_t{length} - 8 + 4;
            } else {
                skip_ = std::uint64_t{length} + 4;
            }
        } else if (!inHeader_ && have_ == 8) {
            oversized_ = Be32(got_) > width_ || Be32(got_ + 4) > height_;
            inHeader_ = true;
            have_ = 0;
            skip_ = rest_;
        }
    }

    std::uint32_t width_, height_;
    std::uint64_t skip_ = 8;  // the signature
    std::uint64_t rest_ = 0;
    std::uint8_t got_[8] = {};
    std::size_t have_ = 0;
    bool inHeader_ = true;
    bool oversized_ = false;
};

class MngDecoder final : public Decoder {
public:
    explicit MngDecoder(const Source& source) : reader_(source) {
        // The size from the header chunk, before libmng allocates anything.
        std::uint8_t head[kHeadBytes];
        if (source.ReadAt(0, head, sizeof head) != sizeof head) throw PluginError(SUSIE_ERR_BROKEN_DATA, "no header");
        const bool jng = head[0] == kJng[0];
        if (std::memcmp(head + 12, jng ? "JHDR" : "MHDR", 4) != 0)
            throw PluginError(SUSIE_ERR_BROKEN_DATA, "no header chunk");
        CheckSize(Be32(head + 16), Be32(head + 20));
        size_ = {static_cast<int>(Be32(head + 16)), static_cast<int>(Be32(head + 20))};
        watch_.emplace(Be32(head + 16), Be32(head + 20));
    }

    ~MngDecoder() override {
        if (mng_ == nullptr) return;
        const UsingCounter counting(*counter_);
        mng_cleanup(&mng_);
    }

    PictureSize Size() const override { return size_; }

    void Decode(Dib24& out, Progress&) override {
        out_ = &out;
        out.Fill(0);
        counter_.emplace(RoomBeside(out.Stride() * static_cast<std::uint64_t>(out.Height())));
        const UsingCounter counting(*counter_);
        mng_ = mng_initialize(this, &Alloc, &Free, MNG_NULL);
        if (mng_ == nullptr) throw std::bad_alloc();
        if (mng_setcb_openstream(mng_, &Open) || mng_setcb_closestream(mng_, &Close) ||
            mng_setcb_readdata(mng_, &Read) || mng_setcb_processheader(mng_, &Header) ||
            mng_setcb_getcanvasline(mng_, &CanvasLine) || mng_setcb_refresh(mng_, &Refresh) ||
            mng_setcb_gettickcount(mng_, &Ticks) || mng_setcb_settimer(mng_, &SetTimer) ||
            mng_set_canvasstyle(mng_, MNG_CANVAS_BGR8) || mng_set_bgcolor(mng_, 0, 0, 0) ||
            mng_set_storechunks(mng_, MNG_FALSE) || mng_set_cacheplayback(mng_, MNG_FALSE) ||
            mng_set_doprogressive(mng_, MNG_FALSE))
            throw PluginError(SUSIE_ERR_INTERNAL, "libmng refused its set-up");

        const mng_retcode rc = mng_readdisplay(mng_);
        if (readFailed_) throw PluginError(SUSIE_ERR_FILE_READ, "read error");
        if (oversized_) throw PluginError(SUSIE_ERR_NO_MEMORY, "an object larger than the canvas");
        if (rc == MNG_OUTOFMEMORY || counter_->Refused()) throw PluginError(SUSIE_ERR_NO_MEMORY, "out of memory");
        // Waiting for the next frame's time means the first one is complete.
        if (rc != MNG_NOERROR && rc != MNG_NEEDTIMERWAIT) throw PluginError(SUSIE_ERR_BROKEN_DATA, "broken MNG data");
        if (!headerSeen_) throw PluginError(SUSIE_ERR_BROKEN_DATA, "no picture");
    }

private:
    static MngDecoder& Self(mng_handle h) { return *static_cast<MngDecoder*>(mng_get_userdata(h)); }

    static mng_bool MNG_DECL Open(mng_handle) { return MNG_TRUE; }
    static mng_bool MNG_DECL Close(mng_handle) { return MNG_TRUE; }

    // libmng pulls the file through here; errors must not unwind through it.
    static mng_bool MNG_DECL Read(mng_handle h, mng_ptr dst, mng_uint32 n, mng_uint32p got) {
        MngDecoder& self = Self(h);
        try {
            *got = static_cast<mng_uint32>(self.reader_.Read(dst, n));
            if (!self.watch_->Pass(static_cast<const std::uint8_t*>(dst), *got)) {
                self.oversized_ = true;
                *got = 0;
                return MNG_FALSE;
            }
            return MNG_TRUE;
        } catch (...) {
            self.readFailed_ = true;
            *got = 0;
            return MNG_FALSE;
        }
    }

    // The canvas must be the size read from the header chunk.
    static mng_bool MNG_DECL Header(mng_handle h, mng_uint32 width, mng_uint32 height) {
        MngDecoder& self = Self(h);
        self.headerSeen_ = true;
        return width == static_cast<mng_uint32>(self.size_.width) && height == static_cast<mng_uint32>(self.size_.height)
                   ? MNG_TRUE
                   : MNG_FALSE;
    }

    static mng_ptr MNG_DECL CanvasLine(mng_handle h, mng_uint32 line) {
        MngDecoder& self = Self(h);
        if (line >= static_cast<mng_uint32>(self.size_.height)) return MNG_NULL;
        return self.out_->Row(static_cast<int>(line));
    }

    static mng_bool MNG_DECL Refresh(mng_handle, mng_uint32, mng_uint32, mng_uint32, mng_uint32) { return MNG_TRUE; }
    static mng_uint32 MNG_DECL Ticks(mng_handle h) { return Self(h).ticks_ += 10; }
    // The first wait ends the first frame: libmng returns to us then.
    static mng_bool MNG_DECL SetTimer(mng_handle, mng_uint32) { return MNG_TRUE; }

    Reader reader_;
    PictureSize size_;
    std::optional<ChunkWatch> watch_;
    std::optional<CountedMemory> counter_;  // outlives the handle
    mng_handle mng_ = nullptr;
    Dib24* out_ = nullptr;
    mng_uint32 ticks_ = 0;
    bool headerSeen_ = false;
    bool readFailed_ = false;
    bool oversized_ = false;
};

std::unique_ptr<Decoder> Open(const Source& source) { return std::make_unique<MngDecoder>(source); }

const char* const kInfo[] = {SUSIE_API_VERSION, "Vantoria MNG plug-in", "*.mng;*.jng", "MNG and JNG pictures"};

}  // namespace

const PluginFormat kPluginFormat = {kInfo, 4, kHeadBytes, &Recognise, &Open};

}  // namespace vantoria::spi
