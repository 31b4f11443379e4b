#pragma once
// A private X server for one test: Xvfb on the first free display number
// from :100, stopped when the object goes, whatever the test did.

#include <X11/Xlib.h>

#include <csignal>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/desktop/DesktopTestEnv.h"
#include "support/Child.h"

namespace vantoria::test {

class XvfbServer {
public:
    // `screen` as Xvfb takes it, e.g. "640x480x24". Check Display() for success.
    explicit XvfbServer(const std::string& screen) {
        for (int n = 100; n < 200 && !display_; ++n) {
            if (std::filesystem::exists("/tmp/.X" + std::to_string(n) + "-lock") ||
                std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n)))
                continue;
            name_ = ":" + std::to_string(n);
            // -displayfd 1: it prints the number on standard output once it
            // listens, so a server that lost the number to another is never
            // mistaken for ours.
            server_ = std::make_unique<Child>("/usr/bin/Xvfb",
                                              std::vector<std::string>{name_, "-displayfd", "1", "-screen", "0",
                                                                       screen, "-nolisten", "tcp", "-noreset"},
                                              std::map<std::string, std::string>{}, "");
            const std::string ready = std::to_string(n) + "\n";
            WaitUntil([&] {
                const bool running = server_->Running();
                const std::string& out = server_->Output();
                return !running || out.starts_with(ready) || out.find("\n" + ready) != std::string::npos;
            });
            if (server_->Running()) display_.reset(XOpenDisplay(name_.c_str()));
            if (!display_) Stop();
        }
        if (display_) env_.emplace("DISPLAY", name_);
    }
    ~XvfbServer() {
        display_.reset();
        Stop();
    }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // The test's own connection, open for the server's whole life.
    Display* Get() const { return display_.get(); }
    const std::string& Name() const { return name_; }

private:
    void Stop() {
        if (!server_) return;
        server_->Signal(SIGTERM);
        server_->Wait(std::chrono::seconds(10));
        server_.reset();  // kills it if it is still there
    }
    struct Closer {
        void operator()(Display* d) const { XCloseDisplay(d); }
    };
    std::string name_;
    std::unique_ptr<Child> server_;
    std::unique_ptr<Display, Closer> display_;
    std::optional<ScopedEnv> env_;
};

}  // namespace vantoria::test
