// sway takes "output * bg PATH MODE". swaymsg joins its arguments into one
// command line that sway splits again and whose path it expands like a
// shell word (variables, command substitution). So only paths made of
// plain characters are sent; the fresh names in the cache folder are.

#include <optional>
#include <utility>

#include "platform/desktop/FreshPictures.h"
#include "platform/desktop/ToolDesktops.h"
#include "platform/desktop/ToolRunner.h"
#include "platform/screen/SwayOutputs.h"

namespace vantoria::desktop {
namespace {

bool PlainForSway(const std::string& path) {
    for (const char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c >= 0x80 || ch == '/' || ch == '.' || ch == '_' || ch == '-' || ch == '+' ||
                           ch == '=' || ch == '@' || ch == '%' || ch == ':';
        if (!plain) return false;
    }
    return true;
}

}  // namespace

DesktopResult SetSwayWallpaper(const std::string& picture, bool tile) {
    if (!picture.empty() && !PlainForSway(picture))
        return DesktopResult::Failed("sway would read the picture path " + picture +
                                     " as more than a file name; set XDG_CACHE_HOME to a folder "
                                     "whose path has no blanks, quotes or shell characters");
    const ToolResult r = picture.empty()
                             ? RunTool({"swaymsg", "output", "*", "bg", "#000000", "solid_color"})
                             : RunTool({"swaymsg", "output", "*", "bg", picture, tile ? "tile" : "center"});
    return r.ok ? DesktopResult::Done() : DesktopResult::Failed(r.reason);
}

}  // namespace vantoria::desktop

namespace vantoria::desktop {

DesktopResult SetSwayWallpaperPerOutput(const std::string& buffer, bool tile, const MonitorComposer& perMonitor) {
    std::string reason;
    const std::optional<MonitorList> outputs = SwayOutputs(reason);
    if (!outputs) return DesktopResult::Failed(reason);
    std::optional<FreshPictures> fresh = FreshPictures::Start(reason);
    if (!fresh) return DesktopResult::Failed(reason);
    std::string shared;
    for (const Monitor& m : *outputs) {
        if (!PlainForSway(m.name)) continue;  // an output sway would not take by that name
        std::string file;
        const char* how = "stretch";  // the picture is the output's size
        if (std::optional<raster::Bitmap> own = perMonitor(m)) {
            file = fresh->Write(*own).string();
        } else {
            if (shared.empty()) shared = fresh->Link(buffer).string();
            file = shared;
            how = tile ? "tile" : "center";
        }
        if (!PlainForSway(file))
            return DesktopResult::Failed("sway would read the picture path " + file +
                                         " as more than a file name; set XDG_CACHE_HOME to a folder "
                                         "whose path has no blanks, quotes or shell characters");
        const ToolResult r = RunTool({"swaymsg", "output", m.name, "bg", file, how});
        if (!r.ok) return DesktopResult::Failed(r.reason);
    }
    fresh->Commit();
    return DesktopResult::Done();
}

}  // namespace vantoria::desktop
