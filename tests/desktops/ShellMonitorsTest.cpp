// A picture of its own on each monitor (MonitorMode 1) and one picture across
// both (MonitorMode 2) on the real desktops of XFCE (xfdesktop) and KDE
// Plasma (plasmashell under kwin), through vantoria-change. The X server is
// Xorg with its dummy driver, made two 640 x 480 outputs side by side: the
// desktops place their backdrops by RandR output, and the monitors that
// xrandr --setmonitor cuts out of an Xvfb screen have none, so GTK and Qt
// see one screen there (for xfdesktop that one backdrop is tested on such an
// Xvfb too). Plasma is slow to start: only with VANTORIA_OPTIONAL_DESKTOPS=1
// (tests/desktops/optional-desktops.sh).

// gtest first: Xlib's macros (None, Bool) would break its headers.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "desktops/DesktopSession.h"
#include "desktops/DummyOutputs.h"
#include "desktops/RootPixels.h"
#include "support/Child.h"
#include "support/TestBmp.h"

namespace vantoria::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr int kMonW = 640, kRootW = 2 * kMonW, kRootH = 480;

constexpr int kW = 101, kH = 61;              // one picture per monitor, centred
constexpr int kWideW = 1001, kWideH = 301;    // one across both
Rgb Own(int which, int x, int y) { return which == 0 ? Rgb{x * 2 + 1, y * 4 + 1, 200} : Rgb{200, x * 2 + 1, y * 4 + 1}; }
Rgb Wide(int x, int y) { return {(x * 7) % 256, (y * 3) % 256, 90}; }

// Two 640 x 480 outputs, side by side.
class TwoOutputSession : public DummyOutputsSession {
public:
    TwoOutputSession() : DummyOutputsSession({kMonW, kRootH}, {kMonW, kRootH}) {}

    // vantoria-change with `values` stored.
    void Change(const std::string& values, const std::string& file, const std::string& desktop) {
        fs::create_directories(ConfigHome() + "/vantoria");
        std::ofstream(ConfigHome() + "/vantoria/registry.reg")
            << "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Brightmoss\\Runo]\n"
            << "\"WallPosition\"=\"0\"\n\"WallSize\"=\"0\"\n" << values << "\n";
        std::string output;
        EXPECT_EQ(Run(VANTORIA_CHANGE_PROGRAM, {"--desktop", desktop, "--no-run", file}, &output), 0) << output;
    }

    // Waits until the screen above row `rows` (a panel below) shows `expected`.
    bool WaitForScreen(int rows, const std::function<Rgb(int, int)>& expected, std::string& first) {
        return WaitUntil(
            [&] {
                DrainPrograms();
                first.clear();
                const RootPixels screen(X(), kRootW, kRootH);
                return !screen.Empty() &&
                       screen.Mismatches([&](int x, int y) { return y < rows ? expected(x, y) : screen.At(x, y); },
                                         &first) == 0;
            },
            60s);
    }

    // Mode 1: DUMMY1 has a picture of its own, DUMMY0 shows the changed
    // file; mode 2: one wide picture centred across both.
    void EachThenAcross(const std::string& desktop, int rows) {
        const std::string own0 = Dir() + "/own0.bmp", own1 = Dir() + "/own1.bmp", wide = Dir() + "/wide.bmp";
        WriteBmp24(own0, kW, kH, [](int x, int y) { return Own(0, x, y); });
        WriteBmp24(own1, kW, kH, [](int x, int y) { return Own(1, x, y); });
        WriteBmp24(wide, kWideW, kWideH, Wide);
        std::string first;
        Change("\"MonitorMode\"=\"1\"\n\"MonitorWallPapers\"=\"DUMMY1\t" + own1 + "\\n\"", own0, desktop);
        EXPECT_TRUE(WaitForScreen(
            rows,
            [](int x, int y) {
                const int which = x < kMonW ? 0 : 1;
                const int px = x % kMonW - (kMonW - kW) / 2, py = y - (kRootH - kH) / 2;
                return px >= 0 && px < kW && py >= 0 && py < kH ? Own(which, px, py) : Rgb{};
            },
            first))
            << desktop << ", a picture each: " << first;
        Change("\"MonitorMode\"=\"2\"", wide, desktop);
        EXPECT_TRUE(WaitForScreen(
            rows,
            [](int x, int y) {
                const int px = x - (kRootW - kWideW) / 2, py = y - (kRootH - kWideH) / 2;
                return px >= 0 && px < kWideW && py >= 0 && py < kWideH ? Wide(px, py) : Rgb{};
            },
            first))
            << desktop << ", one across both: " << first;
    }
};

std::string Outputs(TwoOutputSession& session) {
    std::string out;
    session.Run("xrandr", {"--query"}, &out);
    return out;
}

TEST(ShellMonitorsTest, XfceShowsAPictureEachAndOneAcrossBothOutputs) {
    if (const std::string missing = MissingForDummyOutputs({"xfdesktop", "xfconf-query"}); !missing.empty())
        GTEST_SKIP() << missing << " is not installed";
    TwoOutputSession session;
    ASSERT_TRUE(session.Ready()) << session.Problem();
    // Ready once it has a backdrop for each output.
    std::string listed;
    ASSERT_TRUE(StartXfdesktop(
        session, {"/monitorDUMMY0/workspace0/last-image", "/monitorDUMMY1/workspace0/last-image"}, listed))
        << listed << Outputs(session);
    session.EachThenAcross("xfce", kRootH);
}

// Monitors cut out of one output: xfdesktop has one backdrop for the whole
// screen, which gets every monitor's picture in its place.
TEST(ShellMonitorsTest, XfceWithOneBackdropForTwoMonitorsShowsThemInPlace) {
    if (const std::string missing = MissingProgram({"xfdesktop", "xfconf-query", "xrandr", "dbus-daemon"});
        !missing.empty())
        GTEST_SKIP() << missing << " is not installed";
    DesktopSession session;
    ASSERT_TRUE(session.Ready());
    constexpr int kHalf = DesktopSession::kWidth / 2, kSH = DesktopSession::kHeight;
    for (const auto& [name, geometry] :
         {std::pair{"*left", "320/85x480/127+0+0"}, std::pair{"right", "320/85x480/127+320+0"}})
        ASSERT_EQ(session.Run("xrandr", {"--setmonitor", name, geometry, "none"}), 0);
    std::string listed;
    ASSERT_TRUE(StartXfdesktop(session, {"/last-image"}, listed)) << listed;
    const std::string own0 = session.Dir() + "/own0.bmp", own1 = session.Dir() + "/own1.bmp";
    WriteBmp24(own0, kW, kH, [](int x, int y) { return Own(0, x, y); });
    WriteBmp24(own1, kW, kH, [](int x, int y) { return Own(1, x, y); });
    const std::string config = session.ConfigHome() + "/vantoria";
    fs::create_directories(config);
    std::ofstream(config + "/registry.reg")
        << "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Brightmoss\\Runo]\n"
        << "\"WallPosition\"=\"0\"\n\"WallSize\"=\"0\"\n\"MonitorMode\"=\"1\"\n\"MonitorWallPapers\"=\"right\t" << own1
        << "\\n\"\n";
    std::string output;
    ASSERT_EQ(session.Run(VANTORIA_CHANGE_PROGRAM, {"--desktop", "xfce", "--no-run", own0}, &output), 0) << output;
    std::string first;
    EXPECT_TRUE(session.WaitForScreen(
        [&](const RootPixels&, int x, int y) {
            const int which = x < kHalf ? 0 : 1;
            const int px = x % kHalf - (kHalf - kW) / 2, py = y - (kSH - kH) / 2;
            return px >= 0 && px < kW && py >= 0 && py < kH ? Own(which, px, py) : Rgb{};
        },
        first))
        << first;
}

TEST(ShellMonitorsTest, PlasmaShowsAPictureEachAndOneAcrossBothOutputs) {
    if (!OptionalDesktopsWanted()) GTEST_SKIP() << "optional: tests/desktops/optional-desktops.sh";
    if (const std::string missing = MissingForDummyOutputs({"plasmashell", "kwin_x11"}); !missing.empty())
        GTEST_SKIP() << missing << " is not installed";
    TwoOutputSession session;
    ASSERT_TRUE(session.Ready()) << session.Problem();
    // Ready once it has a desktop on each output.
    std::string log;
    ASSERT_TRUE(StartPlasma(session, 2, log)) << log;
    // The panel along the bottom of the primary output is left out.
    session.EachThenAcross("kde", kRootH - 50);
}

}  // namespace
}  // namespace vantoria::test
