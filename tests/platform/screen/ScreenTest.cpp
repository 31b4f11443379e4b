#include "platform/screen/Monitors.h"
#include "platform/screen/Screen.h"

#include <gtest/gtest.h>
#include <cstdlib>

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
    EXPECT_THROW(vantoria::ScreenSizeFromEnvironment(), std::invalid_argument);
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
