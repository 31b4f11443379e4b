#include "platform/screen/Monitors.h"
#include "platform/screen/Screen.h"
#include "platform/screen/SwayOutputs.h"
#include "platform/desktop/DesktopTestEnv.h"
#include "support/TestBmp.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cstdlib>
#include <vector>

using vantoria::ParseScreenSize;
using vantoria::raster::ScreenSize;

TEST(ScreenTest, ParsesWidthByHeightAndRefusesEverythingElse) {
    EXPECT_EQ(ParseScreenSize("1024x768"), (ScreenSize{1024, 768}));
    EXPECT_EQ(ParseScreenSize("3840X2160"), (ScreenSize{3840, 2160}));
    EXPECT_EQ(ParseScreenSize("1x1"), (ScreenSize{1, 1}));
    for (const char* bad : {"", "x", "1024", "1024x", "x768", "0x768", "1024x0", "-1x5", "10x10x10", " 10x10",
                            "10x10 ", "99999999999x1", "70000x10", "1e3x10", "abcxdef"}) {
        EXPECT_FALSE(ParseScreenSize(bad)) << bad;
    }
}

TEST(ScreenTest, EnvironmentOverrideIsReadAndAMalformedOneIsAnError) {
    ::unsetenv("VANTORIA_SCREEN");
    EXPECT_FALSE(vantoria::ScreenSizeFromEnvironment());
    ::setenv("VANTORIA_SCREEN", "800x600", 1);
    EXPECT_EQ(vantoria::ScreenSizeFromEnvironment(), (ScreenSize{800, 600}));
    ::setenv("VANTORIA_SCREEN", "big", 1);
    EXPECT_THROW(static_cast<void>(vantoria::ScreenSizeFromEnvironment()), std::invalid_argument);
    ::unsetenv("VANTORIA_SCREEN");
}

TEST(ScreenTest, NoDisplayIsReportedNotFatal) {
    ::setenv("DISPLAY", ":9999", 1);
    std::string error;
    EXPECT_FALSE(vantoria::X11PrimaryScreenSize(error));
    EXPECT_NE(error.find(":9999"), std::string::npos);
    ::unsetenv("DISPLAY");
    EXPECT_FALSE(vantoria::X11PrimaryScreenSize(error));
    EXPECT_NE(error.find("DISPLAY"), std::string::npos);
}

TEST(ScreenTest, MonitorsAreParsedTheFirstOnePrimaryAndAnythingMalformedRefused) {
    using vantoria::Monitor;
    const auto two = vantoria::ParseMonitors("1024x768+0+0,1280X1024+1024-10");
    ASSERT_TRUE(two);
    EXPECT_EQ(*two, (vantoria::MonitorList{Monitor{0, 0, 1024, 768, true, {}, {}, {}, {}}, Monitor{1024, -10, 1280, 1024, false, {}, {}, {}, {}}}));
    EXPECT_EQ(vantoria::PrimaryMonitor(*two).Size(), (ScreenSize{1024, 768}));
    for (const char* bad : {"", ",", "1024x768", "1024x768+0", "1024x768+0+0,", "0x768+0+0", "1024x768++0+0",
                            "1024x768+0+0+0", "-1024x768+0+0", "1024x768+-5+0", "70000x10+0+0", "1024x768+0+0 ",
                            "1024x768+99999+0"}) {
        EXPECT_FALSE(vantoria::ParseMonitors(bad)) << bad;
    }
    ::setenv("VANTORIA_MONITORS", "800x600+0+0x", 1);
    EXPECT_THROW(vantoria::MonitorsFromEnvironment(), std::invalid_argument);
    ::setenv("VANTORIA_MONITORS", "800x600+0+0,640x480+800+0", 1);
    std::string error;
    EXPECT_EQ(vantoria::PrimaryScreenSize(error), (ScreenSize{800, 600}));
    ::unsetenv("VANTORIA_MONITORS");
}

// A monitor a user defined inside an output makes the output give way; one
// that shares the output's right or bottom edge is still inside it.
TEST(ScreenTest, AMonitorSharingAnEdgeIsInsideTheOutput) {
    using vantoria::Monitor;
    const Monitor output{1920, 0, 1920, 1080, false, "HDMI-1", {}, {}, {}};
    const Monitor rightHalf{2880, 0, 960, 1080, false, "right", {}, {}, {}};
    const Monitor bottomLeft{1920, 540, 960, 540, false, "low", {}, {}, {}};
    EXPECT_TRUE(vantoria::MonitorInside(rightHalf, output));
    EXPECT_TRUE(vantoria::MonitorInside(bottomLeft, output));
    EXPECT_TRUE(vantoria::MonitorInside(output, output));
    const Monitor pastRight{2881, 0, 960, 1080, false, "past", {}, {}, {}};
    const Monitor leftOfIt{1919, 0, 960, 1080, false, "left", {}, {}, {}};
    const Monitor pastBottom{1920, 541, 960, 540, false, "below", {}, {}, {}};
    EXPECT_FALSE(vantoria::MonitorInside(pastRight, output));
    EXPECT_FALSE(vantoria::MonitorInside(leftOfIt, output));
    EXPECT_FALSE(vantoria::MonitorInside(pastBottom, output));
}

#include "compose/MonitorAssignment.h"
#include "platform/screen/Edid.h"

namespace {

// A monitor's identity from its EDID: what a damaged block gives, and that
// the identity survives another port while two alike monitors stay apart.
TEST(MonitorIdentityTest, EdidAndAssignmentsByIdentity) {
    using vantoria::Monitor;
    std::vector<std::uint8_t> edid(128, 0);
    const std::uint8_t header[] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    std::copy(std::begin(header), std::end(header), edid.begin());
    edid[8] = 0x10;  // "DEL": 4, 5, 12 in five bits each
    edid[9] = 0xAC;
    edid[10] = 0x34;
    edid[11] = 0x12;
    edid[12] = 0x39;
    edid[13] = 0x30;  // serial number 12345
    const std::uint8_t name[] = {0, 0, 0, 0xFC, 0, 'U', '2', '4', '1', '5', 0x0A, ' ', ' ', ' ', ' ', ' ', ' ', ' '};
    std::copy(std::begin(name), std::end(name), edid.begin() + 54);
    vantoria::EdidIdentity id = vantoria::ParseEdid(edid);
    EXPECT_EQ(id.make, "DEL");
    EXPECT_EQ(id.model, "U2415");
    EXPECT_EQ(id.serial, "12345");
    edid[54 + 3] = 0xFF;  // the text is the serial now; the model the product code
    edid[60] = 0x01;      // unprintable
    id = vantoria::ParseEdid(edid);
    EXPECT_EQ(id.model, "1234");
    EXPECT_EQ(id.serial, "U?415");
    EXPECT_EQ(vantoria::ParseEdid({edid.data(), 127}).make, "");
    edid[1] = 0;
    EXPECT_EQ(vantoria::ParseEdid(edid).make, "");

    Monitor a{0, 0, 10, 10, true, "DP-1", "DEL", "U2415", "12345"};
    Monitor moved = a;
    moved.name = "HDMI-2";
    moved.x = 10;
    EXPECT_EQ(a.Identity(), moved.Identity());
    Monitor twin1{0, 0, 10, 10, false, "DP-1", "DEL", "U2415", ""}, twin2 = twin1;
    twin2.name = "DP-2";
    EXPECT_NE(twin1.Identity(), twin2.Identity());

    // Names with any byte survive the stored text.
    const vantoria::compose::MonitorFiles files{{"DEL/U\t1/%", "/p/a\nb%.png"}, {"DP-2", "/q.png"}};
    EXPECT_EQ(vantoria::compose::ParseMonitorFiles(vantoria::compose::FormatMonitorFiles(files)), files);
    EXPECT_TRUE(vantoria::compose::ParseMonitorFiles("junk\n\tx\n").empty());
}

}  // namespace

// A toolkit that scales the screen rounds its size to whole logical pixels:
// the device size is the primary monitor's own where that is the screen the
// toolkit scaled, else the logical size scaled back.
TEST(ScreenTest, AScaledScreenIsMeasuredInDevicePixels) {
    using vantoria::DeviceScreenSize;
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    ::unsetenv("SWAYSOCK");
    ::setenv("VANTORIA_MONITORS", "1366x768+0+0,641x480+1366+0", 1);
    EXPECT_EQ(DeviceScreenSize({911, 512}, 1.5), (ScreenSize{1366, 768}));  // 911 x 1.5 would be 1367
    EXPECT_EQ(DeviceScreenSize({683, 384}, 2.0), (ScreenSize{1366, 768}));
    EXPECT_EQ(DeviceScreenSize({1000, 700}, 1.0), (ScreenSize{1000, 700}));  // unscaled: as given
    EXPECT_EQ(DeviceScreenSize({1337, 512}, 1.5), (ScreenSize{2006, 768}));  // another screen than the primary
    ::setenv("VANTORIA_MONITORS", "bad", 1);
    EXPECT_EQ(DeviceScreenSize({911, 512}, 1.5), (ScreenSize{1367, 768}));
    ::unsetenv("VANTORIA_MONITORS");
    EXPECT_EQ(DeviceScreenSize({911, 512}, 1.5), (ScreenSize{1367, 768}));  // nothing else to ask
}

// sway places its outputs in logical pixels: an output at twice the scale
// takes half its mode there. In device pixels the one beside it starts where
// the scaled output's mode ends, not halfway across it.
TEST(ScreenTest, ScaledSwayOutputsLieSideBySideInDevicePixels) {
    const vantoria::test::TempDir dir;
    const vantoria::test::StandIns tools(dir.Path());
    tools.Add("swaymsg", 0,
              R"([{"name": "HEADLESS-1", "active": true, "scale": 2.0, "rect": {"x": 0, "y": 0, "width": 400, "height": 300},
                   "current_mode": {"width": 800, "height": 600}},
                  {"name": "HEADLESS-2", "active": true, "scale": 1.0, "rect": {"x": 400, "y": 10, "width": 320, "height": 240},
                   "current_mode": {"width": 320, "height": 240}}])");
    std::string why;
    const auto outputs = vantoria::SwayOutputs(why);
    ASSERT_TRUE(outputs) << why;
    ASSERT_EQ(outputs->size(), 2u);
    EXPECT_EQ((*outputs)[0], (vantoria::Monitor{0, 0, 800, 600, true, "HEADLESS-1", {}, {}, {}}));
    EXPECT_EQ((*outputs)[1], (vantoria::Monitor{800, 20, 320, 240, false, "HEADLESS-2", {}, {}, {}}));
}
