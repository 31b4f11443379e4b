#pragma once
// The picture the bare-X11 setter shows, read a band of rows at a time, so
// that a screen-sized picture never needs a second whole copy in memory.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/raster/Bitmap.h"

namespace vantoria::desktop {

// 24-bit BGR rows (blue first), as in raster::Bitmap.
class PictureRows {
public:
    virtual ~PictureRows() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Makes rows [top, top + count) readable through Row() until the next
    // call. Throws X11Error when they cannot be read.
    virtual void Load(int top, int count) = 0;
    // Row y, counted from the top; only rows of the last Load.
    virtual const std::uint8_t* Row(int y) const = 0;
};

// The rows of a bitmap already in memory.
class BitmapRows final : public PictureRows {
public:
    explicit BitmapRows(raster::Bitmap picture) : picture_(std::move(picture)) {}
    int Width() const override { return picture_.Width(); }
    int Height() const override { return picture_.Height(); }
    void Load(int, int) override {}
    const std::uint8_t* Row(int y) const override { return picture_.ScanLine(y); }

private:
    raster::Bitmap picture_;
};

// The bitmap file at `path`. An uncompressed 24-bit file, such as the
// wallpaper buffer, is read band by band straight from the file; any other
// bitmap is decoded whole first. Throws X11Error("cannot read <path>: ...").
std::unique_ptr<PictureRows> OpenPictureRows(const std::string& path);

}  // namespace vantoria::desktop
