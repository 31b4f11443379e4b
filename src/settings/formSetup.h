#pragma once
// The settings dialog.

#include <QDialog>
#include <memory>

namespace Ui {
class form_Setup;
}

namespace vantoria {

class Tform_Setup : public QDialog {
    Q_OBJECT
public:
    explicit Tform_Setup(QWidget* parent = nullptr);
    ~Tform_Setup() override;

    // The automatic change writes the seconds left into lbl_ChgTimeLimit.
    void SetChgTimeLimit(const QString& caption);

private:
    std::unique_ptr<Ui::form_Setup> ui_;
};

}  // namespace vantoria
