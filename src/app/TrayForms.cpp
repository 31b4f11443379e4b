#include "app/TrayForms.h"

#include "about/formAbout.h"
#include "app/AppState.h"
#include "app/formMain.h"
#include "change/formChgWall.h"
#include "settings/formSetup.h"

#include <QWindow>

namespace vantoria {

TrayForms::TrayForms() {
    // Each pointer is set at once: a later form's creation may use it.
    main_ = std::make_unique<Tform_Main>(timerHost_);
    form_Main = main_.get();
    about_ = std::make_unique<Tform_About>(aboutHost_);
    form_About = about_.get();
    chooser_ = std::make_unique<Tform_ChgWall>(chooserHost_);
    form_ChgWall = chooser_.get();
    setup_ = std::make_unique<Tform_Setup>(setupHost_);
    form_Setup = setup_.get();
    // The dialogs block one another but never the tray icon, whose menu
    // keeps working while one is open: they are modal to the main form's
    // window (shown or not), not to the whole program. Only the windows are
    // tied, so each dialog still places itself on the screen.
    main_->winId();
    QWindow* mainWindow = main_->windowHandle();
    for (QDialog* dialog : {static_cast<QDialog*>(about_.get()), static_cast<QDialog*>(chooser_.get()),
                            static_cast<QDialog*>(setup_.get())}) {
        dialog->winId();
        dialog->windowHandle()->setTransientParent(mainWindow);
        dialog->setWindowModality(Qt::WindowModal);
    }
}

TrayForms::~TrayForms() {
    form_Setup = nullptr;
    form_ChgWall = nullptr;
    form_About = nullptr;
    form_Main = nullptr;
}

}  // namespace vantoria
