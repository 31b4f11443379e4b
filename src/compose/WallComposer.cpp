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

Result WallComposer::ComposeWallPaper(int mode, const std::string& pictureFile) const {
    raster::Bitmap work;
    Result result = Compose(mode, work);
    work.SaveToFile(WallBufferPath(settings_), pictureFile);
    return result;
}

Result WallComposer::RunStep(const char* step, const std::function<void()>& body) {
    std::string why;
    try {
        body();
        return Result::Done();
    } catch (const std::exception& e) {
        why = e.what();
    } catch (...) {
        why = "unknown error";
    }
    return Result::Failed(std::string(step) + " failed: " + why);
}

// The steps report their own failures; the later steps run regardless, and
// the first failure is the composition's.
Result WallComposer::Compose(int mode, raster::Bitmap& work) const {
    work = picture_;  // shares the pixels until a step writes
    Result first = Result::Done();
    auto run = [&first](Result step) {
        if (first && !step) first = std::move(step);
    };
    switch (mode) {
    case 1:
        run(StretchToScreen(work));
        break;
    case 2:
        run(FitToScreen(work));
        break;
    case 3:
        run(FitPictureToScreen(work));
        break;
    case 4:
        run(CentreForTiling(work));
        break;
    case 5:
        run(AlternateVertically(work));
        run(CentreForTiling(work));
        break;
    case 6:
        run(AlternateHorizontally(work));
        run(CentreForTiling(work));
        break;
    default:  // 0 and anything else: the picture as it is
        break;
    }
    return first;
}

}  // namespace vantoria::compose
