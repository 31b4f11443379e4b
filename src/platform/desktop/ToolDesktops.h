#pragma once
// The desktops that keep their wallpaper in their own settings and are told
// about it through their command-line tools. Each takes the picture's
// absolute path (a fresh name: they remember pictures by path) or "" for no
// picture, and whether to tile it (else it is centred).

#include <optional>
#include <string>

#include "platform/desktop/DesktopChoice.h"
#include "platform/desktop/DesktopResult.h"
#include "platform/screen/Monitors.h"

namespace vantoria::desktop {

// gnome, cinnamon and mate, through gsettings. `spanned`: the picture is
// one canvas of all monitors together (picture-options "spanned").
DesktopResult SetGSettingsWallpaper(DesktopKind kind, const std::string& picture, bool tile, bool spanned = false);
// KDE Plasma: a desktop script run by plasmashell, sent with dbus-send.
DesktopResult SetPlasmaWallpaper(const std::string& picture, bool tile);
// Plasma with every desktop given a picture as large as its monitor in
// device pixels: `perMonitor`'s own picture for it, else `buffer` laid out
// (tiled from the monitor's top-left or centred). nullopt with `reason` set
// when the monitors are unknown.
std::optional<DesktopResult> SetPlasmaScreenPictures(const std::string& buffer, bool tile,
                                                     const MonitorComposer& perMonitor, std::string& reason);
// XFCE: every monitor's and workspace's backdrop, through xfconf-query.
DesktopResult SetXfceWallpaper(const std::string& picture, bool tile);
// LXQt: pcmanfm-qt, which draws its desktop.
DesktopResult SetLxqtWallpaper(const std::string& picture, bool tile);
// pcmanfm --set-wallpaper (LXDE).
DesktopResult SetLxdeWallpaper(const std::string& picture, bool tile);
// sway and other wlroots compositors that take sway's commands: swaymsg.
DesktopResult SetSwayWallpaper(const std::string& picture, bool tile);

// The same desktops with a picture of its own on each monitor, where the
// desktop can show one (the GNOME family one canvas across all monitors,
// sway per output, Plasma per desktop, XFCE per backdrop); elsewhere every
// monitor shows `buffer` as usual and `perMonitor.problem` says so.
DesktopResult SetWallpaperPerMonitor(DesktopKind kind, const std::string& buffer, bool tile,
                                     const MonitorComposer& perMonitor);
// sway's part of it: every active output its own file.
DesktopResult SetSwayWallpaperPerOutput(const std::string& buffer, bool tile, const MonitorComposer& perMonitor);

}  // namespace vantoria::desktop
