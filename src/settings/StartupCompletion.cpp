// Completing the settings at start-up from the working directory.

#include <unistd.h>

#include <cerrno>
#include <vector>

#include "settings/Settings.h"

namespace vantoria {

std::string CurrentDirectory() {
    // No fixed buffer: a working directory of any length is taken whole.
    std::vector<char> buffer(4096);
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size())) return buffer.data();
        if (errno != ERANGE || buffer.size() >= (1u << 20)) return ".";
        buffer.resize(buffer.size() * 2);
    }
}

void CompleteStartup(TApSystem& settings, const std::string& currentDir) {
    if (settings.PathPlugin.empty()) settings.PathPlugin = currentDir;
    if (settings.PathWall.empty()) settings.PathWall = currentDir;
    settings.StartDir = currentDir;
}

void CompleteStartup(TApSystem& settings) { CompleteStartup(settings, CurrentDirectory()); }

}  // namespace vantoria
