#pragma once
// The main form: hidden in normal mode, shown in debug mode. It owns the
// settings life cycle: loaded when it is created, saved or erased when it
// closes.

#include <QWidget>
#include <memory>

namespace Ui {
class form_Main;
}

namespace vantoria {

class Tform_Main : public QWidget {
    Q_OBJECT
public:
    explicit Tform_Main(QWidget* parent = nullptr);
    ~Tform_Main() override;

    // Saves or erases the settings exactly once, however often the form is
    // asked to close (Exit command, close box, logout signal).
    void FormClose();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();

    std::unique_ptr<Ui::form_Main> ui_;
    bool closed_ = false;
};

}  // namespace vantoria
