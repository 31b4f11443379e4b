// MNG plug-in: MNG animations (their first frame) and JNG pictures through
// libmng, which draws straight into the handed-over rows. The first frame is
// what stands on the canvas when the animation first waits; transparent parts
// are composed onto black (or the background colour the file asks for).
// Playback is not cached, so loops run once and cannot hold a decode.

#include <cstdio>  // before libmng.h: its JPEG header needs FILE

#include <libmng.h>

#include <cstdlib>
#include <cstring>

#include "Limits.h"
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

std::uint32_t Be32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// One block libmng may ask for; a stream that asks for more is broken.
constexpr mng_size_t kMaxBlock = mng_size_t{1} << 30;

mng_ptr MNG_DECL Alloc(mng_size_t n) { return n <= kMaxBlock ? std::calloc(1, n) : nullptr; }  // zeroed, as it expects
void MNG_DECL Free(mng_ptr p, mng_size_t) { std::free(p); }

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
    }

    ~MngDecoder() override {
        if (mng_ != nullptr) mng_cleanup(&mng_);
    }

    PictureSize Size() const override { return size_; }

    void Decode(Dib24& out, Progress&) override {
        out_ = &out;
        out.Fill(0);
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
        if (rc == MNG_OUTOFMEMORY) throw PluginError(SUSIE_ERR_NO_MEMORY, "out of memory");
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
    mng_handle mng_ = nullptr;
    Dib24* out_ = nullptr;
    mng_uint32 ticks_ = 0;
    bool headerSeen_ = false;
    bool readFailed_ = false;
};

std::unique_ptr<Decoder> Open(const Source& source) { return std::make_unique<MngDecoder>(source); }

const char* const kInfo[] = {SUSIE_API_VERSION, "Vantoria MNG plug-in", "*.mng;*.jng", "MNG and JNG pictures"};

}  // namespace

const PluginFormat kPluginFormat = {kInfo, 4, kHeadBytes, &Recognise, &Open};

}  // namespace vantoria::spi
