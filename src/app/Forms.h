#pragma once
// The tray program's four forms, created in the order the settings need (the
// main form loads them, the others read them when they are created), and
// named by the form pointers while they exist.

#include <memory>

class QWidget;

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

private:
    // Destroyed in reverse: the dialogs before the main form their windows
    // belong to.
    std::unique_ptr<Tform_Main> main_;
    std::unique_ptr<Tform_About> about_;
    std::unique_ptr<Tform_ChgWall> chooser_;
    std::unique_ptr<Tform_Setup> setup_;
};

// Puts `window` in the middle of the primary screen's free area. The dialogs
// call it as they are shown: Qt would centre them over the main form.
void CentreOnScreen(QWidget& window);

}  // namespace vantoria
