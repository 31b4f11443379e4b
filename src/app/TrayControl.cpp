#include "app/TrayControl.h"

#include "app/TrayForms.h"
#include "app/formMain.h"
#include "settings/formSetup.h"
#include "settings/ApSystem.h"

#include <QAction>

#include <stdexcept>

namespace vantoria {

TrayControl::TrayControl(TrayForms& forms) : forms_(forms) {
    forms_.Main()->onWallPaperChanged = [this](const std::string& file) { Changed(file); };
}

TrayControl::~TrayControl() {
    if (Tform_Main* main = forms_.Main()) main->onWallPaperChanged = nullptr;
}

void TrayControl::Changed(const std::string& file) {
    // A redraw is no new picture; going back takes the picture off the list.
    if (!goingBack_ && (shown_.empty() || shown_.back() != file)) {
        shown_.push_back(file);
        if (shown_.size() > kHistory) shown_.pop_front();
    }
    if (onChanged) onChanged(file);
}

void TrayControl::Next() {
    // Nothing begun must not answer as a change done.
    if (const Result begun = forms_.Main()->NextWallPaper(); !begun) throw std::runtime_error(begun.reason);
}

bool TrayControl::Previous() {
    if (shown_.size() < 2) return false;
    const std::string current = shown_.back();
    shown_.pop_back();
    goingBack_ = true;
    ApSystem.WallPaper = shown_.back();
    forms_.Main()->ChangeWallPaper(ApSystem.WallPaper);
    goingBack_ = false;
    return true;
}

void TrayControl::Redraw() { forms_.Main()->act_RedrawExecute(); }

// What the chooser's OK does with a file it had not tried on the desktop yet.
void TrayControl::SetWallpaper(const std::string& path) {
    ApSystem.WallPaper = path;
    forms_.Main()->ChangeWallPaper(ApSystem.WallPaper);
}

void TrayControl::ShowChooser() { forms_.Main()->act_ChgWallExecute(); }
void TrayControl::ShowSettings() { forms_.Main()->act_SetupExecute(); }

std::string TrayControl::Wallpaper() const { return ApSystem.WallPaper; }
bool TrayControl::AutoChange() const { return ApSystem.AutoWallChg; }

// As the settings dialog's box and its OK: the value, and the menu's
// Change command, which is off while the automatic change is on.
void TrayControl::SetAutoChange(bool on) {
    ApSystem.AutoWallChg = on;
    forms_.Main()->act_ChgWall().setEnabled(!on);
    if (Tform_Setup* setup = forms_.Setup()) setup->FollowAutoChange(on);
}

}  // namespace vantoria
