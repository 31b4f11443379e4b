// gnome, cinnamon and mate keep the background in one GSettings schema each.
// Values are written as GVariant text, which gsettings parses; a key the
// installed schema lacks (the dark picture before GNOME 42) is left out.

#include <set>
#include <sstream>
#include <string_view>

#include "platform/desktop/Quoting.h"
#include "platform/desktop/ToolDesktops.h"
#include "platform/desktop/ToolRunner.h"

namespace vantoria::desktop {
namespace {

struct Schema {
    std::string_view id;
    std::string_view pictureKey;
    std::string_view darkPictureKey;  // optional key, "" when the desktop has none
    bool pictureIsUri;                // else a plain path
    bool hasNoneOption;               // "none" in picture-options
};

constexpr Schema kGnome{"org.gnome.desktop.background", "picture-uri", "picture-uri-dark", true, true};
constexpr Schema kCinnamon{"org.cinnamon.desktop.background", "picture-uri", "", true, true};
// MATE draws no picture when the file name is empty; its options have no "none".
constexpr Schema kMate{"org.mate.background", "picture-filename", "", false, false};

std::set<std::string, std::less<>> Lines(const std::string& text) {
    std::set<std::string, std::less<>> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (!line.empty()) lines.insert(line);
    }
    return lines;
}

ToolResult Set(const Schema& schema, std::string_view key, const std::string& value) {
    return RunTool({"gsettings", "set", std::string(schema.id), std::string(key), value});
}

}  // namespace

DesktopResult SetGSettingsWallpaper(DesktopKind kind, const std::string& picture, bool tile, bool spanned) {
    const Schema& schema = kind == DesktopKind::Cinnamon ? kCinnamon : kind == DesktopKind::Mate ? kMate : kGnome;
    const ToolResult listed = RunTool({"gsettings", "list-keys", std::string(schema.id)});
    if (!listed.ok) return DesktopResult::Failed(listed.reason);
    const auto keys = Lines(listed.output);
    if (!keys.contains(schema.pictureKey) || !keys.contains("picture-options"))
        return DesktopResult::Failed("gsettings: the schema " + std::string(schema.id) +
                                     " has no key " + std::string(schema.pictureKey) +
                                     " or picture-options");

    std::string value = "''";
    std::string options;
    if (!picture.empty()) {
        value = GVariantString(schema.pictureIsUri ? FileUri(picture) : picture);
        options = spanned ? "'spanned'" : tile ? "'wallpaper'" : "'centered'";
    } else if (schema.hasNoneOption) {
        options = "'none'";
    }
    // The layout first, so that the new picture appears in it straight away.
    if (!options.empty()) {
        if (auto r = Set(schema, "picture-options", options); !r.ok) return DesktopResult::Failed(r.reason);
    }
    if (auto r = Set(schema, schema.pictureKey, value); !r.ok) return DesktopResult::Failed(r.reason);
    if (!schema.darkPictureKey.empty() && keys.contains(schema.darkPictureKey)) {
        if (auto r = Set(schema, schema.darkPictureKey, value); !r.ok) return DesktopResult::Failed(r.reason);
    }
    return DesktopResult::Done();
}

}  // namespace vantoria::desktop
