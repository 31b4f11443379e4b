#pragma once
// A private session on Xorg's dummy driver made two RandR outputs side by
// side, DUMMY0 (primary) and DUMMY1, each of its own size: desktops that
// place a wallpaper per output (Plasma, xfdesktop) see two screens there,
// where the monitors xrandr cuts out of an Xvfb have no output of their own.

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "desktops/DesktopSession.h"
#include "desktops/RootPixels.h"
#include "support/Child.h"

namespace vantoria::test {

inline constexpr const char* kDummyVideoDriver = "/usr/lib/xorg/modules/drivers/dummy_drv.so";

// What must be installed beside `programs` for a DummyOutputsSession; "" when all is.
inline std::string MissingForDummyOutputs(std::vector<std::string> programs) {
    if (!std::filesystem::exists(kDummyVideoDriver)) return "xserver-xorg-video-dummy";
    programs.insert(programs.end(), {"Xorg", "xrandr", "dbus-daemon"});
    return MissingProgram(programs);
}

class DummyOutputsSession : public PrivateSession {
public:
    struct Size {
        int width, height;
    };

    DummyOutputsSession(Size first, Size second) : first_(first), second_(second) {
        using namespace std::chrono_literals;
        const int display = FreeDisplayNumber();
        const std::string mode0 = ModeName(first), mode1 = ModeName(second);
        // The driver grows the screen for the second output only within a
        // virtual size larger than both together.
        std::ofstream(dir_.Path() + "/xorg.conf")
            << "Section \"ServerFlags\"\n Option \"AutoAddDevices\" \"false\"\n Option \"AutoEnableDevices\" "
               "\"false\"\n Option \"DontVTSwitch\" \"true\"\nEndSection\n"
               "Section \"Device\"\n Identifier \"dummy\"\n Driver \"dummy\"\n VideoRam 131072\nEndSection\n"
               "Section \"Monitor\"\n Identifier \"m0\"\n HorizSync 5.0-1000.0\n VertRefresh 5.0-200.0\n"
            << Modeline(first) << Modeline(second)
            << "EndSection\n"
               "Section \"Screen\"\n Identifier \"s0\"\n Device \"dummy\"\n Monitor \"m0\"\n DefaultDepth 24\n"
               " SubSection \"Display\"\n  Depth 24\n  Modes \""
            << mode0 << "\"\n  Virtual " << Width() + 128 << " " << Height() + 64
            << "\n EndSubSection\nEndSection\n";
        const std::string name = ":" + std::to_string(display);
        x_ = std::make_unique<Child>(FindProgram("Xorg"),
                                     std::vector<std::string>{name, "-config", dir_.Path() + "/xorg.conf", "-noreset",
                                                              "-nolisten", "tcp", "-logfile", dir_.Path() + "/xorg.log",
                                                              "-keeptty", "-novtswitch"},
                                     std::map<std::string, std::string>{}, dir_.Path());
        WaitUntil([&] { return std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(display)) || !x_->Running(); },
                  30s);
        for (int tries = 0; tries < 50 && !x11_; ++tries) {
            x11_ = XOpenDisplay(name.c_str());
            if (!x11_) std::this_thread::sleep_for(100ms);
        }
        if (!x11_) return;
        SetEnv("DISPLAY", name);
        SetEnv("XDG_SESSION_TYPE", "x11");
        // The driver reports an output connected once it has been probed
        // again (a full query) with a mode; GTK leaves out the others.
        if (Run("xrandr", {"--addmode", "DUMMY1", mode1}) != 0 ||
            Run("xrandr", {"--output", "DUMMY0", "--mode", mode0, "--primary", "--output", "DUMMY1", "--mode", mode1,
                           "--right-of", "DUMMY0"}) != 0 ||
            Run("xrandr", {"--query"}) != 0)
            return;
        StartBuses(name, true);  // Plasma asks logind and others over the system bus
    }

    ~DummyOutputsSession() {
        End();
        if (x11_) XCloseDisplay(x11_);
        if (x_) x_->Signal(SIGTERM), x_->Wait(std::chrono::seconds(10));
    }

    // The screen's size: both outputs side by side.
    int Width() const { return first_.width + second_.width; }
    int Height() const { return std::max(first_.height, second_.height); }
    Display* X() const { return x11_; }
    std::string Problem() const { return x_ ? x_->Output() + ReadFile(dir_.Path() + "/xorg.log") : ""; }

    // The whole screen now.
    RootPixels Screen() {
        DrainPrograms();
        return RootPixels(x11_, Width(), Height());
    }

private:
    static std::string ModeName(Size s) { return std::to_string(s.width) + "x" + std::to_string(s.height); }
    // A mode at 60 frames a second with ordinary blanking (the server
    // leaves out modes whose blanking it takes for reduced).
    static std::string Modeline(Size s) {
        const int hTotal = s.width + s.width / 4, vTotal = s.height + s.height / 30 + 10;
        const double clock = hTotal * vTotal * 60 / 1e6;
        return " Modeline \"" + ModeName(s) + "\" " + std::to_string(clock) + " " + std::to_string(s.width) + " " +
               std::to_string(s.width + s.width / 20) + " " + std::to_string(s.width + s.width / 8) + " " +
               std::to_string(hTotal) + " " + std::to_string(s.height) + " " + std::to_string(s.height + 1) + " " +
               std::to_string(s.height + 4) + " " + std::to_string(vTotal) + " -hsync +vsync\n";
    }

    Size first_, second_;
    std::unique_ptr<Child> x_;
    Display* x11_ = nullptr;
};

}  // namespace vantoria::test
