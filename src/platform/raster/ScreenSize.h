#pragma once
// The size of the primary screen in device pixels, as the composition reads
// it. A source is asked afresh each time a size is needed, so a resolution
// change between two wallpaper changes is seen by the next one.

#include <functional>

namespace vantoria::raster {

struct ScreenSize {
    int width = 0;
    int height = 0;
    friend constexpr bool operator==(const ScreenSize&, const ScreenSize&) = default;
};

// May throw; the composition step asking treats that as its own failure.
using ScreenSizeSource = std::function<ScreenSize()>;

}  // namespace vantoria::raster
