#include "change/ChangeWallPaper.h"

#include "change/ExecRunAp.h"
#include "compose/ApplyWallPaper.h"
#include "compose/CompositionMode.h"
#include "compose/MonitorCompositions.h"
#include "compose/WallBufferPath.h"
#include "compose/WallComposer.h"
#include "imaging/DecodePicture.h"
#include "platform/report/Reporter.h"
#include "settings/ApSystem.h"

#include <exception>

namespace vantoria {

WallpaperChanger::WallpaperChanger(TSpi_load& loader, const TApSystem& settings, raster::ScreenSizeSource screen,
                                   AfterChangeStarter startAfterChange)
    : loader_(loader),
      settings_(settings),
      screen_(std::move(screen)),
      startAfterChange_(startAfterChange ? std::move(startAfterChange) : AfterChangeStarter(ExecRunAp)) {}

ChangeOutcome WallpaperChanger::ChangeWallPaper(const std::string& file) {
    ChangeOutcome outcome;
    if (file.empty()) return outcome;
    std::optional<std::string> failure;
    try {
        failure = DecodeAndApply(file);
    } catch (const std::exception& e) {
        failure = e.what();
    }
    outcome.applied = !failure;
    if (failure) {
        outcome.problem = *failure;
        ReportError(kChangeFailedMessage, outcome.problem);
    }
    if (!settings_.NoRunAp) startAfterChange_(settings_.RunAp);
    return outcome;
}

std::optional<std::string> WallpaperChanger::DecodeAndApply(const std::string& file) {
    // A plug-in's failure code or a failed conversion ends the change like a
    // raised error: composing an empty or blank picture would only put a
    // black wallpaper on the desktop.
    imaging::DecodedPicture decoded = imaging::DecodePicture(loader_, file);
    if (!decoded.picture) return decoded.failure;
    master_ = std::move(*decoded.picture);
    if (onMasterChanged) onMasterChanged(master_);

    const compose::Composition composition = compose::ChooseComposition(settings_);
    const compose::WallComposer composer(master_, settings_, screen_);
    composer.ComposeWallPaper(composition.mode, file);

    std::string problem;
    ApplyWallPaper(compose::WallBufferPath(settings_), composition.tile, &problem,
                   compose::ForOtherMonitorSizes(master_, settings_, composition.mode, screen_));
    // The desktop not taking the picture, or a layout step that failed (the
    // wallpaper then shows the picture as far as the steps got), is a
    // failure the user must hear of, although the change itself went on.
    if (problem.empty()) problem = composer.StepFailure();
    if (!problem.empty()) return problem;
    return std::nullopt;
}

}  // namespace vantoria
