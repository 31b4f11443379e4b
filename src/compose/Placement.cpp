// The steps of "tiled, one copy centred": CentreForTiling and the two
// alternating arrangements that may run before it. Each builds its result in
// a new bitmap from the step copy and puts it in place only when complete.

#include "compose/Geometry.h"
#include "compose/WallComposer.h"

#include <utility>

namespace vantoria::compose {

using raster::Bitmap;
using raster::MakeRect;

namespace {

// Copies the block (l, t, r, b) of `from` to `into` with its top-left
// corner at (x, y); empty blocks are skipped.
void Block(Bitmap& into, int x, int y, const Bitmap& from, int l, int t, int r, int b) {
    if (r <= l || b <= t) return;
    into.CopyRect(MakeRect(x, y, x + (r - l), y + (b - t)), from, MakeRect(l, t, r, b));
}

}  // namespace

// Rotates the working bitmap so that a desktop tiling it from the screen's
// top-left corner shows one copy in the middle of the screen (halves rounded
// down); a side longer than the screen's is cut to the middle part.
Result WallComposer::CentreForTiling(Bitmap& work) const {
    return RunStep("CentreForTiling", [&] {
        const Bitmap t = work;
        const int wb = t.Width();
        const int hb = t.Height();
        const raster::ScreenSize screen = screen_();
        const int ox = Mod(screen.width / 2 - wb / 2, wb);  // fails on an empty bitmap
        const int oy = Mod(screen.height / 2 - hb / 2, hb);
        // Compared with the picture, not the block: a block of modes 5 and 6
        // larger than the screen only by its doubling keeps its size.
        const raster::ScreenSize picture = PictureSize();
        const int w = screen.width < picture.width ? screen.width : wb;
        const int h = screen.height < picture.height ? screen.height : hb;
        if (ox == 0 && oy == 0 && w == wb && h == hb) return;

        Bitmap out(w, h);
        const int rx = wb - ox;
        const int ry = hb - oy;
        Block(out, ox, oy, t, 0, 0, rx, ry);
        Block(out, 0, oy, t, rx, 0, wb, ry);
        Block(out, ox, 0, t, 0, ry, rx, hb);
        Block(out, 0, 0, t, rx, ry, wb, hb);
        work = std::move(out);
    });
}

// W x 2H: the picture, with the rows of copies above and below it shifted
// right by half its width (rounded up), wrapping around.
Result WallComposer::AlternateVertically(Bitmap& work) const {
    return RunStep("AlternateVertically", [&] {
        const Bitmap t = work;
        const int w = t.Width();
        const int h = t.Height();
        const int hw = w / 2;
        const int hh = h / 2;
        const int a = w - hw;
        const int b = h - hh;
        Bitmap out(w, 2 * h);
        Block(out, a, b + h, t, 0, 0, hw, hh);
        Block(out, a, 0, t, 0, hh, hw, h);
        Block(out, 0, b, t, 0, 0, w, h);
        Block(out, 0, b + h, t, hw, 0, w, hh);
        Block(out, 0, 0, t, hw, hh, w, h);
        work = std::move(out);
    });
}

// 2W x H: the picture, with the columns of copies left and right of it
// shifted down by half its height (rounded up), wrapping around.
Result WallComposer::AlternateHorizontally(Bitmap& work) const {
    return RunStep("AlternateHorizontally", [&] {
        const Bitmap t = work;
        const int w = t.Width();
        const int h = t.Height();
        const int hw = w / 2;
        const int hh = h / 2;
        const int a = w - hw;
        const int b = h - hh;
        Bitmap out(2 * w, h);
        Block(out, a + w, b, t, 0, 0, hw, hh);
        Block(out, 0, b, t, hw, 0, w, hh);
        Block(out, a, 0, t, 0, 0, w, h);
        Block(out, a + w, 0, t, 0, hh, hw, h);
        Block(out, 0, 0, t, hw, hh, w, h);
        work = std::move(out);
    });
}

}  // namespace vantoria::compose
