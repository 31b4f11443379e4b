// KDE Plasma keeps the wallpaper per desktop containment; plasmashell runs
// a desktop script that changes all of them. The path enters the script
// only as a percent-encoded URI inside a JavaScript string literal.

#include "platform/desktop/Quoting.h"
#include "platform/desktop/ToolDesktops.h"
#include "platform/desktop/ToolRunner.h"

namespace vantoria::desktop {
namespace {

constexpr int kFillTiled = 3;
constexpr int kFillCentred = 6;

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

}  // namespace

DesktopResult SetPlasmaWallpaper(const std::string& picture, bool tile) {
    const ToolResult r = RunTool({"dbus-send", "--session", "--print-reply", "--dest=org.kde.plasmashell",
                                  "/PlasmaShell", "org.kde.PlasmaShell.evaluateScript",
                                  "string:" + Script(picture, tile)});
    return r.ok ? DesktopResult::Done() : DesktopResult::Failed(r.reason);
}

}  // namespace vantoria::desktop
