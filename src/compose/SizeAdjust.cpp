// The size adjustment steps: stretch to the screen, or fit the screen's
// shorter side keeping the aspect ratio.

#include "compose/Geometry.h"
#include "compose/WallComposer.h"
#include "platform/raster/Stretch.h"

#include <utility>

namespace vantoria::compose {

using raster::Bitmap;
using raster::MakeRect;

namespace {

// `geometry` is the size the fit is computed for: the source's, or the
// picture's own when the source is a reduced decode of it.
void FitInto(Bitmap& work, const Bitmap& source, raster::ScreenSize geometry, raster::ScreenSize screen) {
    const raster::ScreenSize size = FittedSize(geometry.width, geometry.height, screen);
    Bitmap out(size.width, size.height);
    out.StretchDraw(MakeRect(0, 0, size.width, size.height), source);
    work = std::move(out);
}

}  // namespace

Result WallComposer::StretchToScreen(Bitmap& work) const {
    return RunStep("StretchToScreen", [&] {
        const raster::ScreenSize screen = screen_();
        // At the screen's size already (a decode that stretched it): the
        // stretch would be an exact copy.
        if (work.Width() == screen.width && work.Height() == screen.height) return;
        const Bitmap t = work;
        work = raster::Stretched(t, screen);
    });
}

Result WallComposer::FitToScreen(Bitmap& work) const {
    return RunStep("FitToScreen", [&] {
        const Bitmap t = work;
        FitInto(work, t, GeometrySize(t), screen_());
    });
}

// Fits the picture itself rather than the working bitmap; as this step runs
// on an unchanged copy of the picture, the result is FitToScreen's.
Result WallComposer::FitPictureToScreen(Bitmap& work) const {
    return RunStep("FitPictureToScreen", [&] {
        FitInto(work, picture_, PictureSize(), screen_());
    });
}

}  // namespace vantoria::compose
