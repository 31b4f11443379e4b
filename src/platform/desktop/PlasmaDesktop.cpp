// KDE Plasma keeps the wallpaper per desktop containment; plasmashell runs
// a desktop script that changes all of them. The path enters the script
// only as a percent-encoded URI inside a JavaScript string literal.
//
// Plasma draws a centred or tiled picture in its own pixels, which under
// display scaling are larger than the screen's: a 100-pixel picture covers
// 200 screen pixels at twice the scale. Only a picture that fills its screen
// is drawn one to one at every scale, so where the monitors are known every
// desktop gets one as large as its monitor in device pixels, laid out as
// the desktop would lay out the picture.

#include <algorithm>
#include <exception>
#include <optional>

#include "compose/MonitorCompositions.h"
#include "platform/desktop/FreshPictures.h"
#include "platform/desktop/Quoting.h"
#include "platform/desktop/ToolDesktops.h"
#include "platform/desktop/ToolRunner.h"
#include "platform/dib/Dib.h"
#include "platform/screen/Screen.h"

namespace vantoria::desktop {
namespace {

constexpr int kFillTiled = 3;
constexpr int kFillCentred = 6;
// Scaled and cropped: a picture of the screen's own shape drawn over the
// whole screen, in device pixels, whatever Plasma's scale.
constexpr int kFillScreen = 2;

DesktopResult RunScript(const std::string& script) {
    const ToolResult r = RunTool({"dbus-send", "--session", "--print-reply", "--dest=org.kde.plasmashell",
                                  "/PlasmaShell", "org.kde.PlasmaShell.evaluateScript", "string:" + script});
    return r.ok ? DesktopResult::Done() : DesktopResult::Failed(r.reason);
}

std::string Script(const std::string& picture, bool tile) {
    std::string body;
    if (picture.empty()) {
        body = "    d.wallpaperPlugin = \"org.kde.color\";\n";
    } else {
        body = "    d.wallpaperPlugin = \"org.kde.image\";\n"
               "    d.currentConfigGroup = [\"Wallpaper\", \"org.kde.image\", \"General\"];\n"
               "    d.writeConfig(\"Image\", " + JavaScriptString(FileUri(picture)) + ");\n"
               "    d.writeConfig(\"FillMode\", " + std::to_string(tile ? kFillTiled : kFillCentred) + ");\n";
    }
    return "var all = desktops();\n"
           "for (var i = 0; i < all.length; ++i) {\n"
           "    var d = all[i];\n" + body + "}\n";
}

struct MonitorFile {
    Monitor monitor;
    std::string file;
};

// A desktop is known by where its screen starts: Qt keeps a screen's origin
// in device pixels on X11 even when it scales the screen's size. On Wayland
// Plasma places screens in the compositor's logical pixels, the monitor list
// in device pixels: the same layout, so where no place is the same, the
// screens and the monitors in the same order (left to right, then top to
// bottom) are the same ones. A desktop on no listed monitor shows the
// primary monitor's picture.
std::string PerDesktopScript(const std::vector<MonitorFile>& files) {
    std::string images = "var images = [\n";
    for (const MonitorFile& f : files) {
        images += "    {x: " + std::to_string(f.monitor.x) + ", y: " + std::to_string(f.monitor.y) +
                  ", uri: " + JavaScriptString(FileUri(f.file)) + "},\n";
    }
    images += "];\n";
    return images +
           "function before(a, b) { return a.x < b.x || (a.x == b.x && a.y < b.y); }\n"
           "function places(list) {\n"
           "    var out = [];\n"
           "    for (var i = 0; i < list.length; ++i) {\n"
           "        var seen = false;\n"
           "        for (var j = 0; j < out.length; ++j) seen = seen || (out[j].x == list[i].x && out[j].y == list[i].y);\n"
           "        if (!seen) out.push(list[i]);\n"
           "    }\n"
           "    return out;\n"
           "}\n"
           "function rank(list, p) {\n"
           "    var r = 0;\n"
           "    for (var i = 0; i < list.length; ++i) if (before(list[i], p)) ++r;\n"
           "    return r;\n"
           "}\n"
           "var all = desktops();\n"
           "var screens = [];\n"
           "for (var i = 0; i < all.length; ++i) {\n"
           "    var g = screenGeometry(all[i].screen);\n"
           "    screens.push({x: g.x, y: g.y});\n"
           "}\n"
           "var sameCount = places(screens).length == places(images).length;\n"
           "for (var i = 0; i < all.length; ++i) {\n"
           "    var d = all[i];\n"
           "    var uri = images[0].uri, found = false;\n"
           "    for (var j = 0; j < images.length; ++j)\n"
           "        if (images[j].x == screens[i].x && images[j].y == screens[i].y) uri = images[j].uri, found = true;\n"
           "    for (var j = 0; j < images.length && !found && sameCount; ++j)\n"
           "        if (rank(places(images), images[j]) == rank(places(screens), screens[i])) uri = images[j].uri;\n"
           "    d.wallpaperPlugin = \"org.kde.image\";\n"
           "    d.currentConfigGroup = [\"Wallpaper\", \"org.kde.image\", \"General\"];\n"
           "    d.writeConfig(\"Image\", uri);\n"
           "    d.writeConfig(\"FillMode\", " + std::to_string(kFillScreen) + ");\n"
           "}\n";
}

}  // namespace

DesktopResult SetPlasmaWallpaper(const std::string& picture, bool tile) { return RunScript(Script(picture, tile)); }

std::optional<DesktopResult> SetPlasmaScreenPictures(const std::string& buffer, bool tile,
                                                     const MonitorComposer& perMonitor, std::string& reason) {
    std::optional<MonitorList> monitors;
    try {
        monitors = CurrentMonitors(reason);
    } catch (const std::exception& e) {
        reason = e.what();
    }
    if (!monitors || monitors->empty()) return std::nullopt;
    try {
        std::optional<FreshPictures> fresh = FreshPictures::Start(reason);
        if (!fresh) return DesktopResult::Failed(reason);
        // The primary monitor first: a desktop on none of them shows its picture.
        MonitorList ordered = *monitors;
        std::stable_partition(ordered.begin(), ordered.end(), [](const Monitor& m) { return m.primary; });
        std::optional<raster::Bitmap> bufferPicture;
        std::vector<MonitorFile> files;
        for (const Monitor& m : ordered) {
            // One monitor's picture at a time: written, then dropped.
            std::optional<raster::Bitmap> own = perMonitor ? perMonitor(m) : std::nullopt;
            if (!own && !bufferPicture) bufferPicture = dib::LoadBmpFile(buffer);
            Monitor screen = m;
            screen.x = screen.y = 0;
            const raster::Bitmap shown = compose::MonitorCanvas({screen}, {}, own ? *own : *bufferPicture, tile);
            own.reset();
            files.push_back({m, fresh->Write(shown).string()});
        }
        DesktopResult result = RunScript(PerDesktopScript(files));
        if (result.ok) fresh->Commit();
        return result;
    } catch (const std::exception& e) {
        return DesktopResult::Failed(std::string("cannot give every monitor its picture: ") + e.what());
    }
}

}  // namespace vantoria::desktop
