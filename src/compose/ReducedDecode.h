#pragma once
// When a picture may be decoded at a reduced size without changing the
// wallpaper's size or placement: the composition's geometry always comes
// from the picture's own size, and only the stretch and fit modes draw the
// picture scaled, so there the pixels of a picture at least as large as the
// drawn one are all they need.

#include <optional>

#include "platform/raster/ScreenSize.h"

namespace vantoria::compose {

// The least size of each side of the decoded picture that `mode` on
// `screen` needs, for TSpi_load::LoadPicture: the screen for stretching;
// for fitting, the side of the screen the fit spans (the other follows from
// the aspect ratio and is asked as 1). Nothing for the other modes, or for
// a screen of no size.
std::optional<raster::ScreenSize> ReducedDecodeSize(int mode, raster::ScreenSize screen);

// True when a picture of `decoded` size holds every pixel `mode` on
// `screen` needs (ReducedDecodeSize), so that it may stand in for the whole.
bool DecodedSizeServes(raster::ScreenSize decoded, int mode, raster::ScreenSize screen);

// True for the mode that draws the picture at the screen's size whatever
// its own (stretching): a decode may deliver it so already.
bool StretchesToScreen(int mode);

}  // namespace vantoria::compose
