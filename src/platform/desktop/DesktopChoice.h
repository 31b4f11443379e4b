#pragma once
// Which desktop receives the wallpaper: forced by VANTORIA_DESKTOP, else
// read from the session's environment.

#include <optional>
#include <string>
#include <string_view>

namespace vantoria::desktop {

enum class DesktopKind { None, X11, Gnome, Cinnamon, Mate, Kde, Xfce, Lxqt, Lxde, Sway };

// The name used in VANTORIA_DESKTOP and in messages ("x11", "gnome", ...).
std::string_view DesktopName(DesktopKind kind);

// The variables the choice depends on; unset and empty are the same.
struct SessionEnvironment {
    std::string forced;          // VANTORIA_DESKTOP
    std::string currentDesktop;  // XDG_CURRENT_DESKTOP
    std::string waylandDisplay;  // WAYLAND_DISPLAY
    std::string display;         // DISPLAY
    std::string swaySocket;      // SWAYSOCK

    static SessionEnvironment FromProcess();
};

// A desktop named for this process only (vantoria-change --desktop), read by
// FromProcess in place of VANTORIA_DESKTOP, so that the programs it starts
// still see the user's own environment. Held while the object lives.
class ForcedDesktop {
public:
    explicit ForcedDesktop(std::optional<std::string> name);
    ~ForcedDesktop();
    ForcedDesktop(const ForcedDesktop&) = delete;
    ForcedDesktop& operator=(const ForcedDesktop&) = delete;

private:
    std::optional<std::string> previous_;
};

// Either a desktop or the reason there is none to use.
struct DesktopChoice {
    std::optional<DesktopKind> kind;
    std::string error;
};

// VANTORIA_DESKTOP wins (an unknown name is an error). Otherwise the first
// known entry of XDG_CURRENT_DESKTOP (colon-separated, any case), then a
// sway socket, then: a Wayland session of another desktop is an error, an
// X display means the bare X11 setter, and no display at all is an error
// (the "none" desktop is used only when it is named).
DesktopChoice ChooseDesktop(const SessionEnvironment& env);

}  // namespace vantoria::desktop
