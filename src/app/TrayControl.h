#pragma once
// The session-bus interface's way into the tray program's forms: the tray
// menu's commands, the chooser's OK, the settings dialog's automatic-change
// box, and the pictures shown since the program started.

#include "app/ControlHost.h"

#include <deque>
#include <functional>
#include <string>

namespace vantoria {

class TrayForms;

class TrayControl final : public ControlHost {
public:
    // As many pictures as Previous can go back through.
    static constexpr std::size_t kHistory = 100;

    // `forms` must outlive this; it listens to the main form's changes.
    explicit TrayControl(TrayForms& forms);
    ~TrayControl() override;
    TrayControl(const TrayControl&) = delete;
    TrayControl& operator=(const TrayControl&) = delete;

    void Next() override;
    bool Previous() override;
    void Redraw() override;
    void SetWallpaper(const std::string& path) override;
    void ShowChooser() override;
    void ShowSettings() override;
    std::string Wallpaper() const override;
    bool AutoChange() const override;
    void SetAutoChange(bool on) override;

    // Called after every change that reached the desktop.
    std::function<void(const std::string& file)> onChanged;

private:
    void Changed(const std::string& file);

    TrayForms& forms_;
    std::deque<std::string> shown_;  // oldest first; the last is on the desktop
    bool goingBack_ = false;
};

}  // namespace vantoria
