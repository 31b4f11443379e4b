// vantoria-change against the real shells of GNOME and KDE Plasma, each on a
// private Xvfb whose screen is read from its frame-buffer file: the shells
// draw through a compositor, which the root window does not show. Too slow
// to start for every test run: tests/desktops/optional-desktops.sh runs them.

// gtest first: Xlib's macros (None, Bool) would break its headers.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "desktops/DesktopSession.h"
#include "support/Child.h"
#include "support/TestBmp.h"

namespace vantoria::test {
namespace {

using namespace std::chrono_literals;

constexpr int kSW = 640, kSH = 480;
constexpr int kW = 100, kH = 60;

// The rows a shell's own panels and banners leave free.
struct Rows {
    int from, to;
};

Rgb PictureAt(int x, int y) { return {x * 2 + 1, y * 4 + 1, 200}; }

// Xvfb writes its screen to a file here: the root window does not show what
// a compositor draws.
class ShellSession : public PrivateSession {
public:
    explicit ShellSession(const std::string& desktop) : fb_(dir_.Path() + "/fb") {
        std::filesystem::create_directories(fb_);
        const std::string display = ":" + std::to_string(FreeDisplayNumber());
        x_ = std::make_unique<Child>(FindProgram("Xvfb"),
                                     std::vector<std::string>{display, "-screen", "0",
                                                              std::to_string(kSW) + "x" + std::to_string(kSH) + "x24",
                                                              "-fbdir", fb_, "-nolisten", "tcp", "+extension", "GLX"},
                                     std::map<std::string, std::string>{}, dir_.Path());
        SetEnv("XDG_CURRENT_DESKTOP", desktop);
        SetEnv("XDG_SESSION_TYPE", "x11");
        SetEnv("VANTORIA_SCREEN", std::to_string(kSW) + "x" + std::to_string(kSH));
        StartBuses(display, true);
        WaitUntil([&] { return std::filesystem::exists(fb_ + "/Xvfb_screen0"); });
    }
    ~ShellSession() { End(); }

    // The screen as shown, from Xvfb's frame-buffer file.
    std::vector<Rgb> Screen() {
        DrainPrograms();
        // Raw RGB: the window name Xvfb puts in the file would be a comment in
        // any header.
        const std::string raw = dir_.Path() + "/screen.rgb";
        if (Run("convert", {"xwd:" + fb_ + "/Xvfb_screen0", "-depth", "8", "rgb:" + raw}) != 0) return {};
        std::ifstream in(raw, std::ios::binary);
        std::vector<unsigned char> bytes(static_cast<std::size_t>(kSW) * kSH * 3);
        if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) return {};
        std::vector<Rgb> pixels;
        for (std::size_t i = 0; i < bytes.size(); i += 3) pixels.push_back({bytes[i], bytes[i + 1], bytes[i + 2]});
        return pixels;
    }
    void SaveScreen(const std::string& name) {
        if (const char* keep = std::getenv("VANTORIA_SCREENSHOTS"))
            Run("convert", {"xwd:" + fb_ + "/Xvfb_screen0", std::string(keep) + "/" + name + ".png"});
    }

    // Waits until `rows` show `expected`.
    bool WaitForScreen(Rows rows, const std::function<Rgb(const std::vector<Rgb>&, int, int)>& expected,
                       std::string& first) {
        return WaitUntil(
            [&] {
                const std::vector<Rgb> screen = Screen();
                if (screen.empty()) return false;  // caught mid-write: look again
                first.clear();
                int bad = 0;
                for (int y = rows.from; y < rows.to; ++y)
                    for (int x = 0; x < kSW; ++x) {
                        const Rgb got = screen[static_cast<std::size_t>(y) * kSW + x], want = expected(screen, x, y);
                        if (got != want && bad++ < 3)
                            first += "(" + std::to_string(x) + "," + std::to_string(y) + ") ";
                    }
                return bad == 0;
            },
            60s);
    }

private:
    std::string fb_;
    std::unique_ptr<Child> x_;
};

// Centred: the picture 1:1 in the middle, the shell's own colour around it.
// Tiled: copies 1:1 from the screen's top-left corner.
void CentredAndTiled(ShellSession& shell, const std::string& desktop, Rows rows) {
    WriteBmp24(shell.Dir() + "/pic.bmp", kW, kH, PictureAt);
    const auto change = [&](const std::string& position) {
        std::string output;
        EXPECT_EQ(shell.Run(VANTORIA_CHANGE_PROGRAM, {"--desktop", desktop, "--position", position, "--size", "0",
                                                      "--arrange", "0", "--no-run", shell.Dir() + "/pic.bmp"},
                            &output),
                  0)
            << output;
    };
    std::string first;
    change("0");
    EXPECT_TRUE(shell.WaitForScreen(
        rows,
        [](const std::vector<Rgb>& screen, int x, int y) {
            const int px = x - (kSW - kW) / 2, py = y - (kSH - kH) / 2;
            return px >= 0 && px < kW && py >= 0 && py < kH ? PictureAt(px, py)
                                                            : screen[static_cast<std::size_t>(kSH / 2) * kSW];
        },
        first))
        << "centred: " << first;
    shell.SaveScreen(desktop + "-centred");
    change("1");
    EXPECT_TRUE(shell.WaitForScreen(
        rows, [](const std::vector<Rgb>&, int x, int y) { return PictureAt(x % kW, y % kH); }, first))
        << "tiled: " << first;
    shell.SaveScreen(desktop + "-tiled");
}

TEST(ShellDesktopsTest, GnomeShellShowsThePictureCentredAndTiled) {
    if (!OptionalDesktopsWanted()) GTEST_SKIP() << "optional: tests/desktops/optional-desktops.sh";
    if (const std::string missing = MissingProgram({"gnome-shell", "Xvfb", "dbus-daemon", "xdotool", "convert"});
        !missing.empty())
        GTEST_SKIP() << missing << " is not installed";
    ShellSession shell("GNOME");
    Child& gnome = shell.Start("gnome-shell", {"--x11", "--replace"});
    ASSERT_TRUE(WaitUntil([&] { return gnome.Running() && gnome.Output().find("GNOME Shell started") != std::string::npos; },
                          90s))
        << gnome.Output();
    // It starts in the overview; the pointer goes up to the top bar.
    std::this_thread::sleep_for(2s);
    shell.Run("xdotool", {"key", "Escape"});
    shell.Run("xdotool", {"mousemove", std::to_string(kSW - 10), "5"});
    // Below the top bar and the first notification's banner.
    CentredAndTiled(shell, "gnome", {120, kSH});
}

TEST(ShellDesktopsTest, PlasmaShellShowsThePictureCentredAndTiled) {
    if (!OptionalDesktopsWanted()) GTEST_SKIP() << "optional: tests/desktops/optional-desktops.sh";
    if (const std::string missing = MissingProgram({"plasmashell", "kwin_x11", "Xvfb", "dbus-daemon", "xdotool", "convert"});
        !missing.empty())
        GTEST_SKIP() << missing << " is not installed";
    ShellSession shell("KDE");
    std::string log;
    ASSERT_TRUE(StartPlasma(shell, 1, log)) << log;
    // The pointer rests on the panel along the bottom, which is left out.
    std::this_thread::sleep_for(3s);
    shell.Run("xdotool", {"mousemove", std::to_string(kSW / 2), std::to_string(kSH - 10)});
    CentredAndTiled(shell, "kde", {0, kSH - 50});
}

}  // namespace
}  // namespace vantoria::test
