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

bool Wanted() {
    const char* optional = std::getenv("VANTORIA_OPTIONAL_DESKTOPS");
    return optional && std::string(optional) == "1";
}

class ShellSession {
public:
    explicit ShellSession(const std::string& desktop) {
        fb_ = dir_.Path() + "/fb";
        const std::string home = dir_.Path() + "/home", run = dir_.Path() + "/run";
        for (const std::string& d : {fb_, home + "/.config", run}) std::filesystem::create_directories(d);
        std::filesystem::permissions(run, std::filesystem::perms::owner_all);
        int display = 0;
        for (int n = 100 + static_cast<int>(::getpid() % 800);; n = 100 + (n - 99) % 900)
            if (!std::filesystem::exists("/tmp/.X" + std::to_string(n) + "-lock")) {
                display = n;
                break;
            }
        x_ = std::make_unique<Child>(FindProgram("Xvfb"),
                                     std::vector<std::string>{":" + std::to_string(display), "-screen", "0",
                                                              std::to_string(kSW) + "x" + std::to_string(kSH) + "x24",
                                                              "-fbdir", fb_, "-nolisten", "tcp", "+extension", "GLX"},
                                     std::map<std::string, std::string>{}, dir_.Path());
        // The shells ask logind and others over the system bus: a private one.
        const std::string socket = dir_.Path() + "/system_bus_socket";
        std::ofstream(dir_.Path() + "/system.conf")
            << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
            << " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n<busconfig><type>system</type>"
            << "<listen>unix:path=" << socket << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
            << "<allow user=\"*\"/><allow own=\"*\"/><allow send_destination=\"*\"/><allow receive_sender=\"*\"/>"
            << "</policy></busconfig>\n";
        env_ = {{"DISPLAY", ":" + std::to_string(display)},
                {"HOME", home},
                {"XDG_CONFIG_HOME", home + "/.config"},
                {"XDG_DATA_HOME", home + "/.local/share"},
                {"XDG_CACHE_HOME", home + "/.cache"},
                {"XDG_RUNTIME_DIR", run},
                {"XDG_CURRENT_DESKTOP", desktop},
                {"XDG_SESSION_TYPE", "x11"},
                {"DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + socket},
                {"NO_AT_BRIDGE", "1"},
                {"GTK_A11Y", "none"},
                {"QT_QPA_PLATFORM", "xcb"},
                {"VANTORIA_SCREEN", std::to_string(kSW) + "x" + std::to_string(kSH)}};
        systemBus_ = std::make_unique<Child>(
            FindProgram("dbus-daemon"),
            std::vector<std::string>{"--config-file=" + dir_.Path() + "/system.conf", "--nofork"}, env_, dir_.Path());
        sessionBus_ = std::make_unique<Child>(
            FindProgram("dbus-daemon"), std::vector<std::string>{"--session", "--nofork", "--print-address=1"}, env_,
            dir_.Path());
        WaitUntil([&] {
            sessionBus_->Running();
            const std::string out = sessionBus_->Output();
            if (out.find('\n') == std::string::npos) return false;
            env_["DBUS_SESSION_BUS_ADDRESS"] = out.substr(0, out.find('\n'));
            return true;
        });
        WaitUntil([&] { return std::filesystem::exists(socket) && std::filesystem::exists(fb_ + "/Xvfb_screen0"); });
    }
    ~ShellSession() {
        for (auto it = programs_.rbegin(); it != programs_.rend(); ++it) (*it)->Signal(SIGKILL), (*it)->Wait();
        KillStarted();
        for (auto* child : {sessionBus_.get(), systemBus_.get(), x_.get()}) child->Signal(SIGKILL), child->Wait();
        KillStarted();
    }

    // The shells start helpers of their own, through the bus or directly,
    // that outlive them; each carries this session's private runtime folder.
    void KillStarted() const { KillProcessesOfRuntime(env_.at("XDG_RUNTIME_DIR")); }

    Child& Start(const std::string& program, const std::vector<std::string>& args) {
        programs_.push_back(std::make_unique<Child>(FindProgram(program), args, env_, dir_.Path()));
        return *programs_.back();
    }
    int Run(const std::string& program, const std::vector<std::string>& args, std::string* output = nullptr) {
        Child child(program.starts_with("/") ? program : FindProgram(program), args, env_, dir_.Path());
        const auto code = child.Wait(60s);
        if (output) *output = child.Output();
        return code.value_or(-1);
    }
    const std::string& Dir() const { return dir_.Path(); }

    // The screen as shown, from Xvfb's frame-buffer file.
    std::vector<Rgb> Screen() {
        for (auto& program : programs_) program->Running();
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
    TempDir dir_;
    std::string fb_;
    std::map<std::string, std::string> env_;
    std::unique_ptr<Child> x_, systemBus_, sessionBus_;
    std::vector<std::unique_ptr<Child>> programs_;
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
    if (!Wanted()) GTEST_SKIP() << "optional: tests/desktops/optional-desktops.sh";
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
    if (!Wanted()) GTEST_SKIP() << "optional: tests/desktops/optional-desktops.sh";
    if (const std::string missing = MissingProgram({"plasmashell", "kwin_x11", "Xvfb", "dbus-daemon", "xdotool", "convert"});
        !missing.empty())
        GTEST_SKIP() << missing << " is not installed";
    ShellSession shell("KDE");
    shell.Start("kwin_x11", {"--replace"});
    Child& plasma = shell.Start("plasmashell", {"--no-respawn"});
    // Ready once it answers scripts.
    ASSERT_TRUE(WaitUntil(
        [&] {
            std::string out;
            return plasma.Running() &&
                   shell.Run("dbus-send", {"--session", "--print-reply", "--dest=org.kde.plasmashell",
                                           "/PlasmaShell", "org.kde.PlasmaShell.evaluateScript",
                                           "string:print(desktops().length)"},
                             &out) == 0 &&
                   out.find("string \"1") != std::string::npos;
        },
        120s))
        << plasma.Output();
    // The pointer rests on the panel along the bottom, which is left out.
    std::this_thread::sleep_for(3s);
    shell.Run("xdotool", {"mousemove", std::to_string(kSW / 2), std::to_string(kSH - 10)});
    CentredAndTiled(shell, "kde", {0, kSH - 50});
}

}  // namespace
}  // namespace vantoria::test
