#pragma once
// Turns the picture into the wallpaper bitmap by composition mode and writes
// it to the buffer file. GUI-free: the main form owns one and calls it on
// every wallpaper change; vantoria-change and the tests do the same.
//
// Each step takes the working bitmap by reference, reads the screen size
// afresh, and returns why it failed, leaving the bitmap as it was, when
// anything in it fails; no step lets an error escape. The later steps run
// after a failed one, so the layout is then the picture as far as the steps
// got, and the first failure is what the composition returns.

#include "platform/Result.h"
#include "platform/raster/Bitmap.h"
#include "platform/raster/ScreenSize.h"

#include <functional>
#include <string>

namespace vantoria {

struct TApSystem;

namespace compose {

class WallComposer {
public:
    // `picture` is the decoded picture (the master image); `settings`
    // supplies StartDir and WallBuffer, read at each call. Both must outlive
    // the composer. `pictureSize`, when given, is the picture's own size and
    // `picture` a reduced decode of it (compose/ReducedDecode.h): every size
    // and position is computed from the former, the pixels come from the
    // latter.
    WallComposer(const raster::Bitmap& picture, const TApSystem& settings,
                 raster::ScreenSizeSource screen, raster::ScreenSize pictureSize = {});

    // Copies the picture into a working bitmap, runs the steps of `mode` and
    // writes the result to WallBufferPath; the file is written even when a
    // step failed, and the result then says which. A failure to write the
    // file (bad path, empty picture, disk full) throws raster::RasterError;
    // the previous buffer file is then left as it was.
    // `pictureFile` is the file the picture was read from: a buffer path that
    // names it (by any path) is refused before anything is written, so the
    // user's picture is never overwritten.
    Result ComposeWallPaper(int mode, const std::string& pictureFile = {}) const;

    // The same composition into `work`, without writing it (the buffer file
    // written on a thread of its own, the wallpaper of a monitor whose size
    // differs from the buffer's). `work` holds the layout even when the
    // result is a failed step.
    Result Compose(int mode, raster::Bitmap& work) const;

    // Placement for "tiled, one copy centred".
    Result CentreForTiling(raster::Bitmap& work) const;
    Result AlternateVertically(raster::Bitmap& work) const;
    Result AlternateHorizontally(raster::Bitmap& work) const;

    // Size adjustment.
    Result StretchToScreen(raster::Bitmap& work) const;
    Result FitToScreen(raster::Bitmap& work) const;
    Result FitPictureToScreen(raster::Bitmap& work) const;

private:
    // The size the geometry takes for `work`: the picture's own size while
    // `work` is the picture unchanged.
    raster::ScreenSize GeometrySize(const raster::Bitmap& work) const;
    raster::ScreenSize PictureSize() const;
    // Runs the body of `step`: done when it ran to its end, else why not;
    // nothing escapes.
    static Result RunStep(const char* step, const std::function<void()>& body);

    const raster::Bitmap& picture_;
    const TApSystem& settings_;
    raster::ScreenSizeSource screen_;
    raster::ScreenSize pictureSize_;
};

}  // namespace compose
}  // namespace vantoria
