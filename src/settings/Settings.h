#pragma once
// Loading, completing, saving and erasing the settings record. The values
// live under HKEY_CURRENT_USER\Software\Brightmoss, section "Runo", in the
// per-user registry file (platform/registry).

#include <exception>
#include <functional>
#include <string>

#include "settings/ApSystem.h"

namespace vantoria {

inline constexpr const char* kSettingsKey = "Software\\Brightmoss";
inline constexpr const char* kSettingsSection = "Runo";

// Reads the 18 stored values with their defaults; a boolean is true when its
// integer is non-zero. Never throws: a damaged or missing file gives
// defaults, and a failure to create the settings key is printed on standard
// error as one line.
void LoadSettings(TApSystem& settings);

// The process's working directory; "." when it cannot be determined (for
// example when it was deleted), so that paths built on it stay relative to
// wherever the process is.
std::string CurrentDirectory();

// The start-up completion after LoadSettings: empty PathPlugin and PathWall
// become `currentDir`, and StartDir is set to it. Memory only.
void CompleteStartup(TApSystem& settings, const std::string& currentDir);
void CompleteStartup(TApSystem& settings);  // with CurrentDirectory()

// Writes all 18 values, unconditionally, booleans as 0 or 1, SaveWindowPos
// as it is. Throws registry::RegistryError when the file cannot be saved.
void SaveSettings(const TApSystem& settings);

// Removes the section "Runo" with all its values; "Software\Brightmoss"
// stays. Throws registry::RegistryError when the file cannot be saved.
void EraseSettings();

// What becomes of a failed save or erase (`erasing` says which); the file is
// as it was.
using SaveFailure = std::function<void(const std::exception& error, bool erasing)>;

// The close path, the tray program's and the tests': erase when RegErase is
// set, save otherwise. Never throws; false after a failure, which goes to
// `onFailure`, by default one line on standard error ("vantoria: cannot save
// settings to <file>: <reason>").
[[nodiscard]] bool SaveOrEraseSettings(const TApSystem& settings, const SaveFailure& onFailure = {});

}  // namespace vantoria
