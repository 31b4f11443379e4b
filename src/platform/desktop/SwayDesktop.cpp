// sway takes "output * bg PATH MODE". swaymsg joins its arguments into one
// command line that sway splits again and whose path it expands like a
// shell word (variables, command substitution). So only paths made of
// plain characters are sent; the fresh names in the cache folder are.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <optional>
#include <utility>

#include "platform/desktop/FreshPictures.h"
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

// sway's outputs as `swaymsg -t get_outputs -r` lists them: name, place,
// size in pixels and the EDID's make, model and serial.
namespace vantoria::desktop {
namespace {

std::optional<MonitorList> SwayOutputs(std::string& reason) {
    const ToolResult r = RunTool({"swaymsg", "-t", "get_outputs", "-r"});
    if (!r.ok) {
        reason = r.reason;
        return std::nullopt;
    }
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(r.output));
    MonitorList outputs;
    for (const QJsonValue& value : doc.array()) {
        const QJsonObject o = value.toObject();
        if (!o.value(QLatin1String("active")).toBool()) continue;
        const QJsonObject rect = o.value(QLatin1String("rect")).toObject();
        const QJsonObject mode = o.value(QLatin1String("current_mode")).toObject();
        Monitor m;
        m.x = rect.value(QLatin1String("x")).toInt();
        m.y = rect.value(QLatin1String("y")).toInt();
        m.width = mode.value(QLatin1String("width")).toInt(rect.value(QLatin1String("width")).toInt());
        m.height = mode.value(QLatin1String("height")).toInt(rect.value(QLatin1String("height")).toInt());
        const int transform = o.value(QLatin1String("transform")).toString().contains(QLatin1String("90")) ||
                              o.value(QLatin1String("transform")).toString().contains(QLatin1String("270"));
        if (transform) std::swap(m.width, m.height);
        m.name = o.value(QLatin1String("name")).toString().toStdString();
        m.make = o.value(QLatin1String("make")).toString().toStdString();
        m.model = o.value(QLatin1String("model")).toString().toStdString();
        m.serial = o.value(QLatin1String("serial")).toString().toStdString();
        if (m.make == "Unknown") m.make.clear();
        if (m.model == "Unknown") m.model.clear();
        if (m.serial == "Unknown") m.serial.clear();
        if (m.width <= 0 || m.height <= 0 || m.width > raster::kMaxSide || m.height > raster::kMaxSide ||
            !PlainForSway(m.name))
            continue;
        outputs.push_back(std::move(m));
    }
    if (outputs.empty()) {
        reason = "sway lists no active output";
        return std::nullopt;
    }
    outputs.front().primary = true;  // as the Wayland monitor list takes it
    return outputs;
}

}  // namespace

DesktopResult SetSwayWallpaperPerOutput(const std::string& buffer, bool tile, const MonitorComposer& perMonitor) {
    std::string reason;
    const std::optional<MonitorList> outputs = SwayOutputs(reason);
    if (!outputs) return DesktopResult::Failed(reason);
    std::optional<FreshPictures> fresh = FreshPictures::Start(reason);
    if (!fresh) return DesktopResult::Failed(reason);
    std::string shared;
    for (const Monitor& m : *outputs) {
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
