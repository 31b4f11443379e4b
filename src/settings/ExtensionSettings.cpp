#include "settings/ExtensionSettings.h"

#include "settings/Settings.h"

namespace vantoria {

int EffectiveMonitorMode(const TApSystem& settings) {
    const int mode = settings.MonitorMode;
    return mode == kMonitorModeEach || mode == kMonitorModeSpanned ? mode : kMonitorModeSame;
}

void LoadExtensionSettings(const registry::TRegIniFile& ini, TApSystem& s) {
    s.AutoWallShuffle = ini.ReadInteger(kSettingsSection, "AutoWallShuffle", 0);
    s.MonitorMode = ini.ReadInteger(kSettingsSection, "MonitorMode", 0);
    s.AutoWallShuffleRound = ini.ReadString(kSettingsSection, "AutoWallShuffleRound", "");
    s.MonitorWallPapers = ini.ReadString(kSettingsSection, "MonitorWallPapers", "");
}

void SaveExtensionSettings(registry::TRegIniFile& ini, const TApSystem& s) {
    ini.WriteInteger(kSettingsSection, "AutoWallShuffle", s.AutoWallShuffle);
    ini.WriteInteger(kSettingsSection, "MonitorMode", s.MonitorMode);
    ini.WriteString(kSettingsSection, "AutoWallShuffleRound", s.AutoWallShuffleRound);
    ini.WriteString(kSettingsSection, "MonitorWallPapers", s.MonitorWallPapers);
}

}  // namespace vantoria
