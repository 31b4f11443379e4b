#include "platform/desktop/DesktopChoice.h"

#include <array>
#include <cstdlib>
#include <utility>

namespace vantoria::desktop {
namespace {

constexpr std::array<std::pair<std::string_view, DesktopKind>, 10> kForcedNames{{
    {"none", DesktopKind::None},
    {"x11", DesktopKind::X11},
    {"gnome", DesktopKind::Gnome},
    {"cinnamon", DesktopKind::Cinnamon},
    {"mate", DesktopKind::Mate},
    {"kde", DesktopKind::Kde},
    {"xfce", DesktopKind::Xfce},
    {"lxqt", DesktopKind::Lxqt},
    {"lxde", DesktopKind::Lxde},
    {"sway", DesktopKind::Sway},
}};

// Entries of XDG_CURRENT_DESKTOP as sessions spell them.
constexpr std::array<std::pair<std::string_view, DesktopKind>, 13> kSessionNames{{
    {"gnome", DesktopKind::Gnome},
    {"unity", DesktopKind::Gnome},
    {"pantheon", DesktopKind::Gnome},  // keeps its picture in GNOME's settings
    {"x-cinnamon", DesktopKind::Cinnamon},
    {"cinnamon", DesktopKind::Cinnamon},
    {"mate", DesktopKind::Mate},
    {"kde", DesktopKind::Kde},
    {"xfce", DesktopKind::Xfce},
    {"lxqt", DesktopKind::Lxqt},
    {"lxde", DesktopKind::Lxde},
    {"lxde-pi", DesktopKind::Lxde},
    {"sway", DesktopKind::Sway},
    {"wlroots", DesktopKind::Sway},
}};

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

template <std::size_t N>
std::optional<DesktopKind> Lookup(const std::array<std::pair<std::string_view, DesktopKind>, N>& table,
                                  std::string_view name) {
    for (const auto& [known, kind] : table)
        if (SameIgnoringCase(known, name)) return kind;
    return std::nullopt;
}

std::optional<DesktopKind> FromCurrentDesktop(std::string_view list) {
    while (!list.empty()) {
        const auto colon = list.find(':');
        if (auto kind = Lookup(kSessionNames, list.substr(0, colon))) return kind;
        if (colon == std::string_view::npos) break;
        list.remove_prefix(colon + 1);
    }
    return std::nullopt;
}

constexpr std::string_view kNameList = "x11, gnome, cinnamon, mate, kde, xfce, lxqt, lxde, sway or none";

std::string Get(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::optional<std::string> forcedDesktop;

}  // namespace

std::string_view DesktopName(DesktopKind kind) {
    for (const auto& [name, known] : kForcedNames)
        if (known == kind) return name;
    return "none";
}

SessionEnvironment SessionEnvironment::FromProcess() {
    return {forcedDesktop ? *forcedDesktop : Get("VANTORIA_DESKTOP"), Get("XDG_CURRENT_DESKTOP"), Get("WAYLAND_DISPLAY"),
            Get("DISPLAY"), Get("SWAYSOCK")};
}

ForcedDesktop::ForcedDesktop(std::optional<std::string> name) : previous_(std::move(forcedDesktop)) {
    forcedDesktop = std::move(name);
}

ForcedDesktop::~ForcedDesktop() { forcedDesktop = std::move(previous_); }

DesktopChoice ChooseDesktop(const SessionEnvironment& env) {
    if (!env.forced.empty()) {
        if (auto kind = Lookup(kForcedNames, env.forced)) return {kind, {}};
        return {std::nullopt,
                "VANTORIA_DESKTOP=" + env.forced + " is not a known desktop (" + std::string(kNameList) + ")"};
    }
    if (auto kind = FromCurrentDesktop(env.currentDesktop)) return {kind, {}};
    if (!env.swaySocket.empty()) return {DesktopKind::Sway, {}};
    if (!env.waylandDisplay.empty()) {
        const std::string which = env.currentDesktop.empty() ? "" : " (" + env.currentDesktop + ")";
        return {std::nullopt, "unsupported Wayland desktop" + which + ": set VANTORIA_DESKTOP to one of " +
                                  std::string(kNameList)};
    }
    if (!env.display.empty()) return {DesktopKind::X11, {}};
    // Reporting success here would leave the user looking for a wallpaper
    // that went nowhere; "none" has to be asked for.
    return {std::nullopt, "no desktop found (no DISPLAY, WAYLAND_DISPLAY or known XDG_CURRENT_DESKTOP): name one "
                          "with VANTORIA_DESKTOP=NAME or vantoria-change --desktop NAME, NAME being " +
                              std::string(kNameList)};
}

}  // namespace vantoria::desktop
