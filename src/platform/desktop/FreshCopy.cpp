#include "platform/desktop/FreshCopy.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <utility>

namespace fs = std::filesystem;

namespace vantoria::desktop {
namespace {

constexpr std::string_view kPrefix = "wallpaper-";
constexpr std::string_view kSuffix = ".bmp";

bool IsCachedCopy(const fs::path& file) {
    const std::string name = file.filename().string();
    return name.size() > kPrefix.size() + kSuffix.size() && name.starts_with(kPrefix) &&
           name.ends_with(kSuffix);
}

void RemoveCopiesExcept(const fs::path& keep) {
    std::error_code error;
    for (fs::directory_iterator it(WallpaperCacheDir(), error), end; !error && it != end;
         it.increment(error)) {
        if (IsCachedCopy(it->path()) && it->path() != keep) {
            std::error_code ignored;  // a copy left behind costs only space
            fs::remove(it->path(), ignored);
        }
    }
}

// Links `source` as `target` (the file a symbolic link names, not the
// link), or copies it when the file system or its rules refuse a link.
// Returns 0 or an errno value; EEXIST when the name is taken.
int LinkOrCopy(const std::string& source, const fs::path& target) {
    if (::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
    if (errno == EEXIST) return EEXIST;
    std::error_code error;
    if (fs::copy_file(source, target, fs::copy_options::none, error)) return 0;
    return error.value() ? error.value() : EIO;
}

}  // namespace

fs::path WallpaperCacheDir() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    fs::path base;
    if (cache && *cache == '/') {
        base = cache;
    } else {
        const char* home = std::getenv("HOME");
        base = fs::path(home && *home ? home : "/tmp") / ".cache";
    }
    return base / "vantoria";
}

std::optional<FreshCopy> FreshCopy::Make(const std::string& source, std::string& reason) {
    const fs::path dir = WallpaperCacheDir();
    std::error_code error;
    fs::create_directories(dir, error);
    if (error) {
        reason = "cannot create " + dir.string() + ": " + error.message();
        return std::nullopt;
    }
    // Time in microseconds, and a counter in case the clock repeats itself.
    const auto stamp = std::chrono::duration_cast<std::chrono::microseconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count();
    for (int n = 0; n < 1000; ++n) {
        std::string name = std::string(kPrefix) + std::to_string(stamp);
        if (n > 0) name += "-" + std::to_string(n);
        const fs::path target = dir / (name + std::string(kSuffix));
        const int result = LinkOrCopy(source, target);
        if (result == 0) return FreshCopy(target);
        if (result != EEXIST) {
            if (::access(source.c_str(), R_OK) != 0)
                reason = "cannot read " + source + ": " + std::strerror(errno);
            else
                reason = "cannot write to " + dir.string() + ": " + std::strerror(result);
            return std::nullopt;
        }
    }
    reason = "cannot find a free file name in " + dir.string();
    return std::nullopt;
}

FreshCopy::FreshCopy(FreshCopy&& other) noexcept
    : path_(std::move(other.path_)), owned_(std::exchange(other.owned_, false)) {}

FreshCopy::~FreshCopy() {
    if (owned_) {
        std::error_code ignored;
        fs::remove(path_, ignored);
    }
}

void FreshCopy::Commit() {
    owned_ = false;
    RemoveCopiesExcept(path_);
}

void RemoveCachedCopies() { RemoveCopiesExcept({}); }

}  // namespace vantoria::desktop
