// The tray program with real panels as the only tray host: lxqt-panel with
// only its status-notifier plug-in (StatusNotifierItem, nothing else),
// started before the program and after it; xfce4-panel's notification area;
// and waybar on a headless sway without Xwayland, the program running
// natively on Wayland. On each the icon registers within 5 s, a double click
// redraws and opens no chooser, a single click opens it, the icon comes back
// when the panel is killed and started again, and Exit saves the settings.

// gtest first: Xlib's macros (None, Bool) would break its headers.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "app/X11Windows.h"
#include "desktops/DesktopSession.h"
#include "desktops/HeadlessSway.h"
#include "support/Child.h"
#include "support/TestBmp.h"

namespace vantoria::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr const char* kChooser = "壁紙の選択";
constexpr auto kRegisterLimit = 5s;

// The registry of a user who chose a small red picture, centred.
void WriteSettings(const std::string& configHome, const std::string& picture) {
    std::filesystem::create_directories(configHome + "/vantoria");
    std::ofstream(configHome + "/vantoria/registry.reg")
        << "Windows Registry Editor Version 5.00\n\n"
        << "[HKEY_CURRENT_USER\\Software\\Brightmoss\\Runo]\n"
        << "\"WallPaper\"=\"" << picture << "\"\n\"WallPosition\"=\"0\"\n\"NoRunAp\"=\"1\"\n";
}

// What Exit writes beyond the few values the test stored.
bool SavedAtExit(const std::string& configHome) {
    const std::string reg = ReadFile(configHome + "/vantoria/registry.reg");
    return reg.find("\"BtnFlat\"=") != std::string::npos && reg.find("\"ChgWallWindow_Left\"=") != std::string::npos;
}

// The items a StatusNotifierWatcher knows, as gdbus prints them ("" when none).
std::string RegisteredItems(const std::function<std::string(const std::vector<std::string>&)>& gdbus) {
    const std::string out = gdbus({"call", "--session", "-d", "org.kde.StatusNotifierWatcher", "-o",
                                   "/StatusNotifierWatcher", "-m", "org.freedesktop.DBus.Properties.Get",
                                   "org.kde.StatusNotifierWatcher", "RegisteredStatusNotifierItems"});
    return out.find("/StatusNotifierItem") != std::string::npos ? out : "";
}

// ---------------------------------------------------------------- X11 panels

class X11PanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(session_.Ready()) << "no Xvfb or no session bus";
        WriteBmp24(session_.Dir() + "/picture.bmp", 8, 8, [](int, int) { return Rgb{0xC8, 0x1E, 0x1E}; });
        WriteSettings(session_.ConfigHome(), session_.Dir() + "/picture.bmp");
        session_.SetEnv("VANTORIA_DESKTOP", "x11");
    }

    std::string Gdbus(const std::vector<std::string>& args) {
        std::string out;
        session_.Run("gdbus", args, &out);
        return out;
    }
    std::string Items() {
        return RegisteredItems([this](const std::vector<std::string>& a) { return Gdbus(a); });
    }
    void Xdo(const std::vector<std::string>& args) { session_.Run("xdotool", args); }

    // Where the panel shows our icon: the middle of its sky-blue pixels in
    // the top strip of the screen.
    std::optional<std::pair<int, int>> IconOnScreen() {
        const RootPixels screen = session_.Screen();
        if (screen.Empty()) return std::nullopt;
        int left = 1 << 20, right = -1, top = 1 << 20, bottom = -1;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < DesktopSession::kWidth; ++x) {
                const Rgb c = screen.At(x, y);
                if (std::abs(c.r - 0x8f) < 12 && std::abs(c.g - 0xd3) < 12 && std::abs(c.b - 0xff) < 12) {
                    left = std::min(left, x), right = std::max(right, x);
                    top = std::min(top, y), bottom = std::max(bottom, y);
                }
            }
        if (right < 0 || right - left > 64) return std::nullopt;
        return std::make_pair((left + right) / 2, (top + bottom) / 2);
    }
    std::pair<int, int> WaitForIcon() {
        std::optional<std::pair<int, int>> at;
        EXPECT_TRUE(WaitUntil([&] { return (at = IconOnScreen()).has_value(); }, 10s)) << "no icon on the panel";
        return at.value_or(std::make_pair(0, 0));
    }
    void Click(std::pair<int, int> at, const std::vector<std::string>& how) {
        std::vector<std::string> args = {"mousemove", std::to_string(at.first), std::to_string(at.second), "click"};
        args.insert(args.end(), how.begin(), how.end());
        Xdo(args);
    }
    bool ChooserShown() { return FindMappedWindow(session_.X(), kChooser).has_value(); }

    // A double click redraws and opens no chooser; a single click opens it.
    void ClicksOn(std::pair<int, int> icon, Child& app) {
        const std::string buffer = session_.Dir() + "/Runo.bmp";
        std::filesystem::remove(buffer);
        Click(icon, {"--repeat", "2", "--delay", "80", "1"});
        EXPECT_TRUE(WaitUntil([&] { return std::filesystem::exists(buffer); }, 10s)) << app.Output();
        // A single click would act once the double-click interval is over.
        std::this_thread::sleep_for(1200ms);
        EXPECT_FALSE(ChooserShown()) << "a double click opened the chooser";

        Click(icon, {"1"});
        const std::optional<Window> chooser = [&] {
            std::optional<Window> found;
            WaitUntil([&] { return (found = FindMappedWindow(session_.X(), kChooser)).has_value(); }, 10s);
            return found;
        }();
        ASSERT_TRUE(chooser) << "a single click opened no chooser";
        EXPECT_TRUE(HasIconOfAtLeast(*chooser, 32));
        EXPECT_TRUE(WaitUntil(
            [&] {
                Xdo({"windowfocus", "--sync", std::to_string(*chooser)});
                Xdo({"key", "Escape"});
                return WaitUntil([&] { return !ChooserShown(); }, 1s);
            },
            10s));
    }

    // _NET_WM_ICON holds a picture at least `size` pixels wide.
    bool HasIconOfAtLeast(Window window, long size) {
        const Atom property = XInternAtom(session_.X(), "_NET_WM_ICON", False);
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(session_.X(), window, property, 0, 1 << 20, False, XA_CARDINAL, &type, &format, &count,
                               &after, &data) != Success ||
            !data)
            return false;
        const auto* values = reinterpret_cast<const long*>(data);  // format 32 arrives as longs
        bool found = false;
        for (unsigned long i = 0; i + 1 < count;) {
            const long w = values[i], h = values[i + 1];
            if (w >= size && h >= size) found = true;
            i += 2 + static_cast<unsigned long>(w * h);
        }
        XFree(data);
        return found;
    }

    // Exit from the panel's own menu.
    void ExitFromMenu(std::pair<int, int> icon, Child& app) {
        EXPECT_TRUE(WaitUntil(
            [&] {
                if (!app.Running()) return true;
                Click(icon, {"3"});
                std::this_thread::sleep_for(500ms);
                Xdo({"key", "e"});
                return WaitUntil([&] { return !app.Running(); }, 1500ms);
            },
            20s));
        EXPECT_EQ(app.Wait(), 0) << app.Output();
        EXPECT_TRUE(SavedAtExit(session_.ConfigHome()));
    }

    Child& StartApp() { return session_.Start(VANTORIA_PROGRAM, {}); }

    DesktopSession session_;
};

class LxqtPanelTest : public X11PanelTest {
protected:
    void SetUp() override {
        if (const std::string missing = MissingProgram({"lxqt-panel", "gdbus", "xdotool"}); !missing.empty())
            GTEST_SKIP() << missing << " is not installed";
        X11PanelTest::SetUp();
        // One panel with nothing but the status-notifier plug-in.
        std::filesystem::create_directories(session_.ConfigHome() + "/lxqt");
        std::ofstream(session_.ConfigHome() + "/lxqt/panel.conf")
            << "[General]\npanels=panel1\n\n[panel1]\nplugins=statusnotifier\nposition=Top\n\n"
            << "[statusnotifier]\ntype=statusnotifier\n";
    }
    Child& StartPanel() {
        Child& panel = session_.Start("lxqt-panel", {});
        EXPECT_TRUE(WaitUntil([&] { return Gdbus({"call", "--session", "-d", "org.kde.StatusNotifierWatcher", "-o",
                                                  "/StatusNotifierWatcher", "-m", "org.freedesktop.DBus.Peer.Ping"})
                                               .find("()") != std::string::npos; },
                              20s))
            << panel.Output();
        return panel;
    }
};

TEST_F(LxqtPanelTest, StartedBeforeTheProgram) {
    Child* panel = &StartPanel();
    const auto start = Clock::now();
    Child& app = StartApp();
    ASSERT_TRUE(WaitUntil([&] { return !Items().empty(); }, kRegisterLimit)) << app.Output();
    RecordProperty("registered_ms", std::to_string((Clock::now() - start) / 1ms));
    const auto icon = WaitForIcon();
    ClicksOn(icon, app);

    // The panel killed and started again: the icon is registered again.
    panel->Signal(SIGKILL);
    panel->Wait();
    ASSERT_TRUE(WaitUntil([&] { return Items().empty(); }, 10s));
    panel = &StartPanel();
    const auto restart = Clock::now();
    EXPECT_TRUE(WaitUntil([&] { return !Items().empty(); }, kRegisterLimit)) << app.Output();
    RecordProperty("reregistered_ms", std::to_string((Clock::now() - restart) / 1ms));
    ExitFromMenu(WaitForIcon(), app);
}

TEST_F(LxqtPanelTest, StartedAfterTheProgram) {
    Child& app = StartApp();
    // No host yet: the user is told so.
    ASSERT_TRUE(WaitUntil([&] { return FindMappedDialog(session_.X(), "Vantoria").has_value(); }, 20s))
        << app.Output();
    session_.Start("lxqt-panel", {});
    const auto start = Clock::now();
    ASSERT_TRUE(WaitUntil([&] { return !Items().empty(); }, 20s)) << app.Output();
    const auto took = Clock::now() - start;
    RecordProperty("registered_ms", std::to_string(took / 1ms));
    // The panel's own start is most of that; the program answers a host
    // within 2 s of its appearance.
    EXPECT_LT(took, kRegisterLimit);
    EXPECT_TRUE(WaitUntil([&] { return !FindMappedDialog(session_.X(), "Vantoria"); }, 5s));
    const auto icon = WaitForIcon();
    ClicksOn(icon, app);
    ExitFromMenu(icon, app);
}

class XfcePanelTest : public X11PanelTest {
protected:
    void SetUp() override {
        if (const std::string missing = MissingProgram({"xfce4-panel", "gdbus", "xdotool"}); !missing.empty())
            GTEST_SKIP() << missing << " is not installed";
        X11PanelTest::SetUp();
        // One panel at the top with nothing but the notification area.
        const std::string channels = session_.ConfigHome() + "/xfce4/xfconf/xfce-perchannel-xml";
        std::filesystem::create_directories(channels);
        std::ofstream(channels + "/xfce4-panel.xml")
            << R"(<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="30"/>
      <property name="plugin-ids" type="array"><value type="int" value="1"/></property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="systray"/>
  </property>
</channel>
)";
    }
    Child& StartPanel() { return session_.Start("xfce4-panel", {"--disable-wm-check"}); }
};

TEST_F(XfcePanelTest, NotificationArea) {
    Child* panel = &StartPanel();
    Child& app = StartApp();
    const auto start = Clock::now();
    const auto icon = WaitForIcon();
    RecordProperty("shown_ms", std::to_string((Clock::now() - start) / 1ms));
    ClicksOn(icon, app);

    panel->Signal(SIGKILL);
    panel->Wait();
    // The plug-in runs in a process of its own that ends with the panel.
    ASSERT_TRUE(WaitUntil([&] { return !IconOnScreen(); }, 10s));
    panel = &StartPanel();
    ExitFromMenu(WaitForIcon(), app);
}

// ------------------------------------------------------- waybar on sway

// sway refuses to run as root: the compositor, the bar, the bus and the
// program run as an unprivileged user. waybar gets no pointer on a headless
// output, so the test makes the calls waybar makes for a click: one Activate
// for a single click, three for a double click (press, press, double-press).
class WaybarTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string missing =
                MissingProgram({"sway", "waybar", "swaybg", "swaymsg", "grim", "setpriv", "dbus-daemon", "gdbus"});
            !missing.empty())
            GTEST_SKIP() << missing << " is not installed";
        ::chmod(dir_.Path().c_str(), 0711);
        home_ = dir_.Path() + "/home";
        run_ = dir_.Path() + "/run";
        const std::string config = home_ + "/config-home";
        for (const std::string& d : {home_, run_, config + "/waybar", home_ + "/start"})
            std::filesystem::create_directories(d);
        std::ofstream(home_ + "/sway.conf") << "xwayland disable\noutput HEADLESS-1 mode 640x480\n";
        std::ofstream(config + "/waybar/config")
            << R"({ "layer": "top", "position": "top", "height": 30, "modules-left": ["tray"] })";
        WriteBmp24(home_ + "/picture.bmp", 8, 8, [](int, int) { return Rgb{0xC8, 0x1E, 0x1E}; });
        WriteSettings(config, home_ + "/picture.bmp");
        program_ = CopyWithDecodeHelper(VANTORIA_PROGRAM, dir_.Path());  // a copy the other user can reach
        for (const auto& entry : std::filesystem::recursive_directory_iterator(home_))
            ASSERT_EQ(::lchown(entry.path().c_str(), kNobodyId, kNobodyId), 0);
        for (const std::string& d : {home_, run_}) {
            ASSERT_EQ(::chown(d.c_str(), kNobodyId, kNobodyId), 0);
            ::chmod(d.c_str(), 0700);
        }
        env_ = HeadlessSwayEnv(home_, config, run_);
        env_.insert({{"QT_QPA_PLATFORM", ""},  // the program chooses by itself
                     {"NO_AT_BRIDGE", "1"},
                     {"VANTORIA_DESKTOP", "sway"}});
        std::vector<std::string> setpriv = AsNobody({});
        setpriv.insert(setpriv.begin(), FindProgram("setpriv"));
        bus_ = std::make_unique<SessionBus>(env_, home_, setpriv);
        ASSERT_FALSE(bus_->Address().empty()) << bus_->Output();
        env_["DBUS_SESSION_BUS_ADDRESS"] = bus_->Address();
        sway_ = Start({FindProgram("sway"), "-c", home_ + "/sway.conf"});
        ASSERT_TRUE(WaitForSwaySockets(*sway_, run_, env_)) << sway_->Output();
    }
    void TearDown() override {
        // The programs before their compositor and bus.
        for (auto* child : {app_.get(), bar_.get(), sway_.get()})
            if (child && child->Running()) child->Signal(SIGKILL), child->Wait();
        bus_.reset();
    }

    std::unique_ptr<Child> Start(const std::vector<std::string>& command, const std::string& dir = "") {
        return std::make_unique<Child>(FindProgram("setpriv"), AsNobody(command), env_, dir.empty() ? home_ : dir);
    }
    std::string Run(const std::vector<std::string>& command) {
        auto child = Start(command);
        child->Wait();
        return child->Output();
    }
    std::string Gdbus(std::vector<std::string> args) {
        args.insert(args.begin(), FindProgram("gdbus"));
        return Run(args);
    }
    std::string Items() {
        return RegisteredItems([this](const std::vector<std::string>& a) { return Gdbus(a); });
    }
    // The bus name of our item, from the watcher's list.
    std::string ItemOwner() {
        std::smatch m;
        const std::string items = Items();
        return std::regex_search(items, m, std::regex("'(:[0-9.]+)/StatusNotifierItem'")) ? m[1].str() : "";
    }
    void Activate(const std::string& owner) {
        Gdbus({"call", "--session", "-d", owner, "-o", "/StatusNotifierItem", "-m", "org.kde.StatusNotifierItem.Activate",
               "10", "10"});
    }
    bool ChooserShown() {
        return Run({FindProgram("swaymsg"), "-t", "get_tree"}).find(std::string("\"name\": \"") + kChooser + "\"") !=
               std::string::npos;
    }
    void StartBar() { bar_ = Start({FindProgram("waybar")}); }
    // The middle of the output as grim reads it (a binary PPM).
    Rgb CentrePixel() {
        const std::string shot = home_ + "/shot.ppm";
        Run({FindProgram("grim"), "-t", "ppm", shot});
        std::ifstream in(shot, std::ios::binary);
        std::string magic;
        int w = 0, h = 0, max = 0;
        in >> magic >> w >> h >> max;
        in.get();
        if (magic != "P6" || w <= 0 || h <= 0) return {};
        in.seekg(static_cast<std::streamoff>((static_cast<long>(h) / 2 * w + w / 2) * 3), std::ios::cur);
        unsigned char rgb[3] = {};
        in.read(reinterpret_cast<char*>(rgb), 3);
        return {rgb[0], rgb[1], rgb[2]};
    }

    TempDir dir_;
    std::string home_, run_, program_;
    std::map<std::string, std::string> env_;
    std::unique_ptr<SessionBus> bus_;
    std::unique_ptr<Child> sway_, bar_, app_;
};

TEST_F(WaybarTest, ProgramOnWaylandWithWaybarsTray) {
    StartBar();
    ASSERT_TRUE(WaitUntil([&] { return Gdbus({"call", "--session", "-d", "org.kde.StatusNotifierWatcher", "-o",
                                              "/StatusNotifierWatcher", "-m", "org.freedesktop.DBus.Peer.Ping"})
                                           .find("()") != std::string::npos; },
                          20s))
        << bar_->Output();
    app_ = Start({program_}, home_ + "/start");
    const auto start = Clock::now();
    ASSERT_TRUE(WaitUntil([&] { return !ItemOwner().empty(); }, kRegisterLimit)) << app_->Output();
    RecordProperty("registered_ms", std::to_string((Clock::now() - start) / 1ms));
    const std::string owner = ItemOwner();

    // A double click: redrawn, through swaybg, and no chooser.
    const std::string buffer = home_ + "/start/Runo.bmp";
    for (int i = 0; i < 3; ++i) {
        Activate(owner);
        if (i < 2) std::this_thread::sleep_for(150ms);
    }
    EXPECT_TRUE(WaitUntil([&] { return std::filesystem::exists(buffer); }, 10s)) << app_->Output();
    EXPECT_TRUE(WaitUntil([&] { return CentrePixel() == Rgb{0xC8, 0x1E, 0x1E}; }, 10s)) << "not on the screen";
    std::this_thread::sleep_for(1200ms);
    EXPECT_FALSE(ChooserShown()) << "a double click opened the chooser";

    // A single click: the chooser, a native Wayland window.
    Activate(owner);
    EXPECT_TRUE(WaitUntil([&] { return ChooserShown(); }, 10s)) << app_->Output();

    // The bar killed and started again.
    bar_->Signal(SIGKILL);
    bar_->Wait();
    StartBar();
    const auto restart = Clock::now();
    EXPECT_TRUE(WaitUntil([&] { return !ItemOwner().empty(); }, kRegisterLimit + 5s)) << app_->Output();
    RecordProperty("reregistered_ms", std::to_string((Clock::now() - restart) / 1ms));

    // Exit from the item's menu, as waybar sends a menu click.
    const std::string layout = Gdbus({"call", "--session", "-d", owner, "-o", "/MenuBar", "-m",
                                      "com.canonical.dbusmenu.GetLayout", "--", "0", "-1", "@as []"});
    std::smatch exit;
    ASSERT_TRUE(std::regex_search(layout, exit, std::regex(R"(\((\d+), \{[^}]*'label': <'終了)"))) << layout;
    Gdbus({"call", "--session", "-d", owner, "-o", "/MenuBar", "-m", "com.canonical.dbusmenu.Event", "--", exit[1].str(),
           "clicked", "<0>", "0"});
    EXPECT_EQ(app_->Wait(10s), 0) << app_->Output();
    EXPECT_TRUE(SavedAtExit(home_ + "/config-home"));
}

}  // namespace
}  // namespace vantoria::test
