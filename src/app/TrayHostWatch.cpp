#include "app/TrayHostWatch.h"

#include "app/AppState.h"

#include <QMessageBox>
#include <QSystemTrayIcon>

namespace vantoria {

TrayHostWatch::TrayHostWatch(QSystemTrayIcon& icon, Probe hostAvailable, int pollMs, QObject* parent)
    : QObject(parent), icon_(icon), hostAvailable_(std::move(hostAvailable)) {
    if (!hostAvailable_) hostAvailable_ = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    poll_.setInterval(pollMs);
    connect(&poll_, &QTimer::timeout, this, &TrayHostWatch::Poll);
}

TrayHostWatch::~TrayHostWatch() = default;

void TrayHostWatch::Start() {
    if (hostAvailable_()) {
        icon_.show();
        return;
    }
    if (!told_) {
        told_ = true;
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
    if (!hostAvailable_()) return;
    poll_.stop();
    icon_.show();
    if (message_) message_->close();
}

}  // namespace vantoria
