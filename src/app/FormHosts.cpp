#include "app/FormHosts.h"

#include "about/formAbout.h"
#include "app/AppState.h"
#include "app/TrayForms.h"
#include "app/formMain.h"
#include "change/formChgWall.h"
#include "compose/ApplyWallPaper.h"
#include "settings/formSetup.h"

#include "settings/ApSystem.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <utility>

namespace vantoria {

// The chooser and the settings dialog are created after the main form, so
// the main form is always there when they ask.

TSpi_load& MainFormHost::Loader() { return forms_.Main()->SpiLoader(); }
void MainFormHost::ChangeWallPaper(const std::string& file) { forms_.Main()->ChangeWallPaper(file); }
void MainFormHost::ChangeMonitorWallPapers(const std::string& primaryFile, const std::string& monitorFiles) {
    // The changer reads the assignment from the settings at each change.
    struct Restore {
        std::string stored, shown;
        ~Restore() {
            // A change tick in this change's message box may have stored a
            // new assignment: that one stays.
            if (ApSystem.MonitorWallPapers == shown) ApSystem.MonitorWallPapers = std::move(stored);
        }
    } restore{std::exchange(ApSystem.MonitorWallPapers, monitorFiles), monitorFiles};
    forms_.Main()->ChangeWallPaper(primaryFile);
}
// Removing the wallpaper is asked for, not checked: the chooser has no
// message for a desktop that keeps its picture.
void MainFormHost::EraseWallPaper() { static_cast<void>(vantoria::EraseWallPaper()); }
void MainFormHost::Redraw() { forms_.Main()->act_RedrawExecute(); }
void MainFormHost::SetupCommand() { forms_.Main()->act_SetupExecute(); }
void MainFormHost::ShowSetupModal() {
    if (Tform_Setup* setup = forms_.Setup()) setup->exec();
}
bool MainFormHost::AppRunning() const { return vantoria::AppRunning; }

void SetupFormHost::Redraw() { forms_.Main()->act_RedrawExecute(); }
void SetupFormHost::EnableChangeCommand(bool enabled) { forms_.Main()->act_ChgWall().setEnabled(enabled); }
bool SetupFormHost::ChooserOpen() const {
    const Tform_ChgWall* chooser = forms_.Chooser();
    return chooser && chooser->isVisible();
}

bool AboutFormHost::DebugMode() const { return vantoria::DebugMode; }

// A tick can come while a form is still being created (a message box of the
// start-up change runs the event loop).
void ChangeTimerHost::ShowChooser() {
    if (Tform_ChgWall* chooser = forms_.Chooser()) chooser->FormShow();
}
// The chooser opens on the same listing, with the same fallback.
WallListing ChangeTimerHost::ChooserListing() {
    return ListChooserFolder(ApSystem.PathWall, ApSystem.FileMask, QFile::encodeName(QDir::homePath()).toStdString());
}
void ChangeTimerHost::ChangeWallPaper(const std::string& file) {
    if (Tform_Main* main = forms_.Main()) main->ChangeWallPaper(file);
}
void ChangeTimerHost::SetCountdown(const std::string& caption) {
    if (Tform_Setup* setup = forms_.Setup()) setup->SetChgTimeLimit(QString::fromStdString(caption));
}

}  // namespace vantoria
