#pragma once

#include <string>

namespace vantoria::desktop {

// What became of a wallpaper change on the desktop.
struct [[nodiscard]] DesktopResult {
    bool ok = false;
    std::string reason;  // when not ok: one sentence for the user, without a program prefix

    static DesktopResult Done() { return {true, {}}; }
    static DesktopResult Failed(std::string why) { return {false, std::move(why)}; }
};

}  // namespace vantoria::desktop
