#include "compose/ApplyWallPaper.h"

#include "platform/desktop/DeskWallpaper.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryError.h"

#include <optional>

namespace vantoria {

Result ApplyWallPaper(const std::string& path, bool tile, const MonitorComposer& otherSizes,
                      desktop::BufferWrite* writing) {
    try {
        // The settings load gives the registry the desktop key a user's
        // profile has, so it is there even before the file is.
        registry::TRegistry reg;
        if (reg.OpenKey(desktop::kDesktopKey, false)) reg.WriteString("TileWallPaper", tile ? "1" : "0");
        reg.CloseKey();
    } catch (const registry::RegistryError& error) {
        // What failed is the desktop's setting, not the program's own.
        return Result::Failed(error.Reason().empty() ? std::string(error.what())
                                                     : "the desktop setting could not be recorded in " +
                                                           error.File().string() + ": " + error.Reason());
    }
    // Handed on as written: it is not read back from the file in the same change.
    return desktop::SetDeskWallpaper(path, otherSizes, tile, writing);
}

Result EraseWallPaper() { return desktop::SetDeskWallpaper(std::string(), {}, std::nullopt); }

}  // namespace vantoria
