#include "compose/WallComposer.h"

#include "compose/WallBufferPath.h"

#include <exception>
#include <utility>

namespace vantoria::compose {

WallComposer::WallComposer(const raster::Bitmap& picture, const TApSystem& settings,
                           raster::ScreenSizeSource screen, raster::ScreenSize pictureSize)
    : picture_(picture),
      settings_(settings),
      screen_(std::move(screen)),
      pictureSize_(pictureSize) {}

raster::ScreenSize WallComposer::PictureSize() const {
    // Read at each call: the picture may change between compositions.
    if (pictureSize_.width > 0 && pictureSize_.height > 0) return pictureSize_;
    return {picture_.Width(), picture_.Height()};
}

raster::ScreenSize WallComposer::GeometrySize(const raster::Bitmap& work) const {
    const bool unchanged = work.Width() == picture_.Width() && work.Height() == picture_.Height() &&
                           (work.SharesPixelsWith(picture_) || work.Empty());
    return unchanged ? PictureSize() : raster::ScreenSize{work.Width(), work.Height()};
}

bool WallComposer::ComposeWallPaper(int mode, const std::string& pictureFile) const {
    stepFailure_.clear();
    raster::Bitmap work;
    if (!Compose(mode, work)) return false;
    work.SaveToFile(WallBufferPath(settings_), pictureFile);
    return true;
}

bool WallComposer::Compose(int mode, raster::Bitmap& work) const {
    work = picture_;  // shares the pixels until a step writes
    try {
        RunSteps(mode, work);
    } catch (...) {
        return false;
    }
    return true;
}

bool WallComposer::RunStep(const char* step, const std::function<void()>& body) const {
    std::string why;
    try {
        body();
        return true;
    } catch (const std::exception& e) {
        why = e.what();
    } catch (...) {
        why = "unknown error";
    }
    if (stepFailure_.empty()) stepFailure_ = std::string(step) + " failed: " + why;
    return false;
}

// The steps report their own failures; the later steps run regardless.
void WallComposer::RunSteps(int mode, raster::Bitmap& work) const {
    switch (mode) {
    case 1:
        StretchToScreen(work);
        break;
    case 2:
        FitToScreen(work);
        break;
    case 3:
        FitPictureToScreen(work);
        break;
    case 4:
        CentreForTiling(work);
        break;
    case 5:
        AlternateVertically(work);
        CentreForTiling(work);
        break;
    case 6:
        AlternateHorizontally(work);
        CentreForTiling(work);
        break;
    default:  // 0 and anything else: the picture as it is
        break;
    }
}

}  // namespace vantoria::compose
