#pragma once
// Which file each monitor shows when every monitor has a picture of its own
// (MonitorMode 1). The primary monitor shows WallPaper; the others are
// remembered by identity (Monitor::Identity), so that a monitor keeps its
// picture when it is plugged into another port or the outputs are renumbered.
// Kept as text, one "IDENTITY<TAB>FILE" line per monitor, with "%", tab and
// line breaks in either written as %25, %09, %0A and %0D.

#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "platform/screen/Monitors.h"

namespace vantoria::compose {

using MonitorFiles = std::map<std::string, std::string>;  // identity -> file

MonitorFiles ParseMonitorFiles(std::string_view text);
std::string FormatMonitorFiles(const MonitorFiles& files);

// Gives the primary monitor, then every other one in turn, the next file of
// `next` (which returns "" when there is none: that monitor keeps what it
// had). Returns the primary monitor's file ("" when it keeps its own);
// `files` is updated for the others.
std::string AssignInTurn(const MonitorList& monitors, const std::function<std::string()>& next,
                         MonitorFiles& files);

}  // namespace vantoria::compose
