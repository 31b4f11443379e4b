#pragma once
// The one operation that turns an image file into the desktop wallpaper:
// decode, keep the picture as the master image, compose the buffer file,
// hand it to the desktop, then start the after-change program.

#include "change/ExecRunAp.h"
#include "compose/CompositionMode.h"
#include "platform/Result.h"
#include "platform/i18n/Messages.h"
#include "platform/raster/Bitmap.h"
#include "platform/raster/ScreenSize.h"
#include "platform/screen/Monitors.h"

#include <functional>
#include <set>
#include <string>

namespace vantoria {

class TSpi_load;
struct TApSystem;

inline constexpr const char* kChangeFailedMessage =
    i18n::Translatable("壁紙を作成できません。Susieプラグインフォルダを変更した場合は、再起動してください。");

// Starts the after-change program: ExecRunAp (Qt's process start) unless the
// caller brings its own (the command-line program, which loads no Qt, or a
// test).
using AfterChangeStarter = std::function<bool(const std::string& commandLine)>;

class WallpaperChanger {
public:
    // The first two must outlive the changer. `settings` is read at every
    // change.
    WallpaperChanger(TSpi_load& loader, const TApSystem& settings, raster::ScreenSizeSource screen,
                     AfterChangeStarter startAfterChange = ExecRunAp);

    // An empty file name does nothing at all (and is not done). Otherwise
    // any failure shows one message through the reporter, and the
    // after-change program starts unless NoRunAp is set, whether or not the
    // change worked. Done when the buffer file is on the desktop; the
    // reason is what the reporter was told.
    Result ChangeWallPaper(const std::string& file);

    // The last picture decoded by a change (the master image).
    const raster::Bitmap& Master() const { return master_; }
    // Called whenever the master image changes (the debug view shows it).
    std::function<void(const raster::Bitmap&)> onMasterChanged;

private:
    // Done when the picture is on the desktop, else why not. Errors raised
    // by the loader and the composition pass through.
    Result DecodeAndApply(const std::string& file);
    // The compositions for other monitors' sizes, from the master image.
    MonitorComposer OtherMonitorSizes(const std::string& file, const compose::Composition& composition,
                                      raster::ScreenSize pictureSize);
    // The picture of another monitor's file (MonitorMode 1); throws.
    raster::Bitmap DecodeOther(const std::string& file);
    // What the monitors could not show as asked (a desktop that knows one
    // picture for all of them, a file that no longer decodes) is said once
    // for the changer's life (the program's run), not at every change.
    void TellOnce(const std::string& notice);

    TSpi_load& loader_;
    const TApSystem& settings_;
    raster::ScreenSizeSource screen_;
    AfterChangeStarter startAfterChange_;
    raster::Bitmap master_;
    // master_ is the picture stretched to the buffer's screen by the decode.
    bool masterStretched_ = false;
    std::set<std::string> told_;
};

}  // namespace vantoria
