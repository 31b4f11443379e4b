#pragma once
// Test aids for the shipped plug-ins: load a built .spi, decode a file through
// it as the host would (checking the blocks it hands over), make sample files
// with ImageMagick and decode them with ImageMagick for reference.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "susie.h"

namespace vantoria::spi::test {

// One plug-in library from the build's output folder, open for the test.
class Plugin {
public:
    explicit Plugin(const std::string& fileName);  // e.g. "png.spi"; fails the test when missing
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    // IsSupported with a freshly opened descriptor of `path`.
    std::int32_t Supports(const std::filesystem::path& path) const;
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

// A decoded picture, top row first, 3 bytes (R, G, B) a pixel.
struct Picture {
    std::int32_t infoCode = -100;   // GetPictureInfo's result
    std::int32_t code = -100;       // GetPicture's result
    SusiePictureInfo info{};
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};

// GetPictureInfo then GetPicture on a file (`offset` where the picture
// starts). Checks with gtest that what a successful call hands over is a
// consistent 24-bit bottom-up DIB in valid blocks, and frees the blocks.
Picture Decode(const Plugin& plugin, const std::filesystem::path& path, std::intptr_t offset = 0);
// The same from memory (SUSIE_INPUT_MEMORY).
Picture DecodeMemory(const Plugin& plugin, const std::vector<std::uint8_t>& bytes);

// A folder for the test's files, removed afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Runs ImageMagick's convert with `args` (a shell command line tail);
// false when it fails.
bool Convert(const std::string& args);
// ImageMagick's own decode of the first frame, flattened onto black, RGB.
std::vector<std::uint8_t> Reference(const std::filesystem::path& path);
// The largest difference of any byte; the sizes must agree (else 256).
int MaxDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b);

std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

}  // namespace vantoria::spi::test
