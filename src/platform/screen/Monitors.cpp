#include "platform/screen/Monitors.h"

#include "platform/screen/Screen.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string_view>

namespace vantoria {
namespace {

// Reads a whole number from the front of `text` into `value`, within
// [low, high]; false when there is none or it is out of range.
bool TakeNumber(std::string_view& text, int low, int high, int& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end == text.data() || value < low || value > high) return false;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return true;
}

bool TakeChar(std::string_view& text, std::string_view accepted, char* which = nullptr) {
    if (text.empty() || accepted.find(text.front()) == std::string_view::npos) return false;
    if (which) *which = text.front();
    text.remove_prefix(1);
    return true;
}

// "+N" or "-N".
bool TakeOffset(std::string_view& text, int& value) {
    char sign = '+';
    if (!TakeChar(text, "+-", &sign) || text.empty() || text.front() == '+' || text.front() == '-') return false;
    if (!TakeNumber(text, 0, raster::kMaxSide, value)) return false;
    if (sign == '-') value = -value;
    return true;
}

std::optional<Monitor> ParseOne(std::string_view text) {
    // The size as --screen takes it, then the two offsets.
    const std::size_t offsets = text.find_first_of("+-");
    if (offsets == std::string_view::npos) return std::nullopt;
    const auto size = ParseScreenSize(std::string(text.substr(0, offsets)));
    if (!size) return std::nullopt;
    Monitor m;
    m.width = size->width;
    m.height = size->height;
    text.remove_prefix(offsets);
    if (!TakeOffset(text, m.x) || !TakeOffset(text, m.y) || !text.empty()) return std::nullopt;
    return m;
}

}  // namespace

std::optional<MonitorList> ParseMonitors(const std::string& text) {
    MonitorList monitors;
    std::string_view rest = text;
    while (true) {
        const std::size_t comma = rest.find(',');
        const auto monitor = ParseOne(rest.substr(0, comma));
        if (!monitor) return std::nullopt;
        monitors.push_back(*monitor);
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    monitors.front().primary = true;
    return monitors;
}

namespace {
std::optional<MonitorList> givenMonitors;
}  // namespace

GivenMonitors::GivenMonitors(std::optional<MonitorList> monitors) : previous_(std::move(givenMonitors)) {
    givenMonitors = std::move(monitors);
}

GivenMonitors::~GivenMonitors() { givenMonitors = std::move(previous_); }

std::optional<MonitorList> MonitorsFromEnvironment() {
    if (givenMonitors) return givenMonitors;
    const char* value = std::getenv("VANTORIA_MONITORS");
    if (!value || !*value) return std::nullopt;
    auto monitors = ParseMonitors(value);
    if (!monitors)
        throw std::invalid_argument(std::string("VANTORIA_MONITORS must be WIDTHxHEIGHT+X+Y,..., not \"") + value +
                                    "\"");
    return monitors;
}

std::string Monitor::Identity() const {
    // Two monitors of one model without serial numbers differ only by port.
    if (!serial.empty()) return make + "/" + model + "/" + serial;
    if (!name.empty()) return make.empty() && model.empty() ? name : make + "/" + model + "/@" + name;
    if (!make.empty() || !model.empty()) return make + "/" + model + "/";
    return std::to_string(width) + "x" + std::to_string(height) + "+" + std::to_string(x) + "+" + std::to_string(y);
}

Monitor BoundingBox(const MonitorList& monitors) {
    int left = monitors.front().x, top = monitors.front().y;
    int right = left + monitors.front().width, bottom = top + monitors.front().height;
    for (const Monitor& m : monitors) {
        left = std::min(left, m.x);
        top = std::min(top, m.y);
        right = std::max(right, m.x + m.width);
        bottom = std::max(bottom, m.y + m.height);
    }
    Monitor box;
    box.x = left;
    box.y = top;
    box.width = right - left;
    box.height = bottom - top;
    box.primary = true;
    return box;
}

bool MonitorInside(const Monitor& inner, const Monitor& outer) {
    // In 64 bits: offsets and sides each up to the largest bitmap side.
    return inner.x >= outer.x && inner.y >= outer.y &&
           std::int64_t{inner.x} + inner.width <= std::int64_t{outer.x} + outer.width &&
           std::int64_t{inner.y} + inner.height <= std::int64_t{outer.y} + outer.height;
}

bool SameMonitors(const MonitorList& a, const MonitorList& b) {
    if (a.size() != b.size()) return false;
    return std::all_of(a.begin(), a.end(), [&](const Monitor& m) { return std::find(b.begin(), b.end(), m) != b.end(); });
}

const Monitor& PrimaryMonitor(const MonitorList& monitors) {
    for (const Monitor& m : monitors)
        if (m.primary) return m;
    return monitors.front();
}

}  // namespace vantoria
