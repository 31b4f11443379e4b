// LXQt's desktop is drawn by pcmanfm-qt and LXDE's by pcmanfm; both take the
// wallpaper on the command line, with the same options, and pass it to the
// running instance.

#include "platform/desktop/ToolDesktops.h"
#include "platform/desktop/ToolRunner.h"

namespace vantoria::desktop {
namespace {

DesktopResult SetPcmanfmWallpaper(const std::string& program, const std::string& picture, bool tile) {
    // "color": the background colour alone, no picture.
    const ToolResult r =
        picture.empty() ? RunTool({program, "--wallpaper-mode", "color"})
                        : RunTool({program, "--set-wallpaper", picture, "--wallpaper-mode", tile ? "tile" : "center"});
    return r.ok ? DesktopResult::Done() : DesktopResult::Failed(r.reason);
}

}  // namespace

DesktopResult SetLxqtWallpaper(const std::string& picture, bool tile) {
    return SetPcmanfmWallpaper("pcmanfm-qt", picture, tile);
}

DesktopResult SetLxdeWallpaper(const std::string& picture, bool tile) {
    return SetPcmanfmWallpaper("pcmanfm", picture, tile);
}

}  // namespace vantoria::desktop
