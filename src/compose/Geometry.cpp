#include "compose/Geometry.h"

#include <climits>
#include <cmath>

namespace vantoria::compose {

int Mod(int p, int q) {
    if (q <= 0) throw GeometryError(q == 0 ? "division by zero" : "negative divisor");
    const int m = p % q;
    return m < 0 ? m + q : m;
}

namespace {

// The fitted side: trunc(side * (target / fitted)) with the factor in single
// precision and the product exact (a 24-bit mantissa times a 32-bit int fits
// a double).
int ScaledSide(int side, int target, int fitted) {
    if (fitted == 0) throw GeometryError("division by zero");
    const float r = static_cast<float>(target) / static_cast<float>(fitted);
    const double scaled = std::trunc(static_cast<double>(side) * static_cast<double>(r));
    if (!(scaled >= INT_MIN && scaled <= INT_MAX)) throw GeometryError("scaled size out of range");
    return static_cast<int>(scaled);
}

}  // namespace

raster::ScreenSize FittedSize(int w, int h, raster::ScreenSize screen) {
    if (screen.width > screen.height) return {ScaledSide(w, screen.height, h), screen.height};
    return {screen.width, ScaledSide(h, screen.width, w)};
}

}  // namespace vantoria::compose
