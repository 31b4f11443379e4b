// Which monitor the chooser is on when Qt scales the screens: Qt reports a
// window on a second screen at that screen's origin plus the scaled offset.

#include "change/ChooserMonitor.h"

#include <gtest/gtest.h>

using namespace vantoria;

TEST(ChooserMonitorTest, AScaledWindowIsFoundOnTheMonitorItIsOn) {
    const MonitorList monitors{{0, 0, 1280, 960, true, "DUMMY0", {}, {}, {}},
                               {1280, 0, 640, 480, false, "DUMMY1", {}, {}, {}}};
    // At device (1400, 100) on the second screen, twice the scale: Qt says (1340, 50).
    const WindowArea on = DeviceWindowArea({1340, 50, 200, 100}, 1280, 0, 2.0);
    EXPECT_EQ(on.x, 1400);
    EXPECT_EQ(on.y, 100);
    EXPECT_EQ(on.width, 400);
    EXPECT_EQ(on.height, 200);
    ASSERT_NE(MonitorHolding(monitors, on), nullptr);
    EXPECT_EQ(MonitorHolding(monitors, on)->name, "DUMMY1");
    // On the primary screen, from the origin, at one and a half.
    const WindowArea first = DeviceWindowArea({100, 60, 200, 100}, 0, 0, 1.5);
    EXPECT_EQ(MonitorHolding(monitors, first)->name, "DUMMY0");
    EXPECT_EQ(first.x, 150);
    EXPECT_EQ(first.width, 300);
}
