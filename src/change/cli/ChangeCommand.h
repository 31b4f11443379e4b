#pragma once
// vantoria-change: one wallpaper change from the command line, with the
// stored settings and without any window: the same decode, composition,
// desktop step and after-change program as a change in the tray program.

#include "platform/Error.h"
#include "platform/raster/ScreenSize.h"

#include <optional>
#include <string>
#include <vector>

namespace vantoria::cli {

// A command line that cannot be used; the text says why.
class UsageError : public vantoria::Error {
public:
    using vantoria::Error::Error;
};

struct ChangeOptions {
    std::optional<int> position;   // WallPosition for this run
    std::optional<int> size;       // WallSize for this run
    std::optional<int> arrange;    // WallArrange for this run
    std::optional<raster::ScreenSize> screen;
    std::optional<std::string> monitors;  // WxH+X+Y,... for this run
    std::optional<std::string> desktop;   // forces the desktop backend
    bool noRun = false;                   // no after-change program this time
    bool restore = false;                 // put back the recorded wallpaper, no file
    std::string file;
    bool help = false;
};

// Reads the arguments after the program name. Throws UsageError.
ChangeOptions ParseChangeArguments(const std::vector<std::string>& args);

// The --help text.
std::string ChangeUsage();

// The whole command: exit code 0 on success; on failure one line on
// standard error and 1.
int RunChangeCommand(const std::vector<std::string>& args);

}  // namespace vantoria::cli
