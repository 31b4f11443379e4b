#include "platform/desktop/DeskWallpaper.h"

#include <exception>
#include <filesystem>
#include <optional>

#include "platform/desktop/DesktopChoice.h"
#include "platform/desktop/FreshCopy.h"
#include "platform/desktop/TiledCanvas.h"
#include "platform/desktop/ToolDesktops.h"
#include "platform/desktop/X11Root.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryError.h"
#include "platform/screen/Screen.h"

namespace vantoria::desktop {
namespace {

bool ProfileSaysTile() {
    registry::TRegistry reg;
    return reg.OpenKey(kDesktopKey, false) && reg.ReadString("TileWallPaper") == "1";
}

// Throws registry::RegistryError.
void RecordWallpaper(const std::string& path) {
    registry::TRegistry reg;
    // A key it could not open makes the write below throw.
    static_cast<void>(reg.OpenKey(kDesktopKey, true));
    reg.WriteString("Wallpaper", path);
    reg.CloseKey();
}

DesktopResult ShowWithTool(DesktopKind kind, const std::string& picture, bool tile) {
    switch (kind) {
        case DesktopKind::Gnome:
        case DesktopKind::Cinnamon:
        case DesktopKind::Mate:
            return SetGSettingsWallpaper(kind, picture, tile);
        case DesktopKind::Kde:
            return SetPlasmaWallpaper(picture, tile);
        case DesktopKind::Xfce:
            return SetXfceWallpaper(picture, tile);
        case DesktopKind::Lxqt:
            return SetLxqtWallpaper(picture, tile);
        case DesktopKind::Lxde:
            return SetLxdeWallpaper(picture, tile);
        case DesktopKind::Sway:
            return SetSwayWallpaper(picture, tile);
        case DesktopKind::None:
        case DesktopKind::X11:
            break;
    }
    return DesktopResult::Done();
}

// GNOME Shell scales the tiles of its "wallpaper" option and Plasma lays its
// tiles out from the screen's centre; a screen-sized canvas of our own
// tiling from the top-left, shown centred, is drawn 1:1 by both.
DesktopResult ShowTiledCanvas(DesktopKind kind, const std::string& path) {
    std::string reason;
    std::optional<raster::ScreenSize> screen = ScreenSizeFromEnvironment();
    if (!screen) screen = PrimaryScreenSize(reason);
    if (!screen) return DesktopResult::Failed(reason);
    const std::filesystem::path folder = WallpaperCacheDir();
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    const std::optional<std::filesystem::path> canvas = WriteTiledCanvas(path, *screen, folder, reason);
    if (!canvas) return DesktopResult::Failed(reason);
    std::optional<FreshCopy> copy = FreshCopy::Make(canvas->string(), reason);
    std::filesystem::remove(*canvas, ignored);
    if (!copy) return DesktopResult::Failed(reason);
    DesktopResult result = ShowWithTool(kind, copy->Path().string(), false);
    if (result.ok) copy->Commit();
    return result;
}

DesktopResult Show(DesktopKind kind, const std::string& path, bool tile, const MonitorComposer& otherSizes,
                   BufferWrite* writing) {
    if (kind == DesktopKind::X11 && writing) {
        DesktopResult result = SetX11RootWallpaper(writing->Picture(), tile, otherSizes);
        if (!writing->Finish()) return writing->Finish();
        return result;
    }
    if (writing && !writing->Finish()) return writing->Finish();
    if (kind == DesktopKind::None) return DesktopResult::Done();
    if (kind == DesktopKind::X11) return SetX11RootWallpaper(path, tile, otherSizes);
    // Plasma: a screen-sized picture for every monitor where they are known.
    if (kind == DesktopKind::Kde && !path.empty()) {
        std::string unknown;
        if (std::optional<DesktopResult> shown = SetPlasmaScreenPictures(path, tile, otherSizes, unknown))
            return *shown;
        if (otherSizes && !otherSizes.sizeOnly) return DesktopResult::Failed(unknown);
    }
    // A picture per monitor, or one across them: only some desktops can.
    if (!path.empty() && otherSizes && !otherSizes.sizeOnly) return SetWallpaperPerMonitor(kind, path, tile, otherSizes);
    if ((kind == DesktopKind::Gnome || kind == DesktopKind::Kde) && tile && !path.empty())
        return ShowTiledCanvas(kind, path);
    std::string reason;
    if (path.empty()) {
        const std::optional<CacheLock> lock = CacheLock::Take(reason);
        if (!lock) return DesktopResult::Failed(reason);
        DesktopResult result = ShowWithTool(kind, path, tile);
        if (result.ok) RemoveCachedCopies(*lock);
        return result;
    }
    std::optional<FreshCopy> copy = FreshCopy::Make(path, reason);
    if (!copy) return DesktopResult::Failed(reason);
    DesktopResult result = ShowWithTool(kind, copy->Path().string(), tile);
    if (result.ok) copy->Commit();
    return result;
}

}  // namespace

bool DrawsFromMemory() {
    try {
        const DesktopChoice choice = ChooseDesktop(SessionEnvironment::FromProcess());
        return choice.kind == DesktopKind::X11;
    } catch (const std::exception&) {
        return false;
    }
}

std::string RecordedWallpaper() {
    registry::TRegistry reg;
    return reg.OpenKey(kDesktopKey, false) ? reg.ReadString("Wallpaper") : std::string();
}

DesktopResult SetDeskWallpaper(const std::string& path, const MonitorComposer& otherSizes, std::optional<bool> tile,
                               BufferWrite* writing) {
    try {
        const DesktopChoice choice = ChooseDesktop(SessionEnvironment::FromProcess());
        if (!choice.kind) return DesktopResult::Failed(choice.error);
        DesktopResult result = Show(*choice.kind, path, tile ? *tile : ProfileSaysTile(), otherSizes, writing);
        if (!result.ok) return result;
        try {
            RecordWallpaper(path);
        } catch (const registry::RegistryError& error) {
            return DesktopResult::Failed(std::string("the wallpaper is on the desktop but cannot be recorded: ") +
                                         error.what());
        }
        return result;
    } catch (const std::exception& error) {
        // Out of memory and the like: the change is abandoned, the program goes on.
        return DesktopResult::Failed(std::string("cannot change the wallpaper: ") + error.what());
    }
}

}  // namespace vantoria::desktop
