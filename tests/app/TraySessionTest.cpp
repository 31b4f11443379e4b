// What a real session needs of the tray program beyond the forms: the tray
// clicks of hosts that repeat themselves, the icon sizes, and the choice of
// Qt's platform with its one-line failure.

#include "app/AppIcon.h"
#include "app/DisplayCheck.h"
#include "app/ScreenWatch.h"
#include "app/FormTestEnv.h"
#include "app/TrayClicks.h"

#include <QTimer>
#include <chrono>

using namespace vantoria;
using namespace vantoria::test;

namespace {

void Wait(int ms) {
    bool passed = false;
    QTimer::singleShot(ms, [&] { passed = true; });
    while (!passed) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
}

TEST(TraySessionTest, TheThirdActivationOfAWaybarDoubleClickBelongsToIt) {
    EnsureApplication();
    TrayClicks clicks(400);
    int singles = 0, doubles = 0;
    QObject::connect(&clicks, &TrayClicks::singleClick, [&] { ++singles; });
    QObject::connect(&clicks, &TrayClicks::doubleClick, [&] { ++doubles; });

    // press, press, double-press, about 200 ms apart: one double click.
    clicks.Activated(QSystemTrayIcon::Trigger);
    Wait(150);
    clicks.Activated(QSystemTrayIcon::Trigger);
    Wait(150);
    clicks.Activated(QSystemTrayIcon::Trigger);
    Wait(700);
    EXPECT_EQ(doubles, 1);
    EXPECT_EQ(singles, 0);

    // Once the interval after it is over, a click is a click again.
    clicks.Activated(QSystemTrayIcon::Trigger);
    Wait(700);
    EXPECT_EQ(singles, 1);
    EXPECT_EQ(doubles, 1);
}

TEST(TraySessionTest, TheIconOffersEveryShippedSizeAndTheWaylandPlatformIsChosenOnlyWithoutX) {
    EnsureApplication();
    const QList<QSize> sizes = AppIcon().availableSizes();
    for (const int size : {16, 22, 24, 32, 48, 64}) EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
    EXPECT_EQ(AppIcon().pixmap(64).width(), 64);

    EXPECT_EQ(ChoosePlatform(nullptr, "wayland-1", nullptr, false), "wayland");
    EXPECT_EQ(ChoosePlatform(nullptr, "wayland-1", "", false), "wayland");
    EXPECT_EQ(ChoosePlatform(nullptr, "wayland-1", ":0", false), "");  // Xwayland: Qt's own choice
    EXPECT_EQ(ChoosePlatform("xcb", "wayland-1", nullptr, false), "");
    EXPECT_EQ(ChoosePlatform(nullptr, "wayland-1", nullptr, true), "");
    EXPECT_EQ(ChoosePlatform(nullptr, nullptr, ":0", false), "");

    char name[] = "vantoria", debug[] = "/debug";
    char* argv[] = {name, debug, nullptr};
    std::string platform = "wayland";
    const std::vector<char*> args = ArgumentsWithPlatform(2, argv, platform);
    ASSERT_EQ(args.size(), 5u);
    EXPECT_STREQ(args[1], "-platform");
    EXPECT_STREQ(args[2], "wayland");
    EXPECT_STREQ(args[3], "/debug");
    EXPECT_EQ(args[4], nullptr);
    EXPECT_TRUE(HasPlatformArgument(3, const_cast<char**>(args.data())));
    EXPECT_FALSE(HasPlatformArgument(2, argv));
}

TEST(TraySessionTest, NoDisplayIsExplainedInOneLineThatSaysWhatIsMissing) {
    const QByteArrayList noWayland = {"Could not find the Qt platform plugin \"wayland\" in \"\"",
                                      "This application failed to start"};
    EXPECT_EQ(StartFailureLine(noWayland, "wayland-1", nullptr),
              "vantoria: cannot open the display (Qt's Wayland platform plug-in is missing; on Debian: apt install "
              "qt6-wayland)");
    const QByteArrayList noServer = {"could not connect to display :5",
                                     "Could not load the Qt platform plugin \"xcb\" in \"\" even though it was found."};
    EXPECT_EQ(StartFailureLine(noServer, nullptr, ":5"), "vantoria: cannot open the display (could not connect to display :5)");
    const std::string none = StartFailureLine({}, nullptr, "");
    EXPECT_NE(none.find("neither WAYLAND_DISPLAY nor DISPLAY"), std::string::npos) << none;
    EXPECT_EQ(none.find('\n'), std::string::npos);
}

}  // namespace

namespace vantoria::test {
namespace {

// The layout a redraw was made for is the one the next signal is compared
// with: docking redraws, and so does undocking back to the start-up layout;
// a signal that leaves the monitors as they were redraws nothing.
TEST(ScreenWatchTest, AReturnToTheStartUpLayoutIsRedrawn) {
    EnsureApplication();
    const QList<QRect> alone{QRect(0, 0, 1024, 768), QRect(0, 0, 1024, 768)};
    const QList<QRect> docked{QRect(0, 0, 1024, 768), QRect(0, 0, 1024, 768), QRect(1024, 0, 1920, 1080)};
    QList<QRect> now = alone;
    int redraws = 0;
    ScreenWatch watch([&] { ++redraws; }, nullptr, std::chrono::milliseconds(0), [&] { return now; });
    auto settle = [&] {
        watch.LayoutMayHaveChanged();
        while (watch.Settling()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    };
    now = docked;
    settle();
    EXPECT_EQ(redraws, 1);
    now = alone;
    settle();
    EXPECT_EQ(redraws, 2);
    settle();
    EXPECT_EQ(redraws, 2);
}

}  // namespace
}  // namespace vantoria::test
