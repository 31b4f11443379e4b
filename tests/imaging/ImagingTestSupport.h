#pragma once
// A sandbox for the loader tests: a temporary folder with plug-in folders
// filled from the test plug-ins, test picture files, and the call log the
// test plug-ins write.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/testplugins/TestPattern.h"
#include "platform/raster/Bitmap.h"

namespace imagingtest {

namespace fs = std::filesystem;

class Sandbox {
public:
    Sandbox() {
        std::string pattern = (fs::temp_directory_path() / "vantoria-imaging-XXXXXX").string();
        root_ = ::mkdtemp(pattern.data());
        ::setenv(TEST_PLUGIN_LOG_ENV, LogPath().c_str(), 1);
    }
    ~Sandbox() {
        ::unsetenv(TEST_PLUGIN_LOG_ENV);
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    // A folder inside the sandbox (created on first use).
    std::string Folder(const std::string& name) const {
        fs::create_directories(root_ / name);
        return (root_ / name).string();
    }

    // Copies test plug-in `variant` (accept, refuse, no_issupported,
    // no_getpicture, no_getpictureinfo) into `folder` as `name`.
    std::string AddPlugin(const std::string& variant, const std::string& name,
                          const std::string& folder = "plugins") const {
        const fs::path to = fs::path(Folder(folder)) / name;
        fs::copy_file(fs::path(TEST_PLUGIN_DIR) / variant / (variant + ".spi"), to);
        return to.string();
    }

    // Writes a test picture with the given key=value lines.
    std::string Picture(const std::string& name, const std::string& params = "") const {
        return Write(name, std::string(TEST_PICTURE_MAGIC) + "\n" + params + "\n");
    }

    std::string Write(const std::string& name, const std::string& bytes) const {
        const fs::path path = fs::path(Folder("pictures")) / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }

    // The plug-ins' calls so far, one "<name> <call> ..." a line.
    std::vector<std::string> Log() const {
        std::vector<std::string> lines;
        std::ifstream in(LogPath());
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    void ClearLog() const { fs::remove(LogPath()); }

    const fs::path& Root() const { return root_; }

private:
    std::string LogPath() const { return (root_ / "calls.log").string(); }
    fs::path root_;
};

using Bgr = std::array<std::uint8_t, 3>;

inline Bgr PixelAt(const vantoria::raster::Bitmap& b, int x, int y) {
    const std::uint8_t* p = b.ScanLine(y) + 3 * x;
    return {p[0], p[1], p[2]};
}

inline Bgr PatternColor(int x, int y) {
    Bgr c;
    TestPatternColor(x, y, c.data());
    return c;
}

// What a palettised test picture shows at (x, y): indexes past the colour
// table are black.
inline Bgr PaletteColorAt(int x, int y, int bits, int tableEntries) {
    const int index = TestPatternIndex(x, y, bits);
    Bgr c{0, 0, 0};
    if (index < tableEntries) TestPaletteColor(index, c.data());
    return c;
}

}  // namespace imagingtest
