#pragma once
// A fresh file name for each wallpaper change. Desktops that remember a
// picture by its path do not reload it when the path stays the same, and
// the buffer file's name never changes; so they are shown a hard link to it
// (a copy where linking is not possible) under a new name in
// $XDG_CACHE_HOME/vantoria (~/.cache/vantoria when unset).
//
// Several changes may run at once (the tray program and vantoria-change, or
// scripts): making a copy, handing it to the desktop and removing the old
// ones is one step under a lock in that folder, so that no change removes
// the copy another one has just given the desktop.

#include <filesystem>
#include <optional>
#include <string>

#include "platform/posix/UniqueFd.h"

namespace vantoria::desktop {

std::filesystem::path WallpaperCacheDir();

// An exclusive lock on "copies.lock" in the cache folder, held until the
// object goes.
class CacheLock {
public:
    // Waits up to a minute for another change to finish (every tool it runs
    // has a time limit of its own). nullopt with `reason` set when the lock
    // cannot be had.
    [[nodiscard]] static std::optional<CacheLock> Take(std::string& reason);

private:
    explicit CacheLock(UniqueFd fd) : fd_(std::move(fd)) {}
    UniqueFd fd_;
};

// One new "wallpaper-<n>.bmp", made under the cache lock, which the object
// holds until it goes. Until Commit() the object owns the new file and
// removes it when it goes (the desktop refused it: the older copies stay,
// one of them is still on show). Commit() removes every other copy instead.
class FreshCopy {
public:
    // nullopt with `reason` set when the file cannot be read or the cache
    // folder cannot be written.
    [[nodiscard]] static std::optional<FreshCopy> Make(const std::string& source, std::string& reason);

    FreshCopy(FreshCopy&& other) noexcept;
    FreshCopy& operator=(FreshCopy&&) = delete;
    FreshCopy(const FreshCopy&) = delete;
    ~FreshCopy();

    const std::filesystem::path& Path() const { return path_; }
    void Commit();

private:
    FreshCopy(std::filesystem::path path, CacheLock lock) : path_(std::move(path)), lock_(std::move(lock)) {}
    std::filesystem::path path_;
    CacheLock lock_;
    bool owned_ = true;
};

// Removes every "wallpaper-*.bmp" from the cache folder (no picture shown).
// The caller holds the cache lock across the desktop's change and this.
void RemoveCachedCopies(const CacheLock& held);

}  // namespace vantoria::desktop
