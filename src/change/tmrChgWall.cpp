// The automatic change: what the main form's one-second timer does on each
// tick. The logic is AutoWallChanger's; here it meets the forms.

#include "app/AppState.h"
#include "app/formMain.h"
#include "change/AutoWallChange.h"
#include "change/formChgWall.h"
#include "settings/ApSystem.h"
#include "settings/formSetup.h"

namespace vantoria {

namespace {

// The chooser is the source of the sequence: its FormShow runs on the
// hidden dialog, then its folder and file list are read.
class FormsAutoChangeHost final : public AutoChangeHost {
public:
    Tform_Main* main = nullptr;

    void ShowChooser() override {
        if (form_ChgWall) form_ChgWall->FormShow();
    }
    std::string ChooserFolder() override { return form_ChgWall ? form_ChgWall->CurrentFolder() : std::string(); }
    std::vector<std::string> ChooserFiles() override {
        return form_ChgWall ? form_ChgWall->Files() : std::vector<std::string>();
    }
    void ChangeWallPaper(const std::string& file) override { main->ChangeWallPaper(file); }
    void SetCountdown(const std::string& caption) override {
        if (form_Setup) form_Setup->SetChgTimeLimit(QString::fromStdString(caption));
    }
};

}  // namespace

void Tform_Main::tmr_ChgWallTimer() {
    // The handler's counters last as long as the process, like the timer.
    static FormsAutoChangeHost host;
    static AutoWallChanger changer(ApSystem, host);
    host.main = this;
    changer.Tick();
}

}  // namespace vantoria
