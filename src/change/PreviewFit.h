#pragma once
// Where the chooser's preview stands in its 181 x 181 panel and how large
// it is drawn, for a picture of a given size.

#include "platform/raster/Bitmap.h"

namespace vantoria {

struct PreviewPlacement {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool stretch = false;  // drawn scaled to width x height, not at its own size
    friend bool operator==(const PreviewPlacement&, const PreviewPlacement&) = default;
};

inline constexpr int kPreviewSide = 177;   // the longer side of a fitted picture
inline constexpr int kPreviewCentre = 90;  // the panel's centre, both ways

// A picture with a side of 177 or more is fitted: the longer side becomes
// 177, the other is scaled by 177 / longer side taken as a single-precision
// number and truncated (a 200 x 200 picture becomes 176 x 177). Smaller
// pictures keep their size. Either way the picture is centred at 90, 90.
PreviewPlacement FitPreview(int width, int height);

// `picture` drawn at width x height (both above 0). A photograph many times
// the preview's size is point-sampled down to four times the preview first
// and then averaged, which reads a few hundred thousand pixels instead of
// all of them.
raster::Bitmap PreviewPicture(const raster::Bitmap& picture, int width, int height);

}  // namespace vantoria
