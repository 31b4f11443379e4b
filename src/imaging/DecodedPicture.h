#pragma once
// What one decode gives its caller.

#include <cstdint>
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
    // The caller stretches the picture to exactly width x height (whatever
    // its own size): the decode may hand it over stretched already.
    bool exact = false;
    // As the loader takes it: nothing for the whole picture.
    std::optional<raster::ScreenSize> AtLeast() const {
        if (width <= 0 || height <= 0) return std::nullopt;
        return raster::ScreenSize{width, height};
    }
    // Whether a picture decoded at `decoded` is handed over stretched: only
    // where that leaves fewer pixels to hand over than the decode gave, as
    // the caller's own stretch gives the same bytes.
    bool StretchesFrom(raster::ScreenSize decoded) const {
        return exact && AtLeast() && width <= raster::kMaxSide && height <= raster::kMaxSide &&
               std::int64_t{decoded.width} * decoded.height > std::int64_t{width} * height;
    }
};

struct DecodedPicture {
    std::optional<raster::Bitmap> picture;   // set, and not empty, when it worked
    std::string failure;                     // otherwise why not, for a person
    // The picture's size in its file: the picture's own unless a plug-in
    // delivered it reduced for a WantedSize. Every geometry comes from this.
    raster::ScreenSize size;
    // The picture's pixels are the WantedSize's, stretched (WantedSize::exact).
    bool stretched = false;
    // Plug-ins, or the folder, not loaded because others could have written
    // them (PluginFolder.h): one reason each.
    std::vector<std::string> refused;
};

}  // namespace vantoria::imaging
