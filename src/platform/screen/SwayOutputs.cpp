#include "platform/screen/SwayOutputs.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "platform/desktop/ToolRunner.h"

namespace vantoria {
namespace {

// sway takes scales up to this; anything larger is not a scale to trust.
constexpr double kMaxScale = 16.0;

using Json = nlohmann::json;

// The member `key` of `o`, or null when `o` is no object or lacks it.
const Json& Member(const Json& o, const char* key) {
    static const Json none;
    if (!o.is_object()) return none;
    const auto it = o.find(key);
    return it == o.end() ? none : *it;
}

// A number, else `otherwise`; likewise a whole number that fits an int, and
// a string (else empty), as the sway reply may leave any of them out.
double Number(const Json& o, const char* key, double otherwise) {
    const Json& v = Member(o, key);
    return v.is_number() ? v.get<double>() : otherwise;
}

int Whole(const Json& o, const char* key, int otherwise) {
    const Json& v = Member(o, key);
    if (!v.is_number()) return otherwise;
    const double d = v.get<double>();
    if (d != std::trunc(d) || d < std::numeric_limits<int>::min() || d > std::numeric_limits<int>::max())
        return otherwise;
    return static_cast<int>(d);
}

std::string Text(const Json& o, const char* key) {
    const Json& v = Member(o, key);
    return v.is_string() ? v.get<std::string>() : std::string();
}

}  // namespace

std::optional<MonitorList> SwayOutputs(std::string& reason) {
    const desktop::ToolResult r = desktop::RunTool({"swaymsg", "-t", "get_outputs", "-r"});
    if (!r.ok) {
        reason = r.reason;
        return std::nullopt;
    }
    const Json doc = Json::parse(r.output, nullptr, false);
    MonitorList outputs;
    // sway places outputs in its layout's logical pixels, each output's
    // size in them being its mode over its scale. In the pixels of the most
    // scaled output the places fit the modes: side by side where the scales
    // are one, never overlapping where they differ.
    std::vector<std::pair<double, double>> places;
    double scale = 1.0;
    static const Json kNoOutputs = Json::array();
    for (const Json& o : doc.is_array() ? doc : kNoOutputs) {
        const Json& active = Member(o, "active");
        if (!active.is_boolean() || !active.get<bool>()) continue;
        const Json& rect = Member(o, "rect");
        const Json& mode = Member(o, "current_mode");
        Monitor m;
        const double outputScale = Number(o, "scale", 1.0);
        m.width = Whole(mode, "width", Whole(rect, "width", 0));
        m.height = Whole(mode, "height", Whole(rect, "height", 0));
        const std::string transform = Text(o, "transform");
        if (transform.find("90") != std::string::npos || transform.find("270") != std::string::npos)
            std::swap(m.width, m.height);
        m.name = Text(o, "name");
        m.make = Text(o, "make");
        m.model = Text(o, "model");
        // No serial: the Wayland output list, which the rest of the program
        // knows monitors by, has none either.
        if (m.make == "Unknown") m.make.clear();
        if (m.model == "Unknown") m.model.clear();
        if (m.width <= 0 || m.height <= 0 || m.width > raster::kMaxSide || m.height > raster::kMaxSide) continue;
        if (outputScale > scale && outputScale <= kMaxScale) scale = outputScale;
        places.emplace_back(Number(rect, "x", 0.0), Number(rect, "y", 0.0));
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
