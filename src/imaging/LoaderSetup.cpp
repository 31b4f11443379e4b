#include "imaging/LoaderSetup.h"

#include "imaging/DecodeHelper.h"
#include "imaging/Spi_load.h"

namespace vantoria::imaging {

void SetUpLoader(TSpi_load& loader, const LoaderSetup& setup) {
    loader.SpiPathName = setup.pluginFolder;
    loader.SFName = setup.wallBuffer;
    loader.Save = false;
    loader.Helper().KeepWarm = setup.keepHelperWarm;
}

}  // namespace vantoria::imaging
