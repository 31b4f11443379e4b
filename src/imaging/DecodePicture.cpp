#include "imaging/DecodePicture.h"

#include <cstdlib>
#include <cstring>
#include <exception>

#include "imaging/DecodeHelper.h"
#include "imaging/Spi_load.h"
#include "platform/raster/Stretch.h"
#include "platform/report/Reporter.h"

namespace vantoria::imaging {

bool DecodeInProcess() {
    const char* value = std::getenv("VANTORIA_DECODE_IN_PROCESS");
    return value && std::strcmp(value, "1") == 0;
}

namespace {

DecodedPicture DecodeHere(TSpi_load& loader, const std::string& file, WantedSize wanted) {
    DecodedPicture result;
    try {
        loader.LoadPlugins();
        loader.SetFile(file);
        loader.CheckFile();
        if (loader.LoadPicture(wanted.AtLeast()) && loader.Bitmap() && !loader.Bitmap()->Empty()) {
            result.size = loader.PictureSize();
            // As the helper does it (imaging/helper/main.cpp), so that the two
            // cost the same; a picture saved as decoded is saved whole.
            const raster::ScreenSize decoded{loader.Bitmap()->Width(), loader.Bitmap()->Height()};
            if (!loader.Save && wanted.StretchesFrom(decoded)) {
                result.picture = raster::Stretched(*loader.Bitmap(), {wanted.width, wanted.height});
                result.stretched = true;
                loader.FreePicture();
            } else {
                result.picture = *loader.Bitmap();
            }
        } else {
            result.failure = loader.LastError().empty() ? file + ": the picture could not be read" : loader.LastError();
        }
    } catch (const std::exception& e) {
        result.failure = e.what();
    }
    result.refused = loader.RefusedPlugins();
    return result;
}

}  // namespace

DecodedPicture DecodePicture(TSpi_load& loader, const std::string& file, WantedSize wanted) {
    DecodedPicture result = DecodeInProcess() ? DecodeHere(loader, file, wanted) : loader.Helper().Decode(loader, file, wanted);
    // A refused plug-in may be why the file could not be read: say so with
    // the failure. When the picture was read all the same, the user hears
    // of each refusal once.
    for (const std::string& why : result.refused) {
        if (!result.picture) {
            result.failure += "; " + why;
        } else if (loader.Helper().toldRefusals.insert(why).second) {
            ReportError(why);
        }
    }
    return result;
}

}  // namespace vantoria::imaging
