#pragma once
// Where the screen size comes from outside the tray program: an override in
// the environment (tests, headless use), else the X server's primary screen.

#include "platform/raster/ScreenSize.h"

#include <optional>
#include <string>

namespace vantoria {

// "1920x1080" → 1920 x 1080. Both sides must be whole numbers from 1 to the
// largest bitmap side; anything else is nullopt.
std::optional<raster::ScreenSize> ParseScreenSize(const std::string& text);

// VANTORIA_SCREEN=WIDTHxHEIGHT; nullopt when unset. Throws
// std::invalid_argument when it is set but malformed.
std::optional<raster::ScreenSize> ScreenSizeFromEnvironment();

// The primary output of the X server named by DISPLAY (RandR), else its
// root window. nullopt with `error` set when there is no usable display.
std::optional<raster::ScreenSize> X11PrimaryScreenSize(std::string& error);

}  // namespace vantoria
