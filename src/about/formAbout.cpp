#include "about/formAbout.h"

#include "ui_formAbout.h"

namespace vantoria {

Tform_About::Tform_About(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::form_About>()) {
    ui_->setupUi(this);
}

Tform_About::~Tform_About() = default;

}  // namespace vantoria
