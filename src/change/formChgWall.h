#pragma once
// The wallpaper chooser dialog.

#include <QDialog>
#include <memory>

namespace Ui {
class form_ChgWall;
}

namespace vantoria {

class Tform_ChgWall : public QDialog {
    Q_OBJECT
public:
    explicit Tform_ChgWall(QWidget* parent = nullptr);
    ~Tform_ChgWall() override;

private:
    std::unique_ptr<Ui::form_ChgWall> ui_;
};

}  // namespace vantoria
