#include "imaging/LoaderSetup.h"

#include "imaging/DecodeHelper.h"
#include "imaging/DecodePicture.h"
#include "imaging/Spi_load.h"

namespace vantoria::imaging {

void SetUpLoader(TSpi_load& loader, const LoaderSetup& setup) {
    loader.SpiPathName = setup.pluginFolder;
    loader.SFName = setup.wallBuffer;
    loader.Save = false;
    loader.Helper().KeepWarm = setup.keepHelperWarm;
    // A single change starts its helper now: it loads the plug-ins while the
    // caller finds the screen.
    if (!setup.keepHelperWarm && !DecodeInProcess()) loader.Helper().Prepare(setup.pluginFolder);
}

}  // namespace vantoria::imaging
