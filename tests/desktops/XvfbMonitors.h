#pragma once
// RandR monitors cut out of a private Xvfb's one output, as a user with
// several monitors has them.

#include <string>
#include <utility>
#include <vector>

#include "platform/desktop/XvfbServer.h"
#include "support/Child.h"

namespace vantoria::test {

// Sets `monitors`, each {name, geometry} as xrandr --setmonitor takes them
// ("*" before the name marks the primary); "" on success, else what xrandr said.
inline std::string SetMonitors(const XvfbServer& server,
                               const std::vector<std::pair<std::string, std::string>>& monitors) {
    for (const auto& [name, geometry] : monitors) {
        Child xrandr("/usr/bin/xrandr", {"--setmonitor", name, geometry, "none"}, {{"DISPLAY", server.Name()}}, "");
        if (xrandr.Wait() != 0) return "xrandr --setmonitor " + name + " " + geometry + ": " + xrandr.Output();
    }
    return "";
}

}  // namespace vantoria::test
