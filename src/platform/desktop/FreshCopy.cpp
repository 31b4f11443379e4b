#include "platform/desktop/FreshCopy.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace vantoria::desktop {
namespace {

constexpr std::string_view kPrefix = "wallpaper-";
constexpr std::string_view kSuffix = ".bmp";
constexpr std::string_view kLockName = "copies.lock";
constexpr std::chrono::seconds kLockWait{60};

bool IsCachedCopy(const fs::path& file) {
    const std::string name = file.filename().string();
    return name.size() > kPrefix.size() + kSuffix.size() && name.starts_with(kPrefix) &&
           name.ends_with(kSuffix);
}

std::vector<fs::path> CachedCopies() {
    std::vector<fs::path> copies;
    std::error_code error;
    for (fs::directory_iterator it(WallpaperCacheDir(), error), end; !error && it != end; it.increment(error))
        if (IsCachedCopy(it->path())) copies.push_back(it->path());
    return copies;
}

void Remove(const fs::path& copy) {
    std::error_code ignored;  // a copy left behind costs only space
    fs::remove(copy, ignored);
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

std::optional<CacheLock> CacheLock::Take(std::string& reason) {
    const fs::path dir = WallpaperCacheDir();
    std::error_code error;
    fs::create_directories(dir, error);
    if (error) {
        reason = "cannot create " + dir.string() + ": " + error.message();
        return std::nullopt;
    }
    const fs::path file = dir / kLockName;
    UniqueFd fd(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd) {
        reason = "cannot open " + file.string() + ": " + std::strerror(errno);
        return std::nullopt;
    }
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    while (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            reason = "cannot lock " + file.string() + ": " + std::strerror(errno);
            return std::nullopt;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            reason = "another wallpaper change has held " + file.string() + " for a minute";
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return CacheLock(std::move(fd));
}

std::optional<FreshCopy> FreshCopy::Make(const std::string& source, std::string& reason) {
    std::optional<CacheLock> lock = CacheLock::Take(reason);
    if (!lock) return std::nullopt;
    const fs::path dir = WallpaperCacheDir();
    // Time in microseconds, and a counter in case the clock repeats itself.
    const auto stamp = std::chrono::duration_cast<std::chrono::microseconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count();
    for (int n = 0; n < 1000; ++n) {
        std::string name = std::string(kPrefix) + std::to_string(stamp);
        if (n > 0) name += "-" + std::to_string(n);
        const fs::path target = dir / (name + std::string(kSuffix));
        const int result = LinkOrCopy(source, target);
        if (result == 0) return FreshCopy(target, std::move(*lock));
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
    : path_(std::move(other.path_)), lock_(std::move(other.lock_)), owned_(std::exchange(other.owned_, false)) {}

FreshCopy::~FreshCopy() {
    if (owned_) Remove(path_);
}

void FreshCopy::Commit() {
    owned_ = false;
    for (const fs::path& copy : CachedCopies())
        if (copy != path_) Remove(copy);
}

void RemoveCachedCopies(const CacheLock&) {
    for (const fs::path& copy : CachedCopies()) Remove(copy);
}

}  // namespace vantoria::desktop
