#pragma once
// The host's side of GetPicture: turning the two blocks a plug-in hands over
// (a BITMAPINFO and the pixel rows) into a bitmap of the size its
// GetPictureInfo reported. Plug-ins are outside code; nothing they hand over
// is trusted. Every failure throws dib::DibError with a reason meant for a
// person; no byte outside a block is ever read.

#include "imaging/SusieBlock.h"
#include "platform/dib/Dib.h"
#include "platform/raster/Bitmap.h"

namespace vantoria::imaging {

// Refuses a reported picture size that is not positive or lies beyond the
// limits.
void CheckReportedSize(int width, int height, const dib::Limits& limits = {});

// Converts the picture. The rules a plug-in must keep:
// - both blocks present and made with susie_block_alloc;
// - the info block holds the whole header, the masks and, for up to 8 bits
//   a pixel, the whole colour table the header declares (biClrUsed entries,
//   or all the depth can index when it is 0);
// - the picture is as wide as reported;
// - uncompressed pixel data holds every row the header declares.
// A picture with a different number of rows than reported fills the
// reported height from the top: missing rows are black, extra rows dropped.
// Complete 24-bit rows of the reported size are adopted by the bitmap
// without a copy (the block is then freed with the bitmap); every other
// block is freed before returning, on every path.
raster::Bitmap ConvertPluginPicture(int width, int height, SusieBlock info, SusieBlock bits,
                                    const dib::Limits& limits = {});

}  // namespace vantoria::imaging
