#pragma once
// The settings beyond the original 18: shuffle and the monitor mode, with
// the state they keep between runs. They follow the 18 in the same section,
// so an older file simply lacks them and reads as off.

#include "platform/registry/RegIniFile.h"
#include "settings/ApSystem.h"

namespace vantoria {

inline constexpr int kMonitorModeSame = 0;     // every monitor: the one picture, laid out for its size
inline constexpr int kMonitorModeEach = 1;     // a picture of its own on each monitor
inline constexpr int kMonitorModeSpanned = 2;  // one picture across the box of all monitors

// MonitorMode as the program acts on it: anything unknown is 0.
int EffectiveMonitorMode(const TApSystem& settings);

void LoadExtensionSettings(const registry::TRegIniFile& ini, TApSystem& settings);
void SaveExtensionSettings(registry::TRegIniFile& ini, const TApSystem& settings);

}  // namespace vantoria
