#pragma once
// What the chooser dialog asks of the rest of the program. The tray program
// answers through the main form and the settings dialog (app/FormHosts.h);
// tests record.

#include <string>

namespace vantoria {

class TSpi_load;

class ChooserHost {
public:
    virtual ~ChooserHost() = default;
    // The main form's image loader, which also decodes the preview.
    virtual TSpi_load& Loader() = 0;
    virtual void ChangeWallPaper(const std::string& file) = 0;
    // A picture of its own on each monitor: every monitor drawn again for
    // this one change, the primary one with `primaryFile`, the others as
    // `monitorFiles` (MonitorWallPapers' form) assigns them; the stored
    // assignment stays as it is. A host that draws no monitor apart just
    // changes the wallpaper.
    virtual void ChangeMonitorWallPapers(const std::string& primaryFile, const std::string& monitorFiles) {
        (void)monitorFiles;
        ChangeWallPaper(primaryFile);
    }
    virtual void EraseWallPaper() = 0;
    // The main form's Redraw and Settings commands.
    virtual void Redraw() = 0;
    virtual void SetupCommand() = 0;
    // The settings dialog, shown modally without asking whether it is open.
    virtual void ShowSetupModal() = 0;
    // False until the program's forms all exist: a selection made while the
    // dialog is set up decodes nothing.
    virtual bool AppRunning() const = 0;
};

}  // namespace vantoria
