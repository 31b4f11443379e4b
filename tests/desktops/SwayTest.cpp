// vantoria-change on a headless sway without Xwayland: the screen size comes
// from the compositor's outputs, and swaybg shows the buffer file as asked.
// sway refuses to run as root, so the compositor and the change run as an
// unprivileged user; grim reads the screen.

// gtest first: Xlib's macros (None, Bool) would break its headers.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "desktops/DesktopSession.h"
#include "desktops/HeadlessSway.h"
#include "desktops/RootPixels.h"
#include "support/Child.h"
#include "support/TestBmp.h"

namespace vantoria::test {
namespace {

constexpr int kW = 100, kH = 60;            // even room on either side: swaybg centres on whole pixels
constexpr int kSW = 800, kSH = 600;         // the headless output

Rgb PictureAt(int x, int y) { return {x * 2 + 1, y * 4 + 1, 200}; }

class SwayTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string missing = MissingProgram({"sway", "swaybg", "grim", "setpriv"}); !missing.empty())
            GTEST_SKIP() << missing << " is not installed";
        // Only the user's own folders: the runtime folder must be its own.
        ::chmod(dir_.Path().c_str(), 0711);
        home_ = dir_.Path() + "/home";
        run_ = dir_.Path() + "/run";
        for (const std::string& d : {home_, run_}) {
            std::filesystem::create_directories(d);
            ASSERT_EQ(::chown(d.c_str(), kNobodyId, kNobodyId), 0);
            ::chmod(d.c_str(), 0700);
        }
        std::ofstream(home_ + "/config") << "xwayland disable\noutput HEADLESS-1 mode " << kSW << "x" << kSH << "\n";
        WriteBmp24(home_ + "/pic.bmp", kW, kH, PictureAt);
        // A copy the other user can reach, wherever the build tree lies (a
        // checkout under /root is closed to it).
        change_ = CopyWithDecodeHelper(VANTORIA_CHANGE_PROGRAM, dir_.Path());
        ASSERT_EQ(::chown((home_ + "/pic.bmp").c_str(), kNobodyId, kNobodyId), 0);
        env_ = HeadlessSwayEnv(home_, home_ + "/config-home", run_);
        sway_ = std::make_unique<Child>(FindProgram("setpriv"), AsNobody({FindProgram("sway"), "-c", home_ + "/config"}),
                                        env_, home_);
        ASSERT_TRUE(WaitForSwaySockets(*sway_, run_, env_)) << sway_->Output();
    }

    void Change(const std::string& position) {
        Child change(FindProgram("setpriv"),
                     AsNobody({change_, "--position", position, "--size", "0", "--arrange", "0",
                               "--no-run", home_ + "/pic.bmp"}),
                     env_, home_);
        ASSERT_EQ(change.Wait(), 0) << change.Output();
    }

    // Waits until the output shows `expected` everywhere.
    bool WaitForScreen(const std::function<Rgb(const std::vector<Rgb>&, int, int)>& expected, std::string& first) {
        return WaitUntil(
            [&] {
                sway_->Running();
                return SwayShows(env_, dir_.Path(), "", kSW, kSH, expected, first);
            },
            std::chrono::seconds(60));
    }

    TempDir dir_;
    std::string home_, run_, change_;
    std::map<std::string, std::string> env_;
    std::unique_ptr<Child> sway_;
};

TEST_F(SwayTest, TheScreenSizeComesFromTheCompositor) {
    std::string first;
    // Centred: the picture 1:1 in the middle, swaybg's colour around it.
    Change("0");
    EXPECT_TRUE(WaitForScreen(
        [](const std::vector<Rgb>& screen, int x, int y) {
            const int px = x - (kSW - kW) / 2, py = y - (kSH - kH) / 2;
            return px >= 0 && px < kW && py >= 0 && py < kH ? PictureAt(px, py) : screen.front();
        },
        first))
        << "centred: " << first;
    // Tiled with one copy centred: composed for the output's size, which only
    // the compositor could tell.
    Change("2");
    EXPECT_TRUE(WaitForScreen(
        [](const std::vector<Rgb>&, int x, int y) {
            return PictureAt(Mod(x - (kSW / 2 - kW / 2), kW), Mod(y - (kSH / 2 - kH / 2), kH));
        },
        first))
        << "tiled: " << first;
}

}  // namespace
}  // namespace vantoria::test
