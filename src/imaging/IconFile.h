#pragma once
// Icons and cursors (.ICO, .CUR): a directory of images of several sizes, of
// which the largest is drawn, with its transparent parts onto black.
//
// Images are stored either as a device-independent bitmap (the header's
// height counts the colour rows and the 1-bit AND mask below them; 32-bit
// images carry alpha) or as a whole PNG file. Each directory entry is checked
// against the file; an image that cannot be read gives way to the next
// largest, and only when none can be read is the icon refused. Entries that
// point at the same image try it once.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/dib/DibLimits.h"
#include "platform/raster/Bitmap.h"

namespace vantoria::imaging {

// The largest image a directory entry can state (0 stands for 256); larger
// images are refused.
inline constexpr int kMaxIconSide = 256;

// Larger icon files are refused before they are read.
inline constexpr std::size_t kMaxIconFileBytes = std::size_t{64} << 20;

// True when `start` begins with an icon or cursor directory header.
bool IsIcon(std::span<const std::uint8_t> start);

// Throws dib::DibError when no image of the icon can be read.
raster::Bitmap DecodeIcon(std::span<const std::uint8_t> file, const dib::Limits& limits = {});

// Reads and decodes an icon file; dib::DibError as DecodeIcon, and for a file
// that cannot be read.
raster::Bitmap LoadIconFile(const std::string& path, const dib::Limits& limits = {});

}  // namespace vantoria::imaging
