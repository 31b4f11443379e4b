#pragma once

#include "platform/Result.h"

namespace vantoria::desktop {

// What became of a wallpaper change on the desktop: the core's one result.
using DesktopResult = vantoria::Result;

}  // namespace vantoria::desktop
