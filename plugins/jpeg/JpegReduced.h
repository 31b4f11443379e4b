#pragma once
// The JPEG decoder opened for a reduced-size decode (GetPictureReduced).

#include <memory>

#include "PluginFormat.h"

namespace vantoria::spi {

// A decoder whose Size() and Decode() give the picture at the smallest of
// 1/2, 1/4 and 1/8 of its size that is at least minWidth x minHeight, or at
// full size. Throws PluginError.
std::unique_ptr<Decoder> OpenReduced(const Source& source, int minWidth, int minHeight);

}  // namespace vantoria::spi
