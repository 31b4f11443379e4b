#include "change/ChangeWallPaper.h"

#include "compose/ApplyWallPaper.h"
#include "compose/CompositionMode.h"
#include "compose/MonitorCompositions.h"
#include "compose/ReducedDecode.h"
#include "compose/MonitorModes.h"
#include "settings/ExtensionSettings.h"
#include "compose/WallBufferPath.h"
#include "compose/WallComposer.h"
#include "imaging/DecodePicture.h"
#include "platform/desktop/BufferWrite.h"
#include "platform/desktop/DeskWallpaper.h"
#include "platform/report/Reporter.h"
#include "settings/ApSystem.h"

#include <exception>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>

namespace vantoria {

WallpaperChanger::WallpaperChanger(TSpi_load& loader, const TApSystem& settings, raster::ScreenSizeSource screen,
                                   AfterChangeStarter startAfterChange)
    : loader_(loader),
      settings_(settings),
      screen_(std::move(screen)),
      startAfterChange_(std::move(startAfterChange)) {}

Result WallpaperChanger::ChangeWallPaper(const std::string& file) {
    if (file.empty()) return {};
    Result outcome;
    try {
        outcome = DecodeAndApply(file);
    } catch (const std::exception& e) {
        outcome = Result::Failed(e.what());
    }
    if (!outcome) ReportError(i18n::Translate(kChangeFailedMessage), outcome.reason);
    if (!settings_.NoRunAp && startAfterChange_) startAfterChange_(settings_.RunAp);
    return outcome;
}

namespace {

// The decoded size the composition needs on the buffer's screen, when a
// reduced decode serves it.
imaging::WantedSize WantedSize(int mode, const raster::ScreenSizeSource& screen) {
    try {
        // Stretching draws the picture at the screen's size whatever its own:
        // the decode may hand it over stretched already.
        if (const auto size = compose::ReducedDecodeSize(mode, screen()))
            return {size->width, size->height, compose::StretchesToScreen(mode)};
    } catch (const std::exception&) {
        // the composition reports it
    }
    return {};
}

}  // namespace

void WallpaperChanger::TellOnce(const std::string& notice) {
    if (!notice.empty() && told_.insert(notice).second) ReportError(notice);
}

raster::Bitmap WallpaperChanger::DecodeOther(const std::string& file) {
    imaging::DecodedPicture decoded = imaging::DecodePicture(loader_, file);
    if (!decoded.picture) throw std::runtime_error(decoded.failure);
    return std::move(*decoded.picture);
}

Result WallpaperChanger::DecodeAndApply(const std::string& file) {
    const compose::Composition composition = compose::ChooseComposition(settings_);
    // A plug-in's failure code or a failed conversion ends the change like a
    // raised error: composing an empty or blank picture would only put a
    // black wallpaper on the desktop.
    // A picture of its own on each monitor, or one across them all, is
    // composed from the whole picture.
    const bool oneLayout = EffectiveMonitorMode(settings_) == kMonitorModeSame;
    const imaging::WantedSize wanted = oneLayout ? WantedSize(composition.mode, screen_) : imaging::WantedSize{};
    // The desktop gets ready for the picture meanwhile.
    const desktop::DesktopPreparation preparing;
    imaging::DecodedPicture decoded = imaging::DecodePicture(loader_, file, wanted);
    if (!decoded.picture) return Result::Failed(decoded.failure);
    master_ = std::move(*decoded.picture);
    masterStretched_ = decoded.stretched;
    if (onMasterChanged) onMasterChanged(master_);
    const raster::ScreenSize pictureSize = decoded.size;

    const compose::WallComposer composer(master_, settings_, screen_, pictureSize);
    const std::string buffer = compose::WallBufferPath(settings_);
    // The buffer file is written while the desktop is set. A layout step
    // that failed leaves the picture as far as the steps got: that is
    // written and shown, and the failure told afterwards.
    raster::Bitmap work;
    const Result layout = composer.Compose(composition.mode, work);
    desktop::BufferWrite writing(std::move(work), buffer, file);
    // Only a desktop we draw ourselves is set before the file is complete.
    if (!desktop::DrawsFromMemory() && !writing.Finish()) return writing.Finish();

    const MonitorComposer monitors = OtherMonitorSizes(file, composition, pictureSize);
    Result shown = ApplyWallPaper(buffer, composition.tile, monitors, &writing);
    TellOnce(*monitors.problem);
    // A file that could not be written is the change's failure, as it was
    // before the desktop was asked.
    if (!writing.Finish()) return writing.Finish();
    // The desktop not taking the picture, or a layout step that failed, is
    // a failure the user must hear of, although the change itself went on.
    if (!shown) return shown;
    return layout;
}

MonitorComposer WallpaperChanger::OtherMonitorSizes(const std::string& file, const compose::Composition& composition,
                                                    raster::ScreenSize pictureSize) {
    const int mode = composition.mode;
    const raster::ScreenSize decoded{master_.Width(), master_.Height()};
    if (decoded == pictureSize) {
        return compose::ComposerForMonitorMode(master_, settings_, composition, screen_,
                                               [this](const std::string& other) { return DecodeOther(other); });
    }
    // The master is a reduced decode (only where every monitor shows this
    // one picture laid out for its size): a monitor it does not serve gets a
    // composition of the whole picture, decoded once when first needed.
    MonitorComposer fromMaster = compose::ForOtherMonitorSizes(master_, settings_, mode, screen_, pictureSize);
    auto whole = std::make_shared<std::optional<MonitorComposer>>();
    MonitorComposer composer;
    composer.problem = fromMaster.problem;
    composer.compose = [this, file, mode, decoded, stretched = masterStretched_, fromMaster, whole](const Monitor& m) -> std::optional<raster::Bitmap> {
        // A stretched master serves only its own size: stretching it again
        // would not give the bytes a stretch of the picture gives.
        if (stretched ? m.Size() == decoded : compose::DecodedSizeServes(decoded, mode, m.Size())) return fromMaster(m);
        if (!*whole) {
            *whole = MonitorComposer();
            if (const imaging::DecodedPicture full = imaging::DecodePicture(loader_, file); full.picture)
                **whole = compose::ForOtherMonitorSizes(*full.picture, settings_, mode, screen_);
        }
        return **whole ? (**whole)(m) : std::nullopt;
    };
    return composer;
}

}  // namespace vantoria
