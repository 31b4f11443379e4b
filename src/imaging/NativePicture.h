#pragma once
// The reader for the files the loader reads without a plug-in (".BMP",
// ".ICO", ".WMF", ".EMF"). The content decides the reader: a bitmap file is
// read as one whatever its extension, an icon is drawn (its largest image),
// a metafile is refused, and anything else goes to the bitmap reader, which
// refuses it.

#include <string>
#include <string_view>

#include "platform/raster/Bitmap.h"

namespace vantoria::imaging {

// Throws dib::DibError for a missing or unreadable file and for content that
// is not a picture it can read, e.g. "not a Windows bitmap" or "Windows
// metafiles are not supported".
raster::Bitmap LoadNativePicture(const std::string& path);

}  // namespace vantoria::imaging
