#pragma once
// A fresh file name for each wallpaper change. Desktops that remember a
// picture by its path do not reload it when the path stays the same, and
// the buffer file's name never changes; so they are shown a hard link to it
// (a copy where linking is not possible) under a new name in
// $XDG_CACHE_HOME/vantoria (~/.cache/vantoria when unset).

#include <filesystem>
#include <optional>
#include <string>

namespace vantoria::desktop {

std::filesystem::path WallpaperCacheDir();

// One new "wallpaper-<n>.bmp". Until Commit() the object owns the new file
// and removes it when it goes (the desktop refused it: the older copies stay,
// one of them is still on show). Commit() removes every other
// "wallpaper-*.bmp" in the folder instead.
class FreshCopy {
public:
    // nullopt with `reason` set when the file cannot be read or the cache
    // folder cannot be written.
    static std::optional<FreshCopy> Make(const std::string& source, std::string& reason);

    FreshCopy(FreshCopy&& other) noexcept;
    FreshCopy& operator=(FreshCopy&&) = delete;
    FreshCopy(const FreshCopy&) = delete;
    ~FreshCopy();

    const std::filesystem::path& Path() const { return path_; }
    void Commit();

private:
    explicit FreshCopy(std::filesystem::path path) : path_(std::move(path)) {}
    std::filesystem::path path_;
    bool owned_ = true;
};

// Removes every "wallpaper-*.bmp" from the cache folder (no picture shown).
void RemoveCachedCopies();

}  // namespace vantoria::desktop
