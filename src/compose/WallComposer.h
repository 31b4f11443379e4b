#pragma once
// Turns the picture into the wallpaper bitmap by composition mode and writes
// it to the buffer file. GUI-free: the main form owns one and calls it on
// every wallpaper change; vantoria-change and the tests do the same.
//
// Each step takes the working bitmap by reference, reads the screen size
// afresh, and returns false, leaving the bitmap as it was, when anything in
// it fails; no step lets an error escape.

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
    // writes the result to WallBufferPath. True once the file is written;
    // false, writing nothing, if the steps failed as a whole. A failure to
    // write the file (bad path, empty picture, disk full) throws
    // raster::RasterError; the previous buffer file is then left as it was.
    // `pictureFile` is the file the picture was read from: a buffer path that
    // names it (by any path) is refused before anything is written, so the
    // user's picture is never overwritten.
    bool ComposeWallPaper(int mode, const std::string& pictureFile = {}) const;

    // The same composition into `work`, without writing it (the wallpaper of
    // a monitor whose size differs from the buffer's). False when the steps
    // failed as a whole.
    bool Compose(int mode, raster::Bitmap& work) const;

    // Placement for "tiled, one copy centred".
    bool CentreForTiling(raster::Bitmap& work) const;
    bool AlternateVertically(raster::Bitmap& work) const;
    bool AlternateHorizontally(raster::Bitmap& work) const;

    // Size adjustment.
    bool StretchToScreen(raster::Bitmap& work) const;
    bool FitToScreen(raster::Bitmap& work) const;
    bool FitPictureToScreen(raster::Bitmap& work) const;

    // Why a step of the last ComposeWallPaper failed ("" when none did):
    // the pipeline goes on after a failed step, so the file it writes may
    // not be the layout asked for, and the caller can say so.
    const std::string& StepFailure() const { return stepFailure_; }

private:
    void RunSteps(int mode, raster::Bitmap& work) const;
    // The size the geometry takes for `work`: the picture's own size while
    // `work` is the picture unchanged.
    raster::ScreenSize GeometrySize(const raster::Bitmap& work) const;
    raster::ScreenSize PictureSize() const;
    // Runs the body of `step`: true when it ran to its end. A failure is
    // kept (the first of a composition) and gives false; none escapes.
    bool RunStep(const char* step, const std::function<void()>& body) const;

    const raster::Bitmap& picture_;
    const TApSystem& settings_;
    raster::ScreenSizeSource screen_;
    raster::ScreenSize pictureSize_;
    mutable std::string stepFailure_;
};

}  // namespace compose
}  // namespace vantoria
