#pragma once
// What one decode gives its caller.

#include <optional>
#include <string>
#include <vector>

#include "platform/raster/Bitmap.h"
#include "platform/raster/ScreenSize.h"

namespace vantoria::imaging {

// The size the caller will show the picture at: a hint a plug-in that can
// decode at a reduced size may use. 0 x 0: the whole picture.
struct WantedSize {
    int width = 0;
    int height = 0;
    // As the loader takes it: nothing for the whole picture.
    std::optional<raster::ScreenSize> AtLeast() const {
        if (width <= 0 || height <= 0) return std::nullopt;
        return raster::ScreenSize{width, height};
    }
};

struct DecodedPicture {
    std::optional<raster::Bitmap> picture;   // set, and not empty, when it worked
    std::string failure;                     // otherwise why not, for a person
    // The picture's size in its file: the picture's own unless a plug-in
    // delivered it reduced for a WantedSize. Every geometry comes from this.
    raster::ScreenSize size;
    // Plug-ins, or the folder, not loaded because others could have written
    // them (PluginFolder.h): one reason each.
    std::vector<std::string> refused;
};

}  // namespace vantoria::imaging
