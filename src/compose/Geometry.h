#pragma once
// Integer and scale arithmetic of the composition steps. Failures throw
// GeometryError, which the step that computes them takes as its own failure.

#include "platform/Error.h"
#include "platform/raster/ScreenSize.h"

namespace vantoria::compose {

class GeometryError : public vantoria::Error {
public:
    using vantoria::Error::Error;
};

// p mod q in 0 .. q - 1, also for a negative p. Throws unless q > 0.
int Mod(int p, int q);

// The size of a w x h picture scaled, keeping its aspect ratio, so that it
// spans the screen's shorter side: its height becomes the screen height on a
// screen wider than tall, its width the screen width otherwise. The factor is
// a single-precision quotient, the other side the exact product truncated,
// so 800 x 600 on 1024 x 768 gives 1023 x 768. Throws for an empty picture
// or a side beyond int.
raster::ScreenSize FittedSize(int w, int h, raster::ScreenSize screen);

}  // namespace vantoria::compose
