#pragma once
// From the three layout settings to the composition mode and the desktop's
// tiling flag.
//
//   WallPosition 2 (tiled, one copy centred): WallArrange 1 -> 5, 2 -> 6,
//                  anything else -> 4; tiled.
//   any other WallPosition: the mode is WallSize as stored, unchecked;
//                  tiled unless WallPosition is 0.
//
// Modes: 0 and anything outside 1..6 write the picture unchanged; 1 stretch to
// the screen; 2 and 3 fit the screen's shorter side; 4 centre for tiling;
// 5 and 6 alternate vertically or horizontally, then centre.

#include <cstdint>

namespace vantoria {

struct TApSystem;

namespace compose {

struct Composition {
    int mode = 0;
    bool tile = false;
    friend constexpr bool operator==(const Composition&, const Composition&) = default;
};

Composition ChooseComposition(std::int32_t wallPosition, std::int32_t wallSize,
                              std::int32_t wallArrange);
Composition ChooseComposition(const TApSystem& settings);

}  // namespace compose
}  // namespace vantoria
