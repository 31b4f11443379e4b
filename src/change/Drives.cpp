#include "change/Drives.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vantoria {

namespace {

constexpr std::array<std::string_view, 25> kPseudoTypes = {
    "proc",     "sysfs",     "devtmpfs", "devpts",      "tmpfs",      "ramfs",      "cgroup",
    "cgroup2",  "securityfs", "debugfs", "tracefs",     "pstore",     "bpf",        "mqueue",
    "hugetlbfs", "configfs", "fusectl",  "autofs",      "binfmt_misc", "rpc_pipefs", "nsfs",
    "efivarfs", "squashfs",  "fuse.gvfsd-fuse", "fuse.portal"};

constexpr std::array<std::string_view, 7> kSystemFolders = {"/proc", "/sys", "/dev", "/run", "/boot", "/snap",
                                                            "/var/lib"};

bool IsBelowOrAt(std::string_view path, std::string_view folder) {
    return path == folder || (path.starts_with(folder) && path[folder.size()] == '/');
}

bool IsSystemMount(std::string_view path) {
    if (IsBelowOrAt(path, "/run/media")) return false;
    return std::any_of(kSystemFolders.begin(), kSystemFolders.end(),
                       [&](std::string_view folder) { return IsBelowOrAt(path, folder); });
}

// Mount points escape blanks, tabs, newlines and backslashes as \ooo.
std::string Unescape(std::string_view field) {
    const auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) && isOctal(field[i + 2]) &&
            isOctal(field[i + 3])) {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

}  // namespace

std::vector<std::string> DrivesFromMountInfo(std::string_view mountinfo) {
    std::vector<std::string> drives{"/"};
    std::istringstream lines{std::string(mountinfo)};
    for (std::string line; std::getline(lines, line);) {
        // id parent major:minor root mountpoint options [optional...] - type source super
        std::istringstream fields(line);
        std::string id, parent, device, root, mountPoint, word;
        if (!(fields >> id >> parent >> device >> root >> mountPoint)) continue;
        while (fields >> word && word != "-") {
        }
        std::string type;
        if (word != "-" || !(fields >> type)) continue;
        const std::string path = Unescape(mountPoint);
        if (path.empty() || path[0] != '/' || IsSystemMount(path)) continue;
        if (std::find(kPseudoTypes.begin(), kPseudoTypes.end(), type) != kPseudoTypes.end()) continue;
        drives.push_back(path);
    }
    std::sort(drives.begin() + 1, drives.end());
    drives.erase(std::unique(drives.begin() + 1, drives.end()), drives.end());
    drives.erase(std::remove(drives.begin() + 1, drives.end(), "/"), drives.end());
    return drives;
}

std::vector<std::string> ListDrives() {
    std::ifstream in("/proc/self/mountinfo");
    std::ostringstream text;
    text << in.rdbuf();
    std::vector<std::string> drives = DrivesFromMountInfo(text.str());
    // A file mounted over a file (a container's /etc/hosts) is no drive.
    std::error_code error;
    drives.erase(std::remove_if(drives.begin() + 1, drives.end(),
                                [&](const std::string& path) { return !std::filesystem::is_directory(path, error); }),
                 drives.end());
    return drives;
}

std::string DriveOf(const std::string& folder, const std::vector<std::string>& drives) {
    std::string best = "/";
    for (const std::string& drive : drives) {
        if (drive.size() > best.size() && IsBelowOrAt(folder, drive)) best = drive;
    }
    return best;
}

}  // namespace vantoria
