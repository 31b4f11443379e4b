#pragma once
// Private desktop sessions for end-to-end tests on real desktop programs:
// an X server, D-Bus buses of their own, and private HOME and XDG folders,
// so nothing of the machine's own desktop is read or changed.

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "desktops/RootPixels.h"
#include "platform/desktop/XvfbServer.h"
#include "support/Child.h"

namespace vantoria::test {

// Ends every process whose environment carries this runtime folder: the
// helpers a shell starts, through the bus or directly, outlive it.
inline void KillProcessesOfRuntime(const std::string& runtimeDir) {
    const std::string mark = "XDG_RUNTIME_DIR=" + runtimeDir;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream in(entry.path() / "environ", std::ios::binary);
        for (std::string var; std::getline(in, var, '\0');)
            if (var == mark) {
                ::kill(std::stoi(name), SIGKILL);
                break;
            }
    }
}

// A copy of `program` in `dir` that another user can run (a build tree under
// /root is closed to them), with the decode helper it runs every decode in
// beside it, where it looks for it. Returns the copy's path.
inline std::string CopyWithDecodeHelper(const std::string& program, const std::string& dir) {
    namespace fs = std::filesystem;
    const fs::path from(program);
    const std::string copy = (fs::path(dir) / from.filename()).string();
    const std::string helper = (fs::path(dir) / "vantoria-decode").string();
    fs::copy_file(from, copy, fs::copy_options::overwrite_existing);
    fs::copy_file(from.parent_path() / "vantoria-decode", helper, fs::copy_options::overwrite_existing);
    fs::permissions(copy, fs::perms(0755));
    fs::permissions(helper, fs::perms(0755));
    return copy;
}

// The full path of `name` on PATH, or "" when it is not installed.
inline std::string FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "/usr/bin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        const std::filesystem::path candidate = std::filesystem::path(dir) / name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
    }
    return "";
}

// The first of `names` that is not installed, or "" when all are.
inline std::string MissingProgram(const std::vector<std::string>& names) {
    for (const std::string& name : names)
        if (FindProgram(name).empty()) return name;
    return "";
}

// A display number no X server uses now, from a start that differs between
// test processes run at once.
inline int FreeDisplayNumber() {
    for (int n = 100 + static_cast<int>(::getpid() % 800);; n = 100 + (n - 99) % 900)
        if (!std::filesystem::exists("/tmp/.X" + std::to_string(n) + "-lock") &&
            !std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n)))
            return n;
}

// A private session bus; `env` is the environment of the services it starts.
// `through`: a command that runs the daemon, with its arguments (setpriv
// for another user), or none.
class SessionBus {
public:
    SessionBus(const std::map<std::string, std::string>& env, const std::string& dir,
               const std::vector<std::string>& through = {})
        : daemon_(through.empty() ? FindProgram("dbus-daemon") : through.front(), Arguments(through), env, dir) {
        // It prints its address once it listens.
        WaitUntil([&] {
            const bool running = daemon_.Running();
            if (const auto end = daemon_.Output().find('\n'); end != std::string::npos) {
                address_ = daemon_.Output().substr(0, end);
                return true;
            }
            return !running;
        });
    }
    // "" when it did not start.
    const std::string& Address() const { return address_; }
    const std::string& Output() const { return daemon_.Output(); }

private:
    static std::vector<std::string> Arguments(const std::vector<std::string>& through) {
        std::vector<std::string> args;
        if (!through.empty()) {
            args.assign(through.begin() + 1, through.end());
            args.push_back(FindProgram("dbus-daemon"));
        }
        args.insert(args.end(), {"--session", "--nofork", "--print-address=1"});
        return args;
    }
    Child daemon_;
    std::string address_;
};

// A private system bus that lets everyone own and call every name: the
// shells ask logind and others over it.
class SystemBus {
public:
    explicit SystemBus(const std::string& dir) : socket_(dir + "/system_bus_socket") {
        std::ofstream(dir + "/system.conf")
            << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
            << " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n<busconfig><type>system</type>"
            << "<listen>unix:path=" << socket_ << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
            << "<allow user=\"*\"/><allow own=\"*\"/><allow send_destination=\"*\"/><allow receive_sender=\"*\"/>"
            << "</policy></busconfig>\n";
        daemon_ = std::make_unique<Child>(FindProgram("dbus-daemon"),
                                          std::vector<std::string>{"--config-file=" + dir + "/system.conf", "--nofork"},
                                          std::map<std::string, std::string>{}, dir);
        WaitUntil([&] { return std::filesystem::exists(socket_) || !daemon_->Running(); });
    }
    std::string Address() const { return "unix:path=" + socket_; }

private:
    std::string socket_;
    std::unique_ptr<Child> daemon_;
};

// What every private desktop session holds: private HOME and XDG folders,
// the environment its programs get, its buses and the programs it started.
// The owner starts the X server, then the buses, and calls End() first
// when it goes, so that no program outlives the server it draws on.
class PrivateSession {
public:
    PrivateSession(const PrivateSession&) = delete;
    PrivateSession& operator=(const PrivateSession&) = delete;

    bool Ready() const { return env_.count("DBUS_SESSION_BUS_ADDRESS") > 0; }
    // For the programs started from now on.
    void SetEnv(const std::string& name, const std::string& value) { env_[name] = value; }
    const std::string& Dir() const { return dir_.Path(); }
    std::string ConfigHome() const { return env_.at("XDG_CONFIG_HOME"); }

    // Starts a program of the desktop that runs until the session ends.
    Child& Start(const std::string& program, const std::vector<std::string>& args) {
        programs_.push_back(std::make_unique<Child>(FindProgram(program), args, env_, dir_.Path()));
        return *programs_.back();
    }

    // Runs a program to its end; its exit code, or nullopt when it did not end in time.
    std::optional<int> Run(const std::string& program, const std::vector<std::string>& args,
                           std::string* output = nullptr) {
        Child child(program.starts_with("/") ? program : FindProgram(program), args, env_, dir_.Path());
        const auto code = child.Wait(std::chrono::seconds(60));
        if (output) *output = child.Output();
        return code;
    }

protected:
    PrivateSession() {
        const std::string home = dir_.Path() + "/home", run = dir_.Path() + "/run";
        std::filesystem::create_directories(home + "/.config");
        std::filesystem::create_directories(run);
        std::filesystem::permissions(run, std::filesystem::perms::owner_all);
        env_ = {{"HOME", home},
                {"XDG_CONFIG_HOME", home + "/.config"},
                {"XDG_CACHE_HOME", home + "/.cache"},
                {"XDG_DATA_HOME", home + "/.local/share"},
                {"XDG_RUNTIME_DIR", run},
                {"TMPDIR", run},
                {"NO_AT_BRIDGE", "1"},  // no accessibility bus to start and wait for
                {"GTK_A11Y", "none"},
                {"QT_QPA_PLATFORM", "xcb"}};
    }
    ~PrivateSession() { End(); }

    // Started with the session's environment, display included: the
    // services the session bus starts for the desktop need it.
    void StartBuses(const std::string& display, bool withSystemBus) {
        env_["DISPLAY"] = display;
        if (withSystemBus) {
            systemBus_ = std::make_unique<SystemBus>(dir_.Path());
            env_["DBUS_SYSTEM_BUS_ADDRESS"] = systemBus_->Address();
        }
        sessionBus_ = std::make_unique<SessionBus>(env_, dir_.Path());
        if (!sessionBus_->Address().empty()) env_["DBUS_SESSION_BUS_ADDRESS"] = sessionBus_->Address();
    }

    // Reads what the programs wrote, so that none blocks writing.
    void DrainPrograms() {
        for (auto& program : programs_) program->Running();
    }

    // Ends the programs, then the buses; the desktops start helpers of
    // their own, through the bus or directly, that outlive them.
    void End() {
        for (auto it = programs_.rbegin(); it != programs_.rend(); ++it) (*it)->Signal(SIGKILL), (*it)->Wait();
        programs_.clear();
        KillProcessesOfRuntime(env_.at("XDG_RUNTIME_DIR"));
        sessionBus_.reset();
        systemBus_.reset();
        KillProcessesOfRuntime(env_.at("XDG_RUNTIME_DIR"));
    }

    TempDir dir_;
    std::map<std::string, std::string> env_;

private:
    std::unique_ptr<SystemBus> systemBus_;
    std::unique_ptr<SessionBus> sessionBus_;
    std::vector<std::unique_ptr<Child>> programs_;
};

// Whether the desktops too slow to start for every test run are wanted
// (tests/desktops/optional-desktops.sh).
inline bool OptionalDesktopsWanted() {
    const char* optional = std::getenv("VANTORIA_OPTIONAL_DESKTOPS");
    return optional && std::string(optional) == "1";
}

// Starts kwin and plasmashell and waits until the shell answers scripts
// with `desktops` desktops; false (with what it said in `log`) when it does not.
inline bool StartPlasma(PrivateSession& session, int desktops, std::string& log) {
    session.SetEnv("XDG_CURRENT_DESKTOP", "KDE");
    session.Start("kwin_x11", {"--replace"});
    Child& plasma = session.Start("plasmashell", {"--no-respawn"});
    const bool ready = WaitUntil(
        [&] {
            return plasma.Running() &&
                   session.Run("dbus-send", {"--session", "--print-reply", "--dest=org.kde.plasmashell",
                                             "/PlasmaShell", "org.kde.PlasmaShell.evaluateScript",
                                             "string:print(desktops().length)"},
                               &log) == 0 &&
                   log.find("string \"" + std::to_string(desktops)) != std::string::npos;
        },
        std::chrono::seconds(120));
    log += plasma.Output();
    return ready;
}

// Starts xfdesktop with no desktop icons over the pictures, and waits until
// its settings list a backdrop with each of `backdrops` in its name; false
// (with the list in `listed`) when they do not come.
inline bool StartXfdesktop(PrivateSession& session, const std::vector<std::string>& backdrops, std::string& listed) {
    const std::string channels = session.ConfigHome() + "/xfce4/xfconf/xfce-perchannel-xml";
    std::filesystem::create_directories(channels);
    std::ofstream(channels + "/xfce4-desktop.xml")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<channel name=\"xfce4-desktop\" version=\"1.0\">\n"
           "  <property name=\"desktop-icons\" type=\"empty\">\n    <property name=\"style\" type=\"int\" "
           "value=\"0\"/>\n  </property>\n</channel>\n";
    session.Start("xfdesktop", {"--disable-wm-check"});
    return WaitUntil(
        [&] {
            if (session.Run("xfconf-query", {"-c", "xfce4-desktop", "-l"}, &listed) != 0) return false;
            for (const std::string& backdrop : backdrops)
                if (listed.find(backdrop) == std::string::npos) return false;
            return true;
        },
        std::chrono::seconds(60));
}

// The windows at the top of the screen's tree now.
inline unsigned TopLevelWindows(Display* display) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) && children)
        XFree(children);
    return count;
}

// trayer as the notification area, in a strip `height` pixels high along
// the top, started once its window is there.
inline std::unique_ptr<Child> StartTrayStrip(const XvfbServer& server, int height, const std::string& dir) {
    const unsigned bare = TopLevelWindows(server.Get());
    auto trayer = std::make_unique<Child>(
        FindProgram("trayer"),
        std::vector<std::string>{"--edge", "top", "--align", "left", "--widthtype", "pixel", "--width", "64",
                                 "--heighttype", "pixel", "--height", std::to_string(height)},
        std::map<std::string, std::string>{{"DISPLAY", server.Name()}}, dir);
    WaitUntil([&] { return !trayer->Running() || TopLevelWindows(server.Get()) > bare; });
    return trayer;
}

// The tray program's environment on the bare X11 root of `server`, with its
// own folders: its home and work folder `work`, and no session bus, nor one
// started on the side for this display.
inline std::map<std::string, std::string> BareX11TrayEnv(const XvfbServer& server, const std::string& work,
                                                         const std::string& config, const std::string& runtime) {
    return {{"QT_QPA_PLATFORM", "xcb"},
            {"DISPLAY", server.Name()},
            {"VANTORIA_DESKTOP", "x11"},
            {"HOME", work},
            {"XDG_CONFIG_HOME", config},
            {"XDG_CACHE_HOME", work + "/cache"},
            {"XDG_RUNTIME_DIR", runtime},
            {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + runtime + "/no-bus"}};
}

// A 640 x 480 Xvfb screen with a session bus.
class DesktopSession : public PrivateSession {
public:
    static constexpr int kWidth = 640, kHeight = 480;

    DesktopSession() : server_(std::to_string(kWidth) + "x" + std::to_string(kHeight) + "x24") {
        if (server_.Get()) StartBuses(server_.Name(), false);
    }
    ~DesktopSession() { End(); }

    Display* X() const { return server_.Get(); }

    // The screen now.
    RootPixels Screen() {
        DrainPrograms();
        return RootPixels(server_.Get(), kWidth, kHeight);
    }

    // Waits until the screen differs from `expected` nowhere; `expected` may
    // look at the screen (a desktop's own background colour). The
    // differences of the last look are in `first`.
    bool WaitForScreen(const std::function<Rgb(const RootPixels&, int, int)>& expected, std::string& first) {
        return WaitUntil(
            [&] {
                first.clear();
                const RootPixels screen = Screen();
                return screen.Mismatches([&](int x, int y) { return expected(screen, x, y); }, &first) == 0;
            },
            std::chrono::seconds(60));
    }

private:
    XvfbServer server_;
};

}  // namespace vantoria::test
