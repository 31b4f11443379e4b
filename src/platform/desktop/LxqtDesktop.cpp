// LXQt's desktop is drawn by pcmanfm-qt, which takes the wallpaper on its
// command line and passes it to the running instance.

#include "platform/desktop/ToolDesktops.h"
#include "platform/desktop/ToolRunner.h"

namespace vantoria::desktop {

DesktopResult SetLxqtWallpaper(const std::string& picture, bool tile) {
    // "color": the background colour alone, no picture.
    const ToolResult r =
        picture.empty() ? RunTool({"pcmanfm-qt", "--wallpaper-mode", "color"})
                        : RunTool({"pcmanfm-qt", "--set-wallpaper", picture, "--wallpaper-mode", tile ? "tile" : "center"});
    return r.ok ? DesktopResult::Done() : DesktopResult::Failed(r.reason);
}

}  // namespace vantoria::desktop
