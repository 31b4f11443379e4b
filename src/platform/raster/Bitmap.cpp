#include "platform/raster/Bitmap.h"

#include "platform/raster/Resample.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/mman.h>

namespace vantoria::raster {

struct Bitmap::Store {
    Block block;
    explicit Store(Block b) : block(std::move(b)) {}
    ~Store() {
        if (block.release) block.release(block.data);
    }
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;
};

namespace {

void CheckSize(int width, int height) {
    if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide ||
        std::int64_t{width} * height > kMaxPixels) {
        throw RasterError("bitmap too large: " + std::to_string(width) + " x " +
                          std::to_string(height));
    }
}

[[noreturn]] void OutOfMemory(std::size_t bytes) {
    throw RasterError("out of memory for a bitmap of " + std::to_string(bytes) + " bytes");
}

// Fresh storage reads as zeros, so row padding is never stray heap content.
// Large blocks are mapped directly and asked for huge pages: a screen-sized
// bitmap is then a few dozen page faults instead of thousands, and its memory
// goes back to the system as soon as it is released.
Bitmap::Block Allocate(std::size_t bytes) {
    constexpr std::size_t kLarge = std::size_t{4} << 20;
    constexpr std::size_t kHuge = std::size_t{2} << 20;
    if (bytes >= kLarge) {
        const std::size_t mapped = (bytes + kHuge - 1) / kHuge * kHuge + kHuge;
        void* m = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (m == MAP_FAILED) OutOfMemory(bytes);
        // Start on a huge-page boundary; the slack is trimmed off both ends.
        auto* base = static_cast<std::uint8_t*>(m);
        auto* start = reinterpret_cast<std::uint8_t*>(
            (reinterpret_cast<std::uintptr_t>(base) + kHuge - 1) / kHuge * kHuge);
        const std::size_t length = (bytes + kHuge - 1) / kHuge * kHuge;
        if (start > base) ::munmap(base, std::size_t(start - base));
        if (base + mapped > start + length) ::munmap(start + length, std::size_t(base + mapped - start - length));
        (void)::madvise(start, length, MADV_HUGEPAGE);
        return {start, [length](std::uint8_t* q) { ::munmap(q, length); }};
    }
    auto* p = static_cast<std::uint8_t*>(std::calloc(bytes ? bytes : 1, 1));
    if (!p) OutOfMemory(bytes);
    return {p, [](std::uint8_t* q) { std::free(q); }};
}

// A rectangle copy clipped against both bitmaps, in 64 bits so that no
// caller's coordinates can overflow.
struct Span {
    std::int64_t dst = 0;
    std::int64_t src = 0;
    std::int64_t len = 0;
};

Span Clip(std::int64_t dst, std::int64_t src, std::int64_t len, int dstSize, int srcSize) {
    if (src < 0) { dst -= src; len += src; src = 0; }
    if (dst < 0) { src -= dst; len += dst; dst = 0; }
    len = std::min({len, std::int64_t{srcSize} - src, std::int64_t{dstSize} - dst});
    return {dst, src, std::max<std::int64_t>(len, 0)};
}

}  // namespace

Bitmap::Bitmap(int width, int height) { SetSize(width, height); }

Bitmap Bitmap::Adopt(int width, int height, bool bottomUp, Block block) {
    CheckSize(width, height);
    Bitmap b;
    b.width_ = width;
    b.height_ = height;
    const auto row = static_cast<std::ptrdiff_t>(RowBytes(width));
    b.store_ = std::make_shared<Store>(std::move(block));
    std::uint8_t* base = b.store_->block.data;
    if (bottomUp) {
        b.stride_ = -row;
        b.top_ = base + row * (height > 0 ? height - 1 : 0);
    } else {
        b.stride_ = row;
        b.top_ = base;
    }
    return b;
}

void Bitmap::SetSize(int width, int height) {
    CheckSize(width, height);
    if (width == width_ && height == height_ && store_) return;
    const std::size_t row = RowBytes(width);
    auto store = std::make_shared<Store>(Allocate(row * static_cast<std::size_t>(height)));
    std::uint8_t* top = store->block.data;
    const int keepRows = std::min(height, height_);
    const std::size_t keepBytes = static_cast<std::size_t>(std::min(width, width_)) * 3;
    for (int y = 0; y < keepRows; ++y) {
        std::memcpy(top + row * y, top_ + stride_ * y, keepBytes);  // read only: no detach
    }
    width_ = width;
    height_ = height;
    stride_ = static_cast<std::ptrdiff_t>(row);
    top_ = top;
    store_ = std::move(store);
}

std::uint8_t* Bitmap::ScanLine(int y) {
    Detach();
    return top_ + stride_ * y;
}

void Bitmap::Detach() {
    if (!store_ || store_.use_count() == 1) return;
    const std::size_t row = RowBytes(width_);
    auto store = std::make_shared<Store>(Allocate(row * static_cast<std::size_t>(height_)));
    std::uint8_t* top = store->block.data;
    for (int y = 0; y < height_; ++y) {
        std::memcpy(top + row * y, top_ + stride_ * y, row);
    }
    stride_ = static_cast<std::ptrdiff_t>(row);
    top_ = top;
    store_ = std::move(store);
}

void Bitmap::DetachForOverwrite() {
    if (!store_ || store_.use_count() == 1) return;
    const std::size_t row = RowBytes(width_);
    store_ = std::make_shared<Store>(Allocate(row * static_cast<std::size_t>(height_)));
    stride_ = static_cast<std::ptrdiff_t>(row);
    top_ = store_->block.data;
}

void Bitmap::Fill(std::uint8_t b, std::uint8_t g, std::uint8_t r) {
    if (Empty()) return;
    DetachForOverwrite();
    std::uint8_t* first = ScanLine(0);
    for (int x = 0; x < width_; ++x) {
        first[3 * x] = b;
        first[3 * x + 1] = g;
        first[3 * x + 2] = r;
    }
    for (int y = 1; y < height_; ++y) std::memcpy(ScanLine(y), first, std::size_t(width_) * 3);
}

void Bitmap::Draw(int x, int y, const Bitmap& src) {
    // Bitmaps are opaque, so covering the whole of this one with an equal
    // one is the same as taking over its pixels.
    if (x == 0 && y == 0 && src.width_ == width_ && src.height_ == height_) {
        if (src.store_) *this = src;
        return;
    }
    CopyBlock(x, y, src, 0, 0, src.width_, src.height_);
}

void Bitmap::CopyRect(const Rect& dest, const Bitmap& src, const Rect& source) {
    std::int64_t w = std::int64_t{source.right} - source.left;
    std::int64_t h = std::int64_t{source.bottom} - source.top;
    if (w != std::int64_t{dest.right} - dest.left || h != std::int64_t{dest.bottom} - dest.top) {
        throw RasterError("CopyRect: source and destination differ in size");
    }
    CopyBlock(dest.left, dest.top, src, source.left, source.top, w, h);
}

void Bitmap::CopyBlock(std::int64_t dx, std::int64_t dy, const Bitmap& src, std::int64_t sx,
                       std::int64_t sy, std::int64_t w, std::int64_t h) {
    const Span cx = Clip(dx, sx, w, width_, src.width_);
    const Span cy = Clip(dy, sy, h, height_, src.height_);
    if (cx.len == 0 || cy.len == 0) return;

    const Bitmap from = src;  // keeps the source's pixels if src is *this
    if (cx.len == width_ && cy.len == height_) {
        DetachForOverwrite();
    } else {
        Detach();
    }
    const std::size_t bytes = static_cast<std::size_t>(cx.len) * 3;
    for (std::int64_t r = 0; r < cy.len; ++r) {
        std::memcpy(top_ + stride_ * (cy.dst + r) + cx.dst * 3,
                    from.ScanLine(static_cast<int>(cy.src + r)) + cx.src * 3, bytes);
    }
}

void Bitmap::StretchDraw(const Rect& dest, const Bitmap& src) {
    const std::int64_t dw = std::int64_t{dest.right} - dest.left;
    const std::int64_t dh = std::int64_t{dest.bottom} - dest.top;
    if (src.Empty() || dw <= 0 || dh <= 0 || Empty()) return;
    if (dw > kMaxSide || dh > kMaxSide) {
        throw RasterError("StretchDraw: destination too large: " + std::to_string(dw) + " x " +
                          std::to_string(dh));
    }
    if (dw == src.width_ && dh == src.height_) {
        Draw(dest.left, dest.top, src);
        return;
    }
    // The part of the destination inside this bitmap, in destination coordinates.
    const Span cx = Clip(dest.left, 0, dw, width_, static_cast<int>(dw));
    const Span cy = Clip(dest.top, 0, dh, height_, static_cast<int>(dh));
    if (cx.len == 0 || cy.len == 0) return;

    const Bitmap from = src;
    if (cx.len == width_ && cy.len == height_) {
        DetachForOverwrite();
    } else {
        Detach();
    }
    detail::Resample({from.top_, from.stride_, from.width_, from.height_},
                     static_cast<int>(dw), static_cast<int>(dh),
                     {static_cast<int>(cx.src), static_cast<int>(cx.src + cx.len),
                      static_cast<int>(cy.src), static_cast<int>(cy.src + cy.len)},
                     {top_ + stride_ * cy.dst + cx.dst * 3, stride_});
}

}  // namespace vantoria::raster
