#include "change/cli/ChangeCommand.h"

#include "change/ChangeWallPaper.h"
#include "change/ExecRunAp.h"
#include "imaging/DecodeHelper.h"
#include "imaging/LoaderSetup.h"
#include "imaging/PluginFolder.h"
#include "imaging/Spi_load.h"
#include "platform/desktop/DeskWallpaper.h"
#include "platform/desktop/DesktopChoice.h"
#include "platform/registry/Registry.h"
#include "platform/report/Reporter.h"
#include "platform/screen/Monitors.h"
#include "platform/screen/Screen.h"
#include "settings/ApSystem.h"
#include "settings/Settings.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

namespace vantoria::cli {
namespace {

int ParseInt(const std::string& option, const std::string& text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size()) {
        throw UsageError(option + " needs a whole number, not \"" + text + "\"");
    }
    return value;
}

// The screen for this run: --screen, else VANTORIA_SCREEN, else the primary
// monitor of --monitors, the X server or the Wayland compositor.
raster::ScreenSize ResolveScreen(const ChangeOptions& options) {
    if (options.screen) return *options.screen;
    if (auto fromEnv = ScreenSizeFromEnvironment()) return *fromEnv;
    std::string why;
    if (auto primary = PrimaryScreenSize(why)) return *primary;
    throw std::runtime_error("cannot tell the screen size (" + why + "); give --screen WIDTHxHEIGHT");
}

// --restore, run at login: a bare X11 session or sway forgets the wallpaper
// when the session ends, where Windows keeps it. Puts back the wallpaper
// recorded in the profile (the buffer file, with its TileWallPaper), decoding
// nothing. Desktops that keep their own setting are left alone.
int RestoreRecordedWallpaper() {
    const desktop::DesktopChoice choice = desktop::ChooseDesktop(desktop::SessionEnvironment::FromProcess());
    if (!choice.kind) throw std::runtime_error(choice.error);
    if (*choice.kind != desktop::DesktopKind::X11 && *choice.kind != desktop::DesktopKind::Sway) return 0;
    const std::string recorded = desktop::RecordedWallpaper();
    if (recorded.empty()) return 0;  // no wallpaper was ever set, or it was removed
    const desktop::DesktopResult result = desktop::SetDeskWallpaper(recorded);
    if (!result.ok) throw std::runtime_error(result.reason);
    return 0;
}

// Starts the after-change program through vantoria-start, which does it
// with Qt as the tray program does, and waits for it to have started it.
bool StartAfterChangeApart(const std::string& commandLine) {
    if (commandLine.empty()) return true;
    const std::string path = imaging::HelperProgramPath("vantoria-start");
    char* const argv[] = {const_cast<char*>("vantoria-start"), const_cast<char*>(commandLine.c_str()), nullptr};
    pid_t pid = 0;
    const int failed = ::posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ);
    if (failed != 0) {
        ReportError(i18n::Translate(kCannotStartMessage),
                    commandLine + ": cannot run " + path + ": " + std::strerror(failed));
        return false;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    // vantoria-start has told why it could not.
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

ChangeOptions ParseChangeArguments(const std::vector<std::string>& args) {
    ChangeOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw UsageError(arg + " needs a value");
            return args[++i];
        };
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--position") {
            options.position = ParseInt(arg, value());
        } else if (arg == "--size") {
            options.size = ParseInt(arg, value());
        } else if (arg == "--arrange") {
            options.arrange = ParseInt(arg, value());
        } else if (arg == "--screen") {
            const std::string& text = value();
            options.screen = ParseScreenSize(text);
            if (!options.screen) throw UsageError("--screen needs WIDTHxHEIGHT, not \"" + text + "\"");
        } else if (arg == "--monitors") {
            const std::string& text = value();
            if (!ParseMonitors(text)) throw UsageError("--monitors needs WIDTHxHEIGHT+X+Y,..., not \"" + text + "\"");
            options.monitors = text;
        } else if (arg == "--desktop") {
            options.desktop = value();
            desktop::SessionEnvironment forced;
            forced.forced = *options.desktop;
            if (!desktop::ChooseDesktop(forced).kind) {
                throw UsageError("--desktop needs one of x11, gnome, cinnamon, mate, kde, xfce, lxqt, lxde, sway "
                                 "or none, not \"" + *options.desktop + "\"");
            }
        } else if (arg == "--no-run") {
            options.noRun = true;
        } else if (arg == "--restore") {
            options.restore = true;
        } else if (arg == "--") {
            if (i + 2 != args.size() || !options.file.empty()) throw UsageError("give exactly one picture file");
            options.file = args[++i];
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw UsageError("unknown option " + arg);
        } else {
            if (!options.file.empty()) throw UsageError("give exactly one picture file");
            options.file = arg;
        }
    }
    if (options.restore && !options.file.empty()) throw UsageError("--restore takes no picture file");
    if (!options.help && !options.restore && options.file.empty()) throw UsageError("no picture file given");
    return options;
}

std::string ChangeUsage() {
    return "Usage: vantoria-change [OPTIONS] FILE\n"
           "       vantoria-change --restore [--desktop NAME]\n"
           "Makes the picture FILE the desktop wallpaper with the stored layout settings,\n"
           "as the tray program does on a change: reads it (BMP and ICO natively, other\n"
           "formats through the image plug-ins in the plug-in folder), writes the\n"
           "wallpaper buffer file, hands it to the desktop and starts the after-change\n"
           "program. The settings are read, never saved; the options below change them\n"
           "for this run only.\n"
           "\n"
           "  --position N   display position: 0 centred, 1 tiled, 2 tiled with one copy\n"
           "                 centred (the stored WallPosition otherwise)\n"
           "  --size N       size adjustment for positions 0 and 1: 0 none, 1 stretch to\n"
           "                 the screen, 2 and 3 (alike) enlarge or shrink, keeping the\n"
           "                 proportions, to fit the screen's shorter side\n"
           "  --arrange N    arrangement for position 2: 0 normal, 1 alternate rows,\n"
           "                 2 alternate columns\n"
           "  --screen WxH   screen size in pixels; otherwise VANTORIA_SCREEN=WxH, otherwise\n"
           "                 the primary monitor (see --monitors)\n"
           "  --monitors WxH+X+Y,...\n"
           "                 the monitors, the first one primary; otherwise\n"
           "                 VANTORIA_MONITORS, otherwise those of the X display, or of\n"
           "                 the Wayland compositor when there is no X display. On bare\n"
           "                 X11 every monitor shows the layout composed for its size\n"
           "  --desktop NAME which desktop gets the wallpaper: x11, gnome, cinnamon, mate,\n"
           "                 kde, xfce, lxqt, lxde, sway or none (only recorded);\n"
           "                 otherwise VANTORIA_DESKTOP, otherwise the session's own;\n"
           "                 without a session (no display) one must be named\n"
           "  --no-run       do not start the after-change program this time\n"
           "  --restore      put back the wallpaper recorded at the last change (for\n"
           "                 login, on bare X11 and sway, which do not keep it); no FILE;\n"
           "                 does nothing on desktops that keep their own wallpaper\n"
           "  --help         show this text\n"
           "\n"
           "The buffer file is written to the start folder joined with WallBuffer\n"
           "(Runo.bmp unless set otherwise); the plug-in folder is PathPlugin, else the\n"
           "shipped plug-ins (never the working folder). A plug-in, or a plug-in folder,\n"
           "that belongs to another user or that others can write to is not used.\n"
           "Every picture is read in a separate process that may not open files; it\n"
           "may take VANTORIA_DECODE_TIMEOUT seconds (20 unless set). Exit status 0 when\n"
           "the wallpaper was applied, otherwise 1 with the reason on standard error.\n";
}

int RunChangeCommand(const std::vector<std::string>& args) {
    StderrReporter reporter("vantoria-change: ");
    SetReporter(&reporter);
    struct RestoreReporter {
        ~RestoreReporter() { SetReporter(nullptr); }
    } restore;
    try {
        const ChangeOptions options = ParseChangeArguments(args);
        if (options.help) {
            std::fputs(ChangeUsage().c_str(), stdout);
            return 0;
        }
        // The two session options hold for this run, the programs it starts
        // keep the user's environment.
        const desktop::ForcedDesktop forcedDesktop(options.desktop);
        if (options.restore) return RestoreRecordedWallpaper();
        TApSystem& settings = ApSystem;
        LoadSettings(settings);
        // Without a stored folder the start-up rule would take the working
        // folder, where anyone's downloads may lie: the shipped plug-ins then.
        const bool storedPluginFolder = !settings.PathPlugin.empty();
        CompleteStartup(settings);
        const std::string pluginFolder = storedPluginFolder ? settings.PathPlugin : imaging::ShippedPluginFolder();
        // Set up first: its decode helper starts now, alongside the rest.
        TSpi_load loader;
        imaging::SetUpLoader(loader, {pluginFolder, settings.WallBuffer, false});
        if (options.position) settings.WallPosition = *options.position;
        if (options.size) settings.WallSize = *options.size;
        if (options.arrange) settings.WallArrange = *options.arrange;
        if (options.noRun) settings.NoRunAp = true;
        // Read by the screen size below and by the desktop that draws each monitor.
        const GivenMonitors givenMonitors(options.monitors ? ParseMonitors(*options.monitors) : std::nullopt);
        const raster::ScreenSize screen = ResolveScreen(options);
        WallpaperChanger changer(loader, settings, [screen] { return screen; }, StartAfterChangeApart);
        // The change reports its own failure on standard error.
        return changer.ChangeWallPaper(options.file).ok ? 0 : 1;
    } catch (const UsageError& e) {
        std::fprintf(stderr, "vantoria-change: %s (see --help)\n", e.what());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vantoria-change: %s\n", e.what());
    }
    return 1;
}

}  // namespace vantoria::cli
