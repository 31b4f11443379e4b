#include "compose/CompositionMode.h"

#include "settings/ApSystem.h"

namespace vantoria::compose {

Composition ChooseComposition(std::int32_t wallPosition, std::int32_t wallSize,
                              std::int32_t wallArrange) {
    if (wallPosition == 2) {
        const int mode = wallArrange == 1 ? 5 : wallArrange == 2 ? 6 : 4;
        return {mode, true};
    }
    return {wallSize, wallPosition != 0};
}

Composition ChooseComposition(const TApSystem& settings) {
    return ChooseComposition(settings.WallPosition, settings.WallSize, settings.WallArrange);
}

}  // namespace vantoria::compose
