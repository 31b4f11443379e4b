// The settings record and its registry section.

#include "platform/registry/RegIniFile.h"
#include "platform/registry/RegistryError.h"
#include "settings/ExtensionSettings.h"
#include "settings/Settings.h"

namespace vantoria {
namespace {

using registry::RegistryError;
using registry::TRegIniFile;

constexpr const char* kSection = kSettingsSection;

}  // namespace

void LoadSettings(TApSystem& s) {
    try {
        TRegIniFile ini(kSettingsKey);
        s.PathPlugin = ini.ReadString(kSection, "PathPlugin", "");
        s.PathWall = ini.ReadString(kSection, "PathWall", "");
        s.RunAp = ini.ReadString(kSection, "RunAp", "");
        s.WallBuffer = ini.ReadString(kSection, "WallBuffer", kDefaultWallBuffer);
        s.WallPaper = ini.ReadString(kSection, "WallPaper", "");
        s.WallPosition = ini.ReadInteger(kSection, "WallPosition", 2);
        s.WallArrange = ini.ReadInteger(kSection, "WallArrange", 0);
        s.WallSize = ini.ReadInteger(kSection, "WallSize", 0);
        s.NoRunAp = ini.ReadInteger(kSection, "NoRunAp", 0) != 0;
        s.AutoWallChg = ini.ReadInteger(kSection, "AutoWallChg", 0) != 0;
        s.AutoWallChgTime = ini.ReadInteger(kSection, "AutoWallChgTime", 1);
        s.StartLastWall = ini.ReadInteger(kSection, "StartLastWall", 0) != 0;
        s.StartLastWallCount = ini.ReadInteger(kSection, "StartLastWallCount", 0);
        s.FileMask = ini.ReadString(kSection, "FileMask", kDefaultFileMask);
        s.BtnFlat = ini.ReadInteger(kSection, "BtnFlat", 0) != 0;
        s.ChgWallWindow_Left = ini.ReadInteger(kSection, "ChgWallWindow_Left", 0);
        s.ChgWallWindow_Top = ini.ReadInteger(kSection, "ChgWallWindow_Top", 0);
        s.SaveWindowPos = ini.ReadInteger(kSection, "SaveWindowPos", 0);
        LoadExtensionSettings(ini, s);
        ini.UpdateFile();  // the key's creation on a first start
    } catch (const RegistryError& error) {
        registry::PrintRegistryMessage(error.what());
    }
}

void SaveSettings(const TApSystem& s) {
    TRegIniFile ini(kSettingsKey);
    ini.WriteString(kSection, "PathPlugin", s.PathPlugin);
    ini.WriteString(kSection, "PathWall", s.PathWall);
    ini.WriteString(kSection, "RunAp", s.RunAp);
    ini.WriteString(kSection, "WallPaper", s.WallPaper);
    ini.WriteString(kSection, "WallBuffer", s.WallBuffer);
    ini.WriteInteger(kSection, "WallPosition", s.WallPosition);
    ini.WriteInteger(kSection, "WallSize", s.WallSize);
    ini.WriteInteger(kSection, "WallArrange", s.WallArrange);
    ini.WriteInteger(kSection, "NoRunAp", s.NoRunAp ? 1 : 0);
    ini.WriteInteger(kSection, "AutoWallChg", s.AutoWallChg ? 1 : 0);
    ini.WriteInteger(kSection, "AutoWallChgTime", s.AutoWallChgTime);
    ini.WriteInteger(kSection, "StartLastWall", s.StartLastWall ? 1 : 0);
    ini.WriteInteger(kSection, "StartLastWallCount", s.StartLastWallCount);
    ini.WriteString(kSection, "FileMask", s.FileMask);
    ini.WriteInteger(kSection, "BtnFlat", s.BtnFlat ? 1 : 0);
    ini.WriteInteger(kSection, "ChgWallWindow_Left", s.ChgWallWindow_Left);
    ini.WriteInteger(kSection, "ChgWallWindow_Top", s.ChgWallWindow_Top);
    ini.WriteInteger(kSection, "SaveWindowPos", s.SaveWindowPos);
    SaveExtensionSettings(ini, s);
    ini.UpdateFile();
}

void EraseSettings() {
    TRegIniFile ini(kSettingsKey);
    ini.EraseSection(kSection);
    ini.UpdateFile();
}

bool SaveOrEraseSettings(const TApSystem& settings, const SaveFailure& onFailure) {
    try {
        if (settings.RegErase)
            EraseSettings();
        else
            SaveSettings(settings);
        return true;
    } catch (const std::exception& error) {  // a RegistryError, or no memory left
        if (onFailure)
            onFailure(error, settings.RegErase);
        else
            registry::PrintRegistryMessage(error.what());
        return false;
    }
}

}  // namespace vantoria
