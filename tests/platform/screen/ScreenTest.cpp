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
