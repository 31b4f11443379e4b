#pragma once
// The bitmap the composition works on: 24-bit BGR pixels (3 bytes each, blue
// first), rows padded to 4 bytes, the layout of an uncompressed 24-bit Windows
// bitmap. Pixel storage is shared between copies and copied on the first write,
// so copying a Bitmap is cheap.

#include "platform/Error.h"
#include "platform/raster/SizeLimits.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace vantoria::raster {

// Failures of raster operations (allocation, file write).
class RasterError : public vantoria::Error {
public:
    using vantoria::Error::Error;
};

// A rectangle with exclusive right and bottom edges.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    constexpr int Width() const { return right - left; }
    constexpr int Height() const { return bottom - top; }
    friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

constexpr Rect MakeRect(int left, int top, int right, int bottom) {
    return Rect{left, top, right, bottom};
}

// Bytes in one padded row of a 24-bit bitmap of the given width.
constexpr std::size_t RowBytes(int width) { return limits::RowBytes24(width); }

// Sizes beyond these are refused with a RasterError: the outer limits.
inline constexpr int kMaxSide = limits::kMaxSide;
inline constexpr std::int64_t kMaxPixels = limits::kMaxPixels;

class Bitmap {
public:
    // A block of pixel rows handed over by someone else (a file reader, a
    // plug-in). `release` frees it when the last Bitmap using it goes.
    struct Block {
        std::uint8_t* data = nullptr;
        std::function<void(std::uint8_t*)> release;
    };

    Bitmap() = default;                 // 0 x 0
    Bitmap(int width, int height);      // contents unspecified

    // Takes over 24-bit rows of RowBytes(width) bytes each, bottom row first
    // when `bottomUp` (the usual layout of a Windows bitmap), without copying.
    static Bitmap Adopt(int width, int height, bool bottomUp, Block block);

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return width_ <= 0 || height_ <= 0; }

    // Resizes in place; the area common to the old and new size keeps its
    // pixels (top-left anchored). Newly exposed pixels are unspecified.
    void SetWidth(int width) { SetSize(width, height_); }
    void SetHeight(int height) { SetSize(width_, height); }
    void SetSize(int width, int height);

    // Row y, counted from the top. The writable form makes the storage this
    // bitmap's own first.
    const std::uint8_t* ScanLine(int y) const { return top_ + stride_ * y; }
    std::uint8_t* ScanLine(int y);
    // Byte distance from one row to the next one down (negative for
    // bottom-up storage).
    std::ptrdiff_t Stride() const { return stride_; }
    bool BottomUp() const { return stride_ < 0; }

    // True when both bitmaps use the same pixel storage (test aid).
    bool SharesPixelsWith(const Bitmap& other) const { return store_ && store_ == other.store_; }

    // Canvas operations. `src` may be this bitmap itself: the operations
    // read the pixels as they were before the call.
    void Fill(std::uint8_t b, std::uint8_t g, std::uint8_t r);
    // Copies `src` unscaled with its top-left corner at (x, y); pixels
    // outside this bitmap are dropped. Drawing a bitmap of this bitmap's size
    // at (0, 0) shares its pixels instead of copying them.
    void Draw(int x, int y, const Bitmap& src);
    // Scales the whole of `src` to fill `dest` exactly (independent factors):
    // area averaging along an axis that shrinks, bilinear along one that
    // grows. Parts of `dest` outside this bitmap are dropped; a `dest` side
    // beyond kMaxSide is refused with a RasterError.
    void StretchDraw(const Rect& dest, const Bitmap& src);
    // Copies `source` of `src` into `dest` of this bitmap; both rectangles
    // must have the same size (RasterError otherwise). Pixels outside either
    // bitmap are dropped.
    void CopyRect(const Rect& dest, const Bitmap& src, const Rect& source);

    // Writes an uncompressed 24-bit Windows bitmap (bottom-up rows), creating
    // or replacing the file. Only a regular file is written over: a device,
    // a FIFO or a folder at `path` (directly or through a link) is refused
    // and left as it is. The file is written as an unnamed file in the same
    // folder and then renamed over `path`, so a failed write leaves any
    // previous file intact and a killed one leaves nothing. A symbolic link at `path` stays: the kernel
    // follows it (with its protections for shared sticky folders) and the
    // file it leads to is rewritten in place. An empty bitmap is refused: a
    // header-only file is no picture a desktop could show. Throws RasterError
    // on failure, e.g. "cannot write /p/Runo.bmp: No space left on device".
    // `sourceFile`, when given, is the file the picture came from: should
    // `path` name that same file (by any path), nothing is written.
    void SaveToFile(const std::string& path, const std::string& sourceFile = {}) const;

private:
    struct Store;
    // Makes the storage this bitmap's own, keeping (Detach) or not keeping
    // (DetachForOverwrite, when every pixel is about to be written) its pixels.
    void Detach();
    void DetachForOverwrite();
    void CopyBlock(std::int64_t dx, std::int64_t dy, const Bitmap& src, std::int64_t sx,
                   std::int64_t sy, std::int64_t w, std::int64_t h);

    int width_ = 0;
    int height_ = 0;
    std::ptrdiff_t stride_ = 0;
    std::uint8_t* top_ = nullptr;   // first byte of row 0 (the top row)
    std::shared_ptr<Store> store_;
};

}  // namespace vantoria::raster
