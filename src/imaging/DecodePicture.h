#pragma once
// The one decode of a wallpaper change and of the chooser's preview: the
// loader's sequence for one file (LoadPlugins, SetFile, CheckFile,
// LoadPicture), run in the decode helper (imaging/DecodeHelper.h).
//
// VANTORIA_DECODE_IN_PROCESS=1 runs the sequence in this process instead,
// unprotected: for benchmarks that measure what the helper costs, never for
// use.

#include <string>

#include "imaging/DecodedPicture.h"

namespace vantoria {

class TSpi_load;

namespace imaging {

// Never throws: every failure, the loader's raised errors included, comes
// back as the failure text.
DecodedPicture DecodePicture(TSpi_load& loader, const std::string& file, WantedSize wanted = {});

// Whether VANTORIA_DECODE_IN_PROCESS asks for the unprotected decode.
bool DecodeInProcess();

}  // namespace imaging

}  // namespace vantoria
