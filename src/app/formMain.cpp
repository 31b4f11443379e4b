#include "app/formMain.h"

#include "settings/ApSystem.h"
#include "settings/Settings.h"
#include "ui_formMain.h"

#include <QCloseEvent>
#include <QCoreApplication>

namespace vantoria {

Tform_Main::Tform_Main(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::form_Main>()) {
    ui_->setupUi(this);
    FormCreate();
}

Tform_Main::~Tform_Main() = default;

void Tform_Main::FormCreate() {
    LoadSettings(ApSystem);
    CompleteStartup(ApSystem, CurrentDirectory());
}

void Tform_Main::FormClose() {
    if (closed_) return;
    closed_ = true;
    SaveOrEraseSettings(ApSystem);
}

void Tform_Main::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
    // Closing the main form ends the program, visible or not.
    QCoreApplication::quit();
}

}  // namespace vantoria
