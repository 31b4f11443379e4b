#include "change/formChgWall.h"

#include "ui_formChgWall.h"

namespace vantoria {

Tform_ChgWall::Tform_ChgWall(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::form_ChgWall>()) {
    ui_->setupUi(this);
}

Tform_ChgWall::~Tform_ChgWall() = default;

}  // namespace vantoria
