#include "compose/MonitorModes.h"

#include <exception>
#include <memory>

#include "compose/MonitorAssignment.h"
#include "compose/MonitorCompositions.h"
#include "platform/screen/Screen.h"
#include "settings/ApSystem.h"
#include "settings/ExtensionSettings.h"

namespace vantoria::compose {

MonitorComposer ComposerForMonitorMode(const raster::Bitmap& master, const TApSystem& settings,
                                       const Composition& composition, const raster::ScreenSizeSource& screen,
                                       PictureDecoder decode) {
    const int mode = EffectiveMonitorMode(settings);
    if (mode == kMonitorModeSpanned) {
        std::string why;
        std::optional<MonitorList> monitors;
        try {
            monitors = CurrentMonitors(why);
        } catch (const std::exception& e) {
            why = e.what();
        }
        if (monitors && !monitors->empty()) return ForSpannedMonitors(master, settings, composition, *monitors);
        MonitorComposer fallback = ForOtherMonitorSizes(master, settings, composition.mode, screen);
        *fallback.problem = "the monitors are unknown, so the picture is not spread across them: " + why;
        return fallback;
    }
    if (mode == kMonitorModeEach) {
        auto files = std::make_shared<const MonitorFiles>(ParseMonitorFiles(settings.MonitorWallPapers));
        auto problem = std::make_shared<std::string>();
        MonitorComposer composer = ForEachMonitor(
            [master, files, decode, problem](const Monitor& m) -> std::optional<raster::Bitmap> {
                const auto own = m.primary ? files->end() : files->find(m.Identity());
                if (own == files->end() || !decode) return master;
                try {
                    return decode(own->second);
                } catch (const std::exception& e) {
                    if (problem->empty()) *problem = e.what();
                    return master;  // what it would show without a picture of its own
                }
            },
            settings, composition, problem);
        return composer;
    }
    return ForOtherMonitorSizes(master, settings, composition.mode, screen);
}

}  // namespace vantoria::compose
