#pragma once
// The version information dialog: the product's logo, the file version, the
// maker's copyright and addresses, and two lines about the system. Every
// showing gathers the information anew.

#include <QDialog>
#include <cstdint>
#include <functional>
#include <memory>

namespace Ui {
class form_About;
}

namespace vantoria {

class AboutHost;

inline constexpr const char* kCopyrightText = "Copyright (C) 2026 Brightmoss";
inline constexpr const char* kHomePage = "https://brightmoss.example/";
inline constexpr const char* kSupportMail = "support@brightmoss.example";

class Tform_About : public QDialog {
    Q_OBJECT
public:
    // Works with `host`, which must outlive the dialog.
    explicit Tform_About(AboutHost& host, QWidget* parent = nullptr);
    ~Tform_About() override;

    // Opens a web or mail address with the desktop's handler; tests replace it.
    std::function<void(const QUrl&)> OpenUrl;

    void FormShow();
    void ReadSystemInfo();
    void OKButtonClick();
    void lbl_WWWClick();
    void lbl_EMailClick();

    // Kept between showings.
    QString WinVersionText;
    std::uint64_t TotalPhysMemory = 0;  // 64-bit: today's machines have more than 4 GiB
    QString FileVersionText;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    AboutHost& host_;
    std::unique_ptr<Ui::form_About> ui_;
};

}  // namespace vantoria
