#include "change/PreviewFit.h"

namespace vantoria {

PreviewPlacement FitPreview(int width, int height) {
    PreviewPlacement p{0, 0, width, height, false};
    if (width >= kPreviewSide || height >= kPreviewSide) {
        // The factor is rounded to a float on purpose; the product of a
        // float and an int below 2^24 is exact in double.
        if (width > height) {
            const float factor = static_cast<float>(kPreviewSide) / static_cast<float>(width);
            p.width = kPreviewSide;
            p.height = static_cast<int>(static_cast<double>(height) * static_cast<double>(factor));
        } else {
            const float factor = static_cast<float>(kPreviewSide) / static_cast<float>(height);
            p.height = kPreviewSide;
            p.width = static_cast<int>(static_cast<double>(width) * static_cast<double>(factor));
        }
        p.stretch = true;
    }
    p.top = kPreviewCentre - p.height / 2;
    p.left = kPreviewCentre - p.width / 2;
    return p;
}

}  // namespace vantoria
