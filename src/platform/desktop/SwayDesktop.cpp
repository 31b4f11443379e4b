// sway takes "output * bg PATH MODE". swaymsg joins its arguments into one
// command line that sway splits again and whose path it expands like a
// shell word (variables, command substitution). So only paths made of
// plain characters are sent; the fresh names in the cache folder are.

#include "platform/desktop/ToolDesktops.h"
#include "platform/desktop/ToolRunner.h"

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
