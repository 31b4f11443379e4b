#pragma once
// Where a picture goes on the root window: the part of it that can show,
// and where that part's top-left corner lands.

#include "platform/raster/Bitmap.h"

namespace vantoria::desktop {

struct RootLayout {
    raster::Rect source;  // in picture coordinates; empty when nothing shows
    int x = 0;            // destination of source's top-left corner (centred)
    int y = 0;
    bool tiled = false;   // source repeats from the root's top-left corner
};

// Tiled: repeated from the top-left corner; a picture larger than the root
// shows its top-left part. Centred: its middle on the root's middle (an odd
// pixel of difference goes right and down), the rest of the root black.
RootLayout LayOut(int pictureWidth, int pictureHeight, int rootWidth, int rootHeight, bool tile);

}  // namespace vantoria::desktop
