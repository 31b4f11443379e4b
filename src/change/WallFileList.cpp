#include "change/WallFileList.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

namespace vantoria {

namespace {

unsigned char LowerAscii(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c; }

// Iterative wildcard match with one back-tracking point: linear in practice
// and never recursive, whatever the pattern.
bool MatchesPattern(std::string_view name, std::string_view pattern) {
    std::size_t n = 0, p = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || LowerAscii(static_cast<unsigned char>(pattern[p])) ==
                                             LowerAscii(static_cast<unsigned char>(name[n])))) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

bool MatchesOne(std::string_view name, std::string_view pattern) {
    if (pattern.empty()) return false;
    if (MatchesPattern(name, pattern)) return true;
    // "name.*" also stands for "name" without an extension.
    return pattern.ends_with(".*") && name.find('.') == std::string_view::npos &&
           MatchesPattern(name, pattern.substr(0, pattern.size() - 2));
}

bool LessIgnoringCase(const std::string& a, const std::string& b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned char ca = LowerAscii(static_cast<unsigned char>(a[i]));
        const unsigned char cb = LowerAscii(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;  // same letters: byte order ("A.jpg" before "a.jpg")
}

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

bool IsRegularFile(int dirFd, const dirent& entry) {
    if (entry.d_type == DT_REG) return true;
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) return false;
    struct stat st {};
    return ::fstatat(dirFd, entry.d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

bool MatchesFileMask(std::string_view name, std::string_view mask) {
    while (true) {
        const std::size_t end = mask.find(';');
        if (MatchesOne(name, Trimmed(mask.substr(0, end)))) return true;
        if (end == std::string_view::npos) return false;
        mask.remove_prefix(end + 1);
    }
}

std::vector<std::string> ListWallFiles(const std::string& folder, std::string_view mask) {
    std::vector<std::string> names;
    const std::unique_ptr<DIR, DirCloser> dir(::opendir((folder.empty() ? std::string("/") : folder).c_str()));
    if (!dir) return names;
    const int dirFd = ::dirfd(dir.get());
    while (const dirent* entry = ::readdir(dir.get())) {
        if (entry->d_name[0] == '.') continue;
        if (MatchesFileMask(entry->d_name, mask) && IsRegularFile(dirFd, *entry)) names.emplace_back(entry->d_name);
    }
    std::sort(names.begin(), names.end(), LessIgnoringCase);
    return names;
}

std::string NearestExistingFolder(const std::string& path, const std::string& fallback) {
    std::string candidate = path;
    while (!candidate.empty()) {
        if (IsFolder(candidate)) return candidate;
        const std::size_t slash = candidate.find_last_of('/');
        if (slash == std::string::npos || candidate == "/") break;
        candidate.erase(slash == 0 ? 1 : slash);  // "/gone" leads to "/"
    }
    return fallback;
}

WallListing ListChooserFolder(const std::string& folder, std::string_view mask, const std::string& fallback) {
    WallListing listing{NearestExistingFolder(folder, fallback), {}};
    listing.files = ListWallFiles(listing.folder, mask);
    return listing;
}

}  // namespace vantoria
