// XFCE keeps one backdrop per monitor and workspace in the xfce4-desktop
// channel, each a ".../last-image" property with a sibling ".../image-style".

#include <sstream>
#include <vector>

#include "platform/desktop/ToolDesktops.h"
#include "platform/desktop/ToolRunner.h"

namespace vantoria::desktop {
namespace {

constexpr std::string_view kChannel = "xfce4-desktop";
constexpr std::string_view kImageSuffix = "/last-image";
constexpr std::string_view kFallbackImage = "/backdrop/screen0/monitor0/workspace0/last-image";
constexpr int kStyleNone = 0;
constexpr int kStyleCentred = 1;
constexpr int kStyleTiled = 2;

// The backdrops the desktop has made so far; the first one when it has none
// yet (or cannot list them: setting it then says why).
std::vector<std::string> ImageProperties() {
    std::vector<std::string> found;
    const ToolResult listed = RunTool({"xfconf-query", "-c", std::string(kChannel), "-l"});
    if (listed.ok) {
        std::istringstream in(listed.output);
        for (std::string line; std::getline(in, line);) {
            while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
            if (line.size() > kImageSuffix.size() && line.ends_with(kImageSuffix)) found.push_back(line);
        }
    }
    if (found.empty()) found.emplace_back(kFallbackImage);
    return found;
}

// -n creates the property where it is missing and is harmless where it is not.
ToolResult SetProperty(const std::string& property, const char* type, const std::string& value) {
    return RunTool({"xfconf-query", "-c", std::string(kChannel), "-p", property, "-n", "-t", type, "-s", value});
}

}  // namespace

DesktopResult SetXfceWallpaper(const std::string& picture, bool tile) {
    const int style = picture.empty() ? kStyleNone : tile ? kStyleTiled : kStyleCentred;
    for (const std::string& image : ImageProperties()) {
        const std::string styleProperty =
            image.substr(0, image.size() - kImageSuffix.size()) + "/image-style";
        if (auto r = SetProperty(styleProperty, "int", std::to_string(style)); !r.ok)
            return DesktopResult::Failed(r.reason);
        if (picture.empty()) continue;
        if (auto r = SetProperty(image, "string", picture); !r.ok) return DesktopResult::Failed(r.reason);
    }
    return DesktopResult::Done();
}

}  // namespace vantoria::desktop
