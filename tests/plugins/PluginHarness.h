#pragma once
// Test aids for the shipped plug-ins: load a built .spi, decode a file through
// it as the host would (checking the blocks it hands over), and make and
// decode sample files with ImageMagick's convert for reference.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "susie.h"

namespace vantoria::spi::test {

// One plug-in from the build's output folder, e.g. "png.spi".
class Plugin {
public:
    explicit Plugin(const std::string& fileName);
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    // IsSupported with a freshly opened descriptor of `path`.
    std::int32_t Supports(const std::filesystem::path& path) const;
    // GetPluginInfo, checking the termination and that nothing is written
    // past buflen.
    std::string Info(std::int32_t infono, std::int32_t buflen = 256) const;

    SusieIsSupportedFn isSupported = nullptr;
    SusieGetPictureInfoFn getPictureInfo = nullptr;
    SusieGetPictureFn getPicture = nullptr;
    SusieGetPreviewFn getPreview = nullptr;
    SusieGetArchiveInfoFn getArchiveInfo = nullptr;
    SusieGetFileFn getFile = nullptr;
    SusieGetPluginInfoFn getPluginInfo = nullptr;

private:
    void* handle_ = nullptr;
};

// A decoded picture, top row first, R, G, B bytes.
struct Picture {
    std::int32_t infoCode = -100;  // GetPictureInfo's result
    std::int32_t code = -100;      // GetPicture's result
    SusiePictureInfo info{};
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};

// GetPictureInfo, then GetPicture, on a file from `offset` on, or on bytes in
// memory. Checks that a success hands over a consistent 24-bit bottom-up DIB
// in valid blocks, and a failure none; frees the blocks.
Picture Decode(const Plugin& plugin, const std::filesystem::path& path, std::intptr_t offset = 0);
Picture DecodeMemory(const Plugin& plugin, const std::vector<std::uint8_t>& bytes);

// A folder for the test's files, removed afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Runs convert with `args`; false when it fails.
bool Convert(const std::string& args);
// convert's decode of the first frame flattened onto black, as R, G, B bytes.
std::vector<std::uint8_t> Reference(const std::filesystem::path& path);
// The largest difference of two bytes at the same place; 256 for other sizes.
int MaxDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b);

std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

}  // namespace vantoria::spi::test
