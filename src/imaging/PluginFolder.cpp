#include "imaging/PluginFolder.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>

namespace vantoria::imaging {

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// Why a file or folder with this status is not ours to trust, or "".
std::string OwnershipProblem(const struct stat& st) {
    if (st.st_uid != ::geteuid() && st.st_uid != 0) return "it belongs to another user (uid " + std::to_string(st.st_uid) + ")";
    if ((st.st_mode & S_IWOTH) != 0) return "other users can write to it";
    if ((st.st_mode & S_IWGRP) != 0 && st.st_gid != ::getegid() && st.st_gid != 0)
        return "its group (gid " + std::to_string(st.st_gid) + ") can write to it";
    return {};
}

std::string FolderProblem(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return {};
    const std::string why = OwnershipProblem(st);
    return why.empty() ? why : "the plug-in folder " + path + " is not used: " + why;
}

}  // namespace

std::string PluginFolderProblem(const std::string& folderPath) {
    return FolderProblem(folderPath.empty() ? "/" : folderPath);
}

std::string PluginFileProblem(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    if (const std::string why = OwnershipProblem(st); !why.empty()) return "the plug-in " + path + " is not used: " + why;
    // A link in a sound folder may still lead into one that is not.
    std::error_code error;
    const std::filesystem::path real = std::filesystem::canonical(path, error);
    if (error) return {};
    const std::filesystem::path linked = std::filesystem::absolute(path, error).parent_path();
    if (error || std::filesystem::equivalent(real.parent_path(), linked, error)) return {};
    const std::string why = FolderProblem(real.parent_path().string());
    return why.empty() ? why : "the plug-in " + path + " is not used: " + why;
}

std::string ShippedPluginFolder() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return VANTORIA_BUILD_BIN_DIR;
    const std::filesystem::path folder = self.parent_path();
    if (std::filesystem::equivalent(folder, VANTORIA_BUILD_BIN_DIR, error)) return folder.string();
    return (folder / VANTORIA_PLUGINS_FROM_BIN).lexically_normal().string();
}

bool MatchesPluginPattern(std::string_view name) {
    constexpr std::string_view kSuffix = ".spi";
    if (name.size() < kSuffix.size()) return false;
    const std::string_view tail = name.substr(name.size() - kSuffix.size());
    return std::equal(tail.begin(), tail.end(), kSuffix.begin(),
                      [](char a, char b) { return LowerAscii(a) == b; });
}

std::vector<std::string> ListPluginFiles(const std::string& folderPath) {
    std::vector<std::string> names;
    const std::unique_ptr<DIR, DirCloser> dir(::opendir((folderPath + "/").c_str()));
    if (!dir) return names;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (MatchesPluginPattern(entry->d_name)) names.emplace_back(entry->d_name);
    }
    // std::string compares its chars as unsigned bytes.
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace vantoria::imaging
