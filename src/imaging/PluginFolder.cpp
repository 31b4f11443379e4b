#include "imaging/PluginFolder.h"

#include <dirent.h>

#include <algorithm>
#include <memory>

namespace vantoria::imaging {

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

}  // namespace

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
