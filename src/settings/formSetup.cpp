#include "settings/formSetup.h"

#include "ui_formSetup.h"

namespace vantoria {

Tform_Setup::Tform_Setup(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::form_Setup>()) {
    ui_->setupUi(this);
}

Tform_Setup::~Tform_Setup() = default;

void Tform_Setup::SetChgTimeLimit(const QString&) {}

}  // namespace vantoria
