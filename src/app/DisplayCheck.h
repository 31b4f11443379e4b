#pragma once
// The tray program cannot run without a display. Qt aborts the process when
// its platform cannot start; this turns that into one line on standard error
// and exit code 1.

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

}  // namespace vantoria
