#include <gtest/gtest.h>

#include "platform/desktop/DesktopChoice.h"

namespace vantoria::desktop {
namespace {

struct Case {
    SessionEnvironment env;
    std::optional<DesktopKind> expected;  // nullopt: an error
};

TEST(DesktopChoiceTest, FollowsTheSessionAndTheOverride) {
    using K = DesktopKind;
    const Case cases[] = {
        {{"", "GNOME", "wayland-0", ":0", ""}, K::Gnome},
        {{"", "ubuntu:GNOME", "", ":0", ""}, K::Gnome},
        {{"", "Unity", "", ":0", ""}, K::Gnome},
        {{"", "Pantheon", "", ":0", ""}, K::Gnome},
        {{"", "Budgie:GNOME", "", ":0", ""}, K::Gnome},
        {{"", "X-Cinnamon", "", ":0", ""}, K::Cinnamon},
        {{"", "cinnamon", "", ":0", ""}, K::Cinnamon},
        {{"", "MATE", "", ":0", ""}, K::Mate},
        {{"", "KDE", "wayland-0", "", ""}, K::Kde},
        {{"", "XFCE", "", ":0", ""}, K::Xfce},
        {{"", "LXQt", "", ":0", ""}, K::Lxqt},
        {{"", "LXDE", "", ":0", ""}, K::Lxde},
        {{"", "LXDE-pi", "", ":0", ""}, K::Lxde},
        {{"", "sway", "wayland-1", "", ""}, K::Sway},
        {{"", "wlroots", "wayland-1", "", ""}, K::Sway},
        {{"", "Hyprland", "wayland-1", "", "/run/sway.sock"}, K::Sway},
        {{"", "i3", "", ":0", ""}, K::X11},
        {{"", "", "", ":1", ""}, K::X11},
        {{"", "", "", "", ""}, std::nullopt},
        {{"", "i3", "", "", ""}, std::nullopt},
        {{"", "Hyprland", "wayland-1", ":0", ""}, std::nullopt},
        {{"", "", "wayland-0", "", ""}, std::nullopt},
        {{"x11", "GNOME", "wayland-0", "", ""}, K::X11},
        {{"KDE", "", "", "", ""}, K::Kde},
        {{"none", "GNOME", "", ":0", ""}, K::None},
        {{"windows", "GNOME", "", ":0", ""}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("VANTORIA_DESKTOP=" + c.env.forced + " XDG_CURRENT_DESKTOP=" + c.env.currentDesktop +
                     " WAYLAND_DISPLAY=" + c.env.waylandDisplay + " DISPLAY=" + c.env.display);
        const DesktopChoice choice = ChooseDesktop(c.env);
        EXPECT_EQ(choice.kind, c.expected);
        EXPECT_EQ(choice.error.empty(), c.expected.has_value());
    }
}

TEST(DesktopChoiceTest, ErrorsSayWhatToDo) {
    EXPECT_NE(ChooseDesktop({"windows", "", "", "", ""}).error.find("VANTORIA_DESKTOP=windows"), std::string::npos);
    EXPECT_NE(ChooseDesktop({"", "Hyprland", "wayland-1", "", ""}).error.find("unsupported Wayland desktop"),
              std::string::npos);
    const std::string none = ChooseDesktop({"", "", "", "", ""}).error;
    EXPECT_NE(none.find("no desktop found"), std::string::npos) << none;
    EXPECT_NE(none.find("--desktop NAME"), std::string::npos) << none;
    EXPECT_NE(none.find("VANTORIA_DESKTOP=NAME"), std::string::npos) << none;
}

}  // namespace
}  // namespace vantoria::desktop
