#include "platform/screen/SwayOutputs.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "platform/desktop/ToolRunner.h"

namespace vantoria {
namespace {

// sway takes scales up to this; anything larger is not a scale to trust.
constexpr double kMaxScale = 16.0;

}  // namespace

std::optional<MonitorList> SwayOutputs(std::string& reason) {
    const desktop::ToolResult r = desktop::RunTool({"swaymsg", "-t", "get_outputs", "-r"});
    if (!r.ok) {
        reason = r.reason;
        return std::nullopt;
    }
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(r.output));
    MonitorList outputs;
    // sway places outputs in its layout's logical pixels, each output's
    // size in them being its mode over its scale. In the pixels of the most
    // scaled output the places fit the modes: side by side where the scales
    // are one, never overlapping where they differ.
    std::vector<std::pair<double, double>> places;
    double scale = 1.0;
    for (const QJsonValue& value : doc.array()) {
        const QJsonObject o = value.toObject();
        if (!o.value(QLatin1String("active")).toBool()) continue;
        const QJsonObject rect = o.value(QLatin1String("rect")).toObject();
        const QJsonObject mode = o.value(QLatin1String("current_mode")).toObject();
        Monitor m;
        const double outputScale = o.value(QLatin1String("scale")).toDouble(1.0);
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
        if (outputScale > scale && outputScale <= kMaxScale) scale = outputScale;
        places.emplace_back(rect.value(QLatin1String("x")).toDouble(), rect.value(QLatin1String("y")).toDouble());
        outputs.push_back(std::move(m));
    }
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        outputs[i].x = static_cast<int>(std::clamp(std::lround(places[i].first * scale), -long{raster::kMaxSide},
                                                   long{raster::kMaxSide}));
        outputs[i].y = static_cast<int>(std::clamp(std::lround(places[i].second * scale), -long{raster::kMaxSide},
                                                   long{raster::kMaxSide}));
    }
    if (outputs.empty()) {
        reason = "sway lists no active output";
        return std::nullopt;
    }
    outputs.front().primary = true;  // as the Wayland monitor list takes it
    return outputs;
}

}  // namespace vantoria
