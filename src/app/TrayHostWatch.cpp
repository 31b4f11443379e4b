#include "app/TrayHostWatch.h"

#include "app/AppState.h"

#include <QMessageBox>
#include <QSystemTrayIcon>

namespace vantoria {

TrayHostWatch::TrayHostWatch(QSystemTrayIcon& icon, QObject* parent) : QObject(parent), icon_(icon) {
    poll_.setInterval(1000);
    connect(&poll_, &QTimer::timeout, this, &TrayHostWatch::Poll);
}

TrayHostWatch::~TrayHostWatch() = default;

void TrayHostWatch::Start() {
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        icon_.show();
        return;
    }
    if (!message_) {  // once a run
        // Not modal: the program keeps running (and its timer ticking) while
        // the box is open.
        message_ = std::make_unique<QMessageBox>(QMessageBox::Information, QString::fromUtf8(kAppTitle),
                                                 QString::fromUtf8(kWaitingForTrayMessage), QMessageBox::Ok);
        message_->setObjectName(QStringLiteral("msg_WaitingForTray"));
        message_->setWindowModality(Qt::NonModal);
        message_->show();
    }
    poll_.start();
}

void TrayHostWatch::Poll() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    poll_.stop();
    icon_.show();
    if (message_) message_->close();
}

}  // namespace vantoria
