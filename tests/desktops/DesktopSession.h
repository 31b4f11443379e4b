#pragma once
// A private desktop session for end-to-end tests on real desktop programs:
// an Xvfb screen, a D-Bus session bus of its own, and private HOME and XDG
// folders, so nothing of the machine's own desktop is read or changed.

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

class DesktopSession {
public:
    static constexpr int kWidth = 640, kHeight = 480;

    DesktopSession() : server_(std::to_string(kWidth) + "x" + std::to_string(kHeight) + "x24") {
        const std::string home = dir_.Path() + "/home";
        std::filesystem::create_directories(home + "/.config");
        std::filesystem::create_directories(dir_.Path() + "/run");
        std::filesystem::permissions(dir_.Path() + "/run", std::filesystem::perms::owner_all);
        env_ = {{"HOME", home},
                {"XDG_CONFIG_HOME", home + "/.config"},
                {"XDG_CACHE_HOME", home + "/.cache"},
                {"XDG_DATA_HOME", home + "/.local/share"},
                {"XDG_RUNTIME_DIR", dir_.Path() + "/run"},
                {"TMPDIR", dir_.Path() + "/run"},
                {"DISPLAY", server_.Name()},
                {"NO_AT_BRIDGE", "1"},  // no accessibility bus to start and wait for
                {"GTK_A11Y", "none"},
                {"QT_QPA_PLATFORM", "xcb"}};
        if (!server_.Get()) return;
        // The bus prints its address once it listens.
        bus_ = std::make_unique<Child>(FindProgram("dbus-daemon"),
                                       std::vector<std::string>{"--session", "--nofork", "--print-address=1"}, env_,
                                       dir_.Path());
        std::string address;
        WaitUntil([&] {
            const bool running = bus_->Running();
            std::istringstream out(bus_->Output());
            for (std::string line; std::getline(out, line);)
                if (line.starts_with("unix:") && out.good()) address = line;
            return !running || !address.empty();
        });
        if (!address.empty()) env_["DBUS_SESSION_BUS_ADDRESS"] = address;
    }

    bool Ready() const { return env_.count("DBUS_SESSION_BUS_ADDRESS") > 0; }
    // For the programs started from now on.
    void SetEnv(const std::string& name, const std::string& value) { env_[name] = value; }
    Display* X() const { return server_.Get(); }
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
        const auto code = child.Wait(std::chrono::seconds(30));
        if (output) *output = child.Output();
        return code;
    }

    // The screen now.
    RootPixels Screen() {
        for (auto& program : programs_) program->Running();  // drains their output, so none blocks writing
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
    TempDir dir_;
    XvfbServer server_;
    std::map<std::string, std::string> env_;
    std::unique_ptr<Child> bus_;
    std::vector<std::unique_ptr<Child>> programs_;  // ended before the bus
};

}  // namespace vantoria::test
