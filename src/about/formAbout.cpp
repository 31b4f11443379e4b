#include "about/formAbout.h"

#include "about/AboutHost.h"
#include "about/SystemInfo.h"
#include "ui_formAbout.h"
#include "widgets/WindowPlacement.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QShowEvent>
#include <QUrl>

namespace vantoria {

Tform_About::Tform_About(AboutHost& host, QWidget* parent)
    : QDialog(parent), host_(host), ui_(std::make_unique<Ui::form_About>()) {
    ui_->setupUi(this);
    setFixedSize(size());

    const auto styled = [](QLabel* label, const char* family, int pixels, bool bold, bool italic) {
        QFont font = label->font();
        if (family) font.setFamily(QString::fromUtf8(family));
        if (pixels) font.setPixelSize(pixels);
        font.setBold(bold);
        font.setItalic(italic);
        label->setFont(font);
    };
    // The product name as a logo in three pieces.
    styled(ui_->ProductName, nullptr, 27, true, true);
    styled(ui_->Label5, "ＭＳ Ｐ明朝", 35, true, true);
    styled(ui_->Label6, nullptr, 27, true, true);
    styled(ui_->Label4, nullptr, 0, true, false);
    styled(ui_->Version, nullptr, 15, true, false);
    styled(ui_->Comments, nullptr, 0, true, false);
    for (QLabel* link : {ui_->lbl_WWW, ui_->lbl_EMail}) {
        QFont font = link->font();
        font.setUnderline(true);
        link->setFont(font);
        QPalette palette = link->palette();
        palette.setColor(QPalette::WindowText, Qt::blue);
        link->setPalette(palette);
        link->setCursor(Qt::PointingHandCursor);
        link->installEventFilter(this);
    }
    ui_->lbl_WWW->setText(QString::fromUtf8(kHomePage));
    ui_->lbl_EMail->setText(QString::fromUtf8(kSupportMail));
    // Labels not of a fixed size fit their text, from their left edge.
    for (QLabel* label : {ui_->Label1, ui_->Label4, ui_->Label2, ui_->Label3, ui_->lbl_WWW, ui_->lbl_EMail})
        label->adjustSize();

    connect(ui_->OKButton, &QPushButton::clicked, this, &Tform_About::OKButtonClick);
    OpenUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
}

Tform_About::~Tform_About() = default;

void Tform_About::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        CentreOnScreen(*this);
        FormShow();
    }
    QDialog::showEvent(event);
}

bool Tform_About::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == ui_->lbl_WWW) lbl_WWWClick();
        if (watched == ui_->lbl_EMail) lbl_EMailClick();
    }
    return QDialog::eventFilter(watched, event);
}

void Tform_About::FormShow() {
    if (host_.DebugMode()) ui_->Comments->show();
    ReadSystemInfo();
    // A fixed-size label: a long line is shortened where it would run into
    // its caption; the whole line is in the tooltip.
    const int room = ui_->lbl_Version->geometry().right() - ui_->Label2->geometry().right() - 4;
    ui_->lbl_Version->setText(ui_->lbl_Version->fontMetrics().elidedText(WinVersionText, Qt::ElideRight, room));
    ui_->lbl_Version->setToolTip(WinVersionText);
    ui_->lbl_Memory->setText(QString::fromStdString(about::MemoryText(TotalPhysMemory)));
    ui_->Version->setText(QStringLiteral("Version ") + FileVersionText);
    ui_->Copyright->setText(QString::fromUtf8(kCopyrightText));
}

void Tform_About::ReadSystemInfo() {
    // There is no Windows version to classify here; the line names the
    // distribution and the kernel instead.
    WinVersionText = QString::fromStdString(about::LinuxVersionText());
    TotalPhysMemory = about::TotalPhysicalMemory();
    if (auto version = about::QueryVersionValue(about::kFileVersionPath))
        FileVersionText = QString::fromStdString(*version);
}

void Tform_About::OKButtonClick() { accept(); }

void Tform_About::lbl_WWWClick() { OpenUrl(QUrl(QString::fromUtf8(kHomePage))); }

void Tform_About::lbl_EMailClick() { OpenUrl(QUrl(QStringLiteral("mailto:") + QString::fromUtf8(kSupportMail))); }

}  // namespace vantoria
