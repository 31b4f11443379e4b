#include "change/ChooserMonitor.h"

#include <algorithm>
#include <cmath>

namespace vantoria {
namespace {

long long Overlap(const Monitor& m, const WindowArea& w) {
    const long long across = std::min<long long>(m.x + m.width, static_cast<long long>(w.x) + w.width) -
                             std::max<long long>(m.x, w.x);
    const long long down = std::min<long long>(m.y + m.height, static_cast<long long>(w.y) + w.height) -
                           std::max<long long>(m.y, w.y);
    return across > 0 && down > 0 ? across * down : 0;
}

}  // namespace

const Monitor* MonitorHolding(const MonitorList& monitors, const WindowArea& window) {
    const Monitor* best = nullptr;
    long long most = 0;
    for (const Monitor& m : monitors) {
        const long long area = Overlap(m, window);
        if (area > most || (area == most && area > 0 && m.primary && !best->primary)) {
            best = &m;
            most = area;
        }
    }
    return best;
}

WindowArea DeviceWindowArea(const WindowArea& logical, int originX, int originY, double ratio) {
    auto scale = [ratio](int side) { return static_cast<int>(std::lround(side * ratio)); };
    return {originX + scale(logical.x - originX), originY + scale(logical.y - originY), scale(logical.width),
            scale(logical.height)};
}

}  // namespace vantoria
