#pragma once
// The one place that builds the tray program's four forms and wires them:
// created in the order the settings need (the main form loads them, the
// others read them when they are created), each dialog handed its host,
// and named by the form pointers (app/AppState.h) while they exist.

#include "app/FormHosts.h"

#include <memory>

namespace vantoria {

class Tform_Main;
class Tform_About;
class Tform_ChgWall;
class Tform_Setup;

class TrayForms {
public:
    TrayForms();
    ~TrayForms();
    TrayForms(const TrayForms&) = delete;
    TrayForms& operator=(const TrayForms&) = delete;

    // Null only while the forms are being created.
    Tform_Main* Main() const { return main_.get(); }
    Tform_About* About() const { return about_.get(); }
    Tform_ChgWall* Chooser() const { return chooser_.get(); }
    Tform_Setup* Setup() const { return setup_.get(); }

private:
    // The hosts come first: they outlive the forms that call them.
    MainFormHost chooserHost_{*this};
    SetupFormHost setupHost_{*this};
    AboutFormHost aboutHost_;
    ChangeTimerHost timerHost_{*this};
    // Destroyed in reverse: the dialogs before the main form their windows
    // belong to.
    std::unique_ptr<Tform_Main> main_;
    std::unique_ptr<Tform_About> about_;
    std::unique_ptr<Tform_ChgWall> chooser_;
    std::unique_ptr<Tform_Setup> setup_;
};

}  // namespace vantoria
