#pragma once
// The version information dialog.

#include <QDialog>
#include <memory>

namespace Ui {
class form_About;
}

namespace vantoria {

class Tform_About : public QDialog {
    Q_OBJECT
public:
    explicit Tform_About(QWidget* parent = nullptr);
    ~Tform_About() override;

private:
    std::unique_ptr<Ui::form_About> ui_;
};

}  // namespace vantoria
