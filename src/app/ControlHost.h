#pragma once
// What the session-bus interface may ask of the running program: the tray
// menu's commands and the two values a script reads or sets. Failures are
// not returned here: the program reports them as it always does, and the
// interface catches that report (see ControlService).

#include <string>

namespace vantoria {

class ControlHost {
public:
    virtual ~ControlHost() = default;

    // The next file of the automatic change's sequence, the countdown
    // started afresh.
    virtual void Next() = 0;
    // Back through the pictures shown this run; false when there is none.
    virtual bool Previous() = 0;
    virtual void Redraw() = 0;
    // What the chooser's OK does with `path`.
    virtual void SetWallpaper(const std::string& path) = 0;
    // Opened after the call has been answered.
    virtual void ShowChooser() = 0;
    virtual void ShowSettings() = 0;

    virtual std::string Wallpaper() const = 0;
    virtual bool AutoChange() const = 0;
    // What the settings dialog's automatic-change box does.
    virtual void SetAutoChange(bool on) = 0;
};

}  // namespace vantoria
