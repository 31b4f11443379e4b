#pragma once
// The tray program cannot run without a display. Qt aborts the process when
// its platform cannot start; this turns that into one line on standard error,
// saying what is missing, and exit code 1. It also picks Qt's Wayland
// platform where a Wayland session has no X server beside it (sway without
// Xwayland), instead of Qt's X11 default that could not connect there.

#include <QByteArrayList>
#include <string>
#include <vector>

namespace vantoria {

// Call just before the application object is created; the returned guard's
// destruction (once the application object exists) restores Qt's messages.
class DisplayStartGuard {
public:
    DisplayStartGuard();
    ~DisplayStartGuard();
    DisplayStartGuard(const DisplayStartGuard&) = delete;
    DisplayStartGuard& operator=(const DisplayStartGuard&) = delete;
};

// The Qt platform to ask for, or "" for Qt's own choice: "wayland" when a
// Wayland display is named and no X display is, unless the user chose one
// (QT_QPA_PLATFORM or a -platform argument).
std::string ChoosePlatform(const char* qpaPlatform, const char* waylandDisplay, const char* x11Display,
                           bool platformArgument);

// Whether the arguments choose Qt's platform themselves (-platform NAME).
bool HasPlatformArgument(int argc, char** argv);

// The program's arguments with "-platform NAME" added after the program
// name when `platform` is not empty. The returned pointers point into `args`
// or to `platform`; they stay valid while both live.
std::vector<char*> ArgumentsWithPlatform(int argc, char** argv, std::string& platform);

// The line that says why no display could be opened, from what Qt warned
// while it tried, and which display variables were set.
std::string StartFailureLine(const QByteArrayList& warnings, const char* waylandDisplay, const char* x11Display);

}  // namespace vantoria
