#include "compose/ApplyWallPaper.h"

#include "platform/desktop/DeskWallpaper.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryError.h"

#include <optional>

namespace vantoria {
namespace {

void Report(std::string* problem, std::string text) {
    if (problem) *problem = std::move(text);
}

// The wallpaper call: set it, keep the reason when the desktop refused.
void SetWallpaper(const std::string& path, std::string* problem, std::optional<bool> tile,
                  const MonitorComposer& otherSizes = {}, desktop::BufferWrite* writing = nullptr) {
    const desktop::DesktopResult result = desktop::SetDeskWallpaper(path, otherSizes, tile, writing);
    Report(problem, result.ok ? std::string() : result.reason);
}

}  // namespace

bool ApplyWallPaper(const std::string& path, bool tile, std::string* problem, const MonitorComposer& otherSizes,
                    desktop::BufferWrite* writing) {
    try {
        // The settings load gives the registry the desktop key a user's
        // profile has, so it is there even before the file is.
        registry::TRegistry reg;
        if (reg.OpenKey(desktop::kDesktopKey, false)) reg.WriteString("TileWallPaper", tile ? "1" : "0");
        reg.CloseKey();
    } catch (const registry::RegistryError& error) {
        // What failed is the desktop's setting, not the program's own.
        Report(problem, error.Reason().empty() ? std::string(error.what())
                                               : "the desktop setting could not be recorded in " +
                                                     error.File().string() + ": " + error.Reason());
        return false;
    }
    // Handed on as written: it is not read back from the file in the same change.
    SetWallpaper(path, problem, tile, otherSizes, writing);
    return true;
}

void EraseWallPaper(std::string* problem) { SetWallpaper(std::string(), problem, std::nullopt); }

}  // namespace vantoria
