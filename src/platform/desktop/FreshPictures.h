#pragma once
// Fresh files for several pictures at once (a picture per monitor), made
// under one hold of the cache lock, like FreshCopy for the buffer file.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop/FreshCopy.h"
#include "platform/raster/Bitmap.h"

namespace vantoria::desktop {

class FreshPictures {
public:
    // nullopt with `reason` set when the cache folder cannot be locked.
    [[nodiscard]] static std::optional<FreshPictures> Start(std::string& reason);

    FreshPictures(FreshPictures&&) noexcept = default;
    FreshPictures& operator=(FreshPictures&&) = delete;
    ~FreshPictures();

    // A new file holding `picture`, or a new name for the file at `source`.
    // Throw raster::RasterError or std::runtime_error.
    std::filesystem::path Write(const raster::Bitmap& picture);
    std::filesystem::path Link(const std::string& source);

    // The desktop took them: every older copy goes. Until then the new
    // files are ours and go when the object does.
    void Commit();

private:
    explicit FreshPictures(CacheLock lock) : lock_(std::move(lock)) {}
    std::filesystem::path NewName();

    CacheLock lock_;
    std::vector<std::filesystem::path> made_;
    bool committed_ = false;
};

}  // namespace vantoria::desktop
