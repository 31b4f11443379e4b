#include "change/ChangeWallPaper.h"

#include "change/ExecRunAp.h"
#include "compose/ApplyWallPaper.h"
#include "compose/CompositionMode.h"
#include "compose/MonitorModes.h"
#include "compose/WallBufferPath.h"
#include "compose/WallComposer.h"
#include "imaging/Spi_load.h"
#include "platform/report/Reporter.h"
#include "settings/ApSystem.h"

#include <exception>
#include <mutex>
#include <set>
#include <stdexcept>

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

namespace {

// What the monitors could not show as asked (a desktop that knows one picture
// for all of them, a file that no longer decodes) is said once a run, not at
// every change.
void TellOnce(const std::string& notice) {
    static std::mutex lock;
    static std::set<std::string> told;
    if (notice.empty()) return;
    {
        const std::lock_guard<std::mutex> hold(lock);
        if (!told.insert(notice).second) return;
    }
    ReportError(notice);
}

}  // namespace

raster::Bitmap WallpaperChanger::DecodeOther(const std::string& file) {
    loader_.SetFile(file);
    loader_.CheckFile();
    if (!loader_.LoadPicture() || !loader_.Bitmap() || loader_.Bitmap()->Empty()) {
        const std::string& why = loader_.LastError();
        throw std::runtime_error(why.empty() ? file + ": the picture could not be read" : why);
    }
    return *loader_.Bitmap();
}

std::optional<std::string> WallpaperChanger::DecodeAndApply(const std::string& file) {
    loader_.LoadPlugins();
    loader_.SetFile(file);
    loader_.CheckFile();
    // A plug-in's failure code or a failed conversion ends the change like a
    // raised error: composing an empty or blank picture would only put a
    // black wallpaper on the desktop.
    if (!loader_.LoadPicture() || !loader_.Bitmap() || loader_.Bitmap()->Empty()) {
        const std::string& why = loader_.LastError();
        return why.empty() ? file + ": the picture could not be read" : why;
    }
    master_ = *loader_.Bitmap();
    if (onMasterChanged) onMasterChanged(master_);

    const compose::Composition composition = compose::ChooseComposition(settings_);
    const compose::WallComposer composer(master_, settings_, screen_);
    composer.ComposeWallPaper(composition.mode, file);

    std::string problem;
    const MonitorComposer monitors = compose::ComposerForMonitorMode(
        master_, settings_, composition, screen_, [this](const std::string& other) { return DecodeOther(other); });
    ApplyWallPaper(compose::WallBufferPath(settings_), composition.tile, &problem, monitors);
    TellOnce(*monitors.problem);
    // The desktop not taking the picture, or a layout step that failed (the
    // wallpaper then shows the picture as far as the steps got), is a
    // failure the user must hear of, although the change itself went on.
    if (problem.empty()) problem = composer.StepFailure();
    if (!problem.empty()) return problem;
    return std::nullopt;
}

}  // namespace vantoria
