#include "platform/screen/SwayOutputs.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <utility>

#include "platform/desktop/ToolRunner.h"

namespace vantoria {

std::optional<MonitorList> SwayOutputs(std::string& reason) {
    const desktop::ToolResult r = desktop::RunTool({"swaymsg", "-t", "get_outputs", "-r"});
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
        // No serial: the Wayland output list, which the rest of the program
        // knows monitors by, has none either.
        if (m.make == "Unknown") m.make.clear();
        if (m.model == "Unknown") m.model.clear();
        if (m.width <= 0 || m.height <= 0 || m.width > raster::kMaxSide || m.height > raster::kMaxSide) continue;
        outputs.push_back(std::move(m));
    }
    if (outputs.empty()) {
        reason = "sway lists no active output";
        return std::nullopt;
    }
    outputs.front().primary = true;  // as the Wayland monitor list takes it
    return outputs;
}

}  // namespace vantoria
