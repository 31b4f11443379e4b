#include "platform/desktop/FreshPictures.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace fs = std::filesystem;

namespace vantoria::desktop {

std::optional<FreshPictures> FreshPictures::Start(std::string& reason) {
    std::optional<CacheLock> lock = CacheLock::Take(reason);
    if (!lock) return std::nullopt;
    return FreshPictures(std::move(*lock));
}

FreshPictures::~FreshPictures() {
    if (committed_) return;
    std::error_code ignored;
    for (const fs::path& file : made_) fs::remove(file, ignored);
}

// The names FreshCopy uses, so that either removes the other's old copies.
fs::path FreshPictures::NewName() {
    const auto stamp = std::chrono::duration_cast<std::chrono::microseconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count();
    const fs::path dir = WallpaperCacheDir();
    for (int n = 0; n < 1000; ++n) {
        const fs::path name = dir / ("wallpaper-" + std::to_string(stamp) + "-m" + std::to_string(made_.size()) +
                                     (n ? "-" + std::to_string(n) : std::string()) + ".bmp");
        std::error_code error;
        if (!fs::exists(fs::symlink_status(name, error))) return name;
    }
    throw std::runtime_error("cannot find a free file name in " + dir.string());
}

fs::path FreshPictures::Write(const raster::Bitmap& picture) {
    fs::path name = NewName();
    picture.SaveToFile(name.string());
    made_.push_back(name);
    return name;
}

fs::path FreshPictures::Link(const std::string& source) {
    fs::path name = NewName();
    if (::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        std::error_code error;
        if (!fs::copy_file(source, name, fs::copy_options::none, error))
            throw std::runtime_error("cannot copy " + source + " to " + name.string() + ": " + error.message());
    }
    made_.push_back(name);
    return name;
}

void FreshPictures::Commit() {
    committed_ = true;
    std::error_code error;
    for (fs::directory_iterator it(WallpaperCacheDir(), error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (!name.starts_with("wallpaper-") || !name.ends_with(".bmp")) continue;
        if (std::find(made_.begin(), made_.end(), it->path()) != made_.end()) continue;
        std::error_code ignored;
        fs::remove(it->path(), ignored);
    }
}

}  // namespace vantoria::desktop
