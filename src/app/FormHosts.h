#pragma once
// The tray program's answers to what each form asks of the others: the
// chooser, the settings dialog, the About box and the automatic change's
// timer each talk to an interface; these adapters fill them from the forms
// that TrayForms holds. Each is a member of TrayForms, so it lives exactly
// as long as the forms it reaches.

#include "about/AboutHost.h"
#include "change/AutoWallChange.h"
#include "change/ChooserHost.h"
#include "settings/SetupHost.h"

namespace vantoria {

class TrayForms;

// The chooser's way to the main form and the settings dialog.
class MainFormHost final : public ChooserHost {
public:
    explicit MainFormHost(TrayForms& forms) : forms_(forms) {}
    TSpi_load& Loader() override;
    void ChangeWallPaper(const std::string& file) override;
    void ChangeMonitorWallPapers(const std::string& primaryFile, const std::string& monitorFiles) override;
    void EraseWallPaper() override;
    void Redraw() override;
    void SetupCommand() override;
    void ShowSetupModal() override;
    bool AppRunning() const override;

private:
    TrayForms& forms_;
};

// The settings dialog's way to the main form and the chooser.
class SetupFormHost final : public SetupHost {
public:
    explicit SetupFormHost(TrayForms& forms) : forms_(forms) {}
    void Redraw() override;
    void EnableChangeCommand(bool enabled) override;
    bool ChooserOpen() const override;

private:
    TrayForms& forms_;
};

class AboutFormHost final : public AboutHost {
public:
    bool DebugMode() const override;
};

// The automatic change's tick: the chooser is the source of the sequence
// (its FormShow runs on the hidden dialog), the settings dialog shows the
// countdown. Forms not created yet are skipped.
class ChangeTimerHost final : public AutoChangeHost {
public:
    explicit ChangeTimerHost(TrayForms& forms) : forms_(forms) {}
    void ShowChooser() override;
    WallListing ChooserListing() override;
    void ChangeWallPaper(const std::string& file) override;
    void SetCountdown(const std::string& caption) override;

private:
    TrayForms& forms_;
};

}  // namespace vantoria
