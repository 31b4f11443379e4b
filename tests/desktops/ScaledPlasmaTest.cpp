// KDE Plasma scaled to twice its size by Qt, on two outputs of different
// sizes (1280 x 960 and 640 x 480): through vantoria-change, each monitor
// shows its picture in its own device pixels, one to one, a centred picture
// as large as it is and a stretched one filling its own monitor. Plasma is
// slow to start: only with VANTORIA_OPTIONAL_DESKTOPS=1
// (tests/desktops/optional-desktops.sh).

// gtest first: Xlib's macros (None, Bool) would break its headers.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "desktops/DesktopSession.h"
#include "desktops/DummyOutputs.h"
#include "platform/dib/Dib.h"
#include "platform/raster/Bitmap.h"
#include "support/TestBmp.h"

namespace vantoria::test {
namespace {

namespace fs = std::filesystem;

constexpr int kW = 101, kH = 61;
constexpr int kPanel = 120;  // rows along the bottom of the primary output left out
Rgb Pattern(int x, int y) { return {x * 2 + 1, y * 4 + 1, 200}; }

// The pictures Plasma was given, newest change only: the primary monitor's first.
std::vector<std::string> GivenPictures(const std::string& cache) {
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(cache))
        if (entry.path().extension() == ".bmp") files.push_back(entry.path().string());
    std::sort(files.begin(), files.end(), [](const std::string& a, const std::string& b) {
        return a.substr(a.rfind("-m")) < b.substr(b.rfind("-m"));
    });
    return files;
}

TEST(ScaledPlasmaTest, EachMonitorShowsItsPictureInDevicePixels) {
    if (!OptionalDesktopsWanted()) GTEST_SKIP() << "optional: tests/desktops/optional-desktops.sh";
    if (const std::string missing = MissingForDummyOutputs({"plasmashell", "kwin_x11", "xrdb"}); !missing.empty())
        GTEST_SKIP() << missing << " is not installed";
    DummyOutputsSession session({1280, 960}, {640, 480});
    ASSERT_TRUE(session.Ready()) << session.Problem();
    // As a session at 200 % has it: fonts at 192 dpi, Qt scaling each screen.
    std::ofstream(session.Dir() + "/resources") << "Xft.dpi: 192\n";
    ASSERT_EQ(session.Run("xrdb", {"-merge", session.Dir() + "/resources"}), 0);
    session.SetEnv("QT_SCREEN_SCALE_FACTORS", "DUMMY0=2;DUMMY1=2;");
    session.SetEnv("PLASMA_USE_QT_SCALING", "1");
    std::string log;
    ASSERT_TRUE(StartPlasma(session, 2, log)) << log;

    const std::string picture = session.Dir() + "/picture.bmp";
    WriteBmp24(picture, kW, kH, Pattern);
    const std::string config = session.ConfigHome() + "/vantoria";
    fs::create_directories(config);
    // On the primary monitor from the left, on the other from x = 1280.
    const struct Place {
        int x, width, height;
    } places[] = {{0, 1280, 960}, {1280, 640, 480}};
    auto shown = [&](const std::function<Rgb(int, const Place&, int, int)>& expected, std::string& first) {
        return WaitUntil(
            [&] {
                first.clear();
                const RootPixels screen = session.Screen();
                return !screen.Empty() && screen.Mismatches(
                                              [&](int x, int y) {
                                                  const int which = x < places[1].x ? 0 : 1;
                                                  const Place& p = places[which];
                                                  const bool seen = y < p.height - (which == 0 ? kPanel : 0);
                                                  return seen ? expected(which, p, x - p.x, y) : screen.At(x, y);
                                              },
                                              &first) == 0;
            },
            std::chrono::seconds(60));
    };
    std::string output, first;

    // Centred: as large as the picture on each monitor, black around it.
    std::ofstream(config + "/registry.reg")
        << "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Brightmoss\\Runo]\n"
        << "\"WallPosition\"=\"0\"\n\"WallSize\"=\"0\"\n";
    ASSERT_EQ(session.Run(VANTORIA_CHANGE_PROGRAM, {"--desktop", "kde", "--no-run", picture}, &output), 0) << output;
    EXPECT_TRUE(shown(
        [](int, const Place& p, int x, int y) {
            const int px = x - (p.width - kW) / 2, py = y - (p.height - kH) / 2;
            return px >= 0 && px < kW && py >= 0 && py < kH ? Pattern(px, py) : Rgb{};
        },
        first))
        << "centred: " << first;

    // Stretched: each monitor is given a picture of its own size, shown one to one.
    std::ofstream(config + "/registry.reg")
        << "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Brightmoss\\Runo]\n"
        << "\"WallPosition\"=\"0\"\n\"WallSize\"=\"1\"\n";
    ASSERT_EQ(session.Run(VANTORIA_CHANGE_PROGRAM, {"--desktop", "kde", "--no-run", picture}, &output), 0) << output;
    const std::vector<std::string> given = GivenPictures(session.Dir() + "/home/.cache/vantoria");
    ASSERT_EQ(given.size(), 2u);
    const raster::Bitmap pictures[] = {dib::LoadBmpFile(given[0]), dib::LoadBmpFile(given[1])};
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(pictures[i].Width(), places[i].width) << given[i];
        EXPECT_EQ(pictures[i].Height(), places[i].height) << given[i];
    }
    EXPECT_TRUE(shown(
        [&](int which, const Place&, int x, int y) {
            const std::uint8_t* p = pictures[which].ScanLine(y) + 3 * x;
            return Rgb{p[2], p[1], p[0]};
        },
        first))
        << "stretched: " << first;
}

}  // namespace
}  // namespace vantoria::test
