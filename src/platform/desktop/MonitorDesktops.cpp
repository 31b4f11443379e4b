// The desktops that keep their own wallpaper setting, with a picture per
// monitor: each is handed the monitors' pictures the way it knows them.

#include <algorithm>
#include <exception>
#include <set>
#include <tuple>
#include <sstream>
#include <string_view>

#include "compose/MonitorCompositions.h"
#include "platform/desktop/FreshPictures.h"
#include "platform/desktop/Quoting.h"
#include "platform/desktop/ToolDesktops.h"
#include "platform/desktop/ToolRunner.h"
#include "platform/dib/Dib.h"
#include "platform/screen/Screen.h"

namespace vantoria::desktop {
namespace {

constexpr int kXfceStyleCentred = 1;

std::optional<MonitorList> Monitors(std::string& reason) {
    try {
        return CurrentMonitors(reason);
    } catch (const std::exception& e) {
        reason = e.what();
        return std::nullopt;
    }
}

// Every monitor's file: its own picture, or the buffer file's fresh name.
struct MonitorFile {
    Monitor monitor;
    std::string file;
    bool own = false;
};

std::vector<MonitorFile> WriteMonitorFiles(FreshPictures& fresh, const MonitorList& monitors,
                                           const std::string& buffer, const MonitorComposer& perMonitor) {
    std::vector<MonitorFile> files;
    std::string shared;
    for (const Monitor& m : monitors) {
        // One picture at a time: written, then dropped.
        if (std::optional<raster::Bitmap> own = perMonitor(m)) {
            files.push_back({m, fresh.Write(*own).string(), true});
        } else {
            if (shared.empty()) shared = fresh.Link(buffer).string();
            files.push_back({m, shared, false});
        }
    }
    return files;
}

DesktopResult SpannedCanvas(DesktopKind kind, const std::string& buffer, bool tile, const MonitorComposer& perMonitor) {
    std::string reason;
    const std::optional<MonitorList> monitors = Monitors(reason);
    if (!monitors) return DesktopResult::Failed(reason);
    std::optional<FreshPictures> fresh = FreshPictures::Start(reason);
    if (!fresh) return DesktopResult::Failed(reason);
    const raster::Bitmap bufferPicture = dib::LoadBmpFile(buffer);
    const std::string canvas =
        fresh->Write(compose::MonitorCanvas(*monitors, perMonitor, bufferPicture, tile)).string();
    DesktopResult result = SetGSettingsWallpaper(kind, canvas, tile, true);
    if (result.ok) fresh->Commit();
    return result;
}

// ".../monitorNAME/workspaceN/last-image": NAME.
std::string_view BackdropMonitor(std::string_view property) {
    const auto at = property.find("/monitor");
    if (at == std::string_view::npos) return {};
    property.remove_prefix(at + 8);
    return property.substr(0, property.find('/'));
}

DesktopResult XfcePerBackdrop(const std::vector<MonitorFile>& files) {
    const ToolResult listed = RunTool({"xfconf-query", "-c", "xfce4-desktop", "-l"});
    if (!listed.ok) return DesktopResult::Failed(listed.reason);
    std::istringstream in(listed.output);
    for (std::string line; std::getline(in, line);) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (!line.ends_with("/last-image")) continue;
        const std::string_view name = BackdropMonitor(line);
        const MonitorFile* chosen = &files.front();
        for (const MonitorFile& f : files)
            if (!f.monitor.name.empty() && f.monitor.name == name) chosen = &f;
        const std::string base = line.substr(0, line.size() - std::string_view("/last-image").size());
        for (const auto& [property, type, value] :
             {std::tuple{base + "/image-style", "int", std::to_string(kXfceStyleCentred)},
              std::tuple{line, "string", chosen->file}}) {
            const ToolResult r =
                RunTool({"xfconf-query", "-c", "xfce4-desktop", "-p", property, "-n", "-t", type, "-s", value});
            if (!r.ok) return DesktopResult::Failed(r.reason);
        }
    }
    return DesktopResult::Done();
}

// xfdesktop places a backdrop on each monitor GTK knows by its output. When
// it has a single one, named after none of our monitors (monitors that
// xrandr cut out of one output, or a server without RandR), that backdrop
// covers the whole screen: it gets every monitor's picture in place on one
// canvas of all of them. nullopt: the backdrops are the monitors'.
std::optional<DesktopResult> XfceOneBackdrop(const std::string& buffer, bool tile, const MonitorComposer& perMonitor) {
    const ToolResult listed = RunTool({"xfconf-query", "-c", "xfce4-desktop", "-l"});
    if (!listed.ok) return std::nullopt;
    std::set<std::string> names;
    std::istringstream in(listed.output);
    for (std::string line; std::getline(in, line);) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (line.ends_with("/last-image")) names.insert(std::string(BackdropMonitor(line)));
    }
    std::string reason;
    const std::optional<MonitorList> monitors = Monitors(reason);
    if (names.size() != 1 || !monitors || monitors->size() < 2) return std::nullopt;
    for (const Monitor& m : *monitors)
        if (m.name == *names.begin()) return std::nullopt;
    std::optional<FreshPictures> fresh = FreshPictures::Start(reason);
    if (!fresh) return DesktopResult::Failed(reason);
    const Monitor& primary = PrimaryMonitor(*monitors);
    const std::string canvas =
        fresh->Write(compose::MonitorCanvas(*monitors, perMonitor, dib::LoadBmpFile(buffer), tile)).string();
    DesktopResult result = XfcePerBackdrop({{primary, canvas, true}});
    if (result.ok) fresh->Commit();
    return result;
}

template <typename Send>
DesktopResult EachMonitorFile(const std::string& buffer, const MonitorComposer& perMonitor, Send send) {
    std::string reason;
    const std::optional<MonitorList> monitors = Monitors(reason);
    if (!monitors) return DesktopResult::Failed(reason);
    std::optional<FreshPictures> fresh = FreshPictures::Start(reason);
    if (!fresh) return DesktopResult::Failed(reason);
    // The primary monitor first: where a desktop has fewer places than we
    // have monitors, it is the one that counts.
    MonitorList ordered = *monitors;
    std::stable_partition(ordered.begin(), ordered.end(), [](const Monitor& m) { return m.primary; });
    DesktopResult result = send(WriteMonitorFiles(*fresh, ordered, buffer, perMonitor));
    if (result.ok) fresh->Commit();
    return result;
}

}  // namespace

DesktopResult SetWallpaperPerMonitor(DesktopKind kind, const std::string& buffer, bool tile,
                                     const MonitorComposer& perMonitor) {
    try {
        switch (kind) {
            case DesktopKind::Gnome:
            case DesktopKind::Cinnamon:
            case DesktopKind::Mate:
                return SpannedCanvas(kind, buffer, tile, perMonitor);
            case DesktopKind::Sway:
                return SetSwayWallpaperPerOutput(buffer, tile, perMonitor);
            case DesktopKind::Kde: {
                std::string reason;
                std::optional<DesktopResult> shown = SetPlasmaScreenPictures(buffer, tile, perMonitor, reason);
                return shown ? *shown : DesktopResult::Failed(reason);
            }
            case DesktopKind::Xfce:
                if (std::optional<DesktopResult> whole = XfceOneBackdrop(buffer, tile, perMonitor)) return *whole;
                return EachMonitorFile(buffer, perMonitor, XfcePerBackdrop);
            case DesktopKind::Lxqt:
            case DesktopKind::Lxde:
            case DesktopKind::X11:
            case DesktopKind::None:
                break;
        }
    } catch (const std::exception& e) {
        return DesktopResult::Failed(std::string("cannot give every monitor its picture: ") + e.what());
    }
    // LXQt's and LXDE's desktops take one picture for every monitor.
    if (perMonitor.problem->empty())
        *perMonitor.problem = "this desktop shows one picture on every monitor: each monitor shows the primary "
                              "monitor's picture";
    const std::string& picture = buffer;
    std::string reason;
    std::optional<FreshCopy> copy = FreshCopy::Make(picture, reason);
    if (!copy) return DesktopResult::Failed(reason);
    DesktopResult result = kind == DesktopKind::Lxqt ? SetLxqtWallpaper(copy->Path().string(), tile)
                           : kind == DesktopKind::Lxde ? SetLxdeWallpaper(copy->Path().string(), tile)
                                                       : DesktopResult::Done();
    if (result.ok) copy->Commit();
    return result;
}

}  // namespace vantoria::desktop
