#include "imaging/DecodePicture.h"

#include <cstdlib>
#include <cstring>
#include <exception>

#include "imaging/DecodeHelper.h"
#include "imaging/Spi_load.h"

namespace vantoria::imaging {

bool DecodeInProcess() {
    const char* value = std::getenv("VANTORIA_DECODE_IN_PROCESS");
    return value && std::strcmp(value, "1") == 0;
}

DecodedPicture DecodePicture(TSpi_load& loader, const std::string& file, WantedSize wanted) {
    if (!DecodeInProcess()) return loader.Helper().Decode(loader, file, wanted);
    DecodedPicture result;
    try {
        loader.LoadPlugins();
        loader.SetFile(file);
        loader.CheckFile();
        if (loader.LoadPicture() && loader.Bitmap() && !loader.Bitmap()->Empty()) {
            result.picture = *loader.Bitmap();
        } else {
            result.failure = loader.LastError().empty() ? file + ": the picture could not be read" : loader.LastError();
        }
    } catch (const std::exception& e) {
        result.failure = e.what();
    }
    return result;
}

}  // namespace vantoria::imaging
