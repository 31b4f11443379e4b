#pragma once
// The image loader as both programs set it up.

#include <string>

namespace vantoria {

class TSpi_load;

namespace imaging {

struct LoaderSetup {
    std::string pluginFolder;   // SpiPathName
    std::string wallBuffer;     // SFName
    // Keep a decode helper ready for the next decode: worth it in the tray
    // program, which decodes again and again, not in a single change.
    bool keepHelperWarm = false;
};

// SpiPathName, SFName and Save (off), as the main form sets them once.
void SetUpLoader(TSpi_load& loader, const LoaderSetup& setup);

}  // namespace imaging

}  // namespace vantoria
