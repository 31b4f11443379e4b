#include "app/TrayClicks.h"

namespace vantoria {

TrayClicks::TrayClicks(int intervalMs, QObject* parent) : QObject(parent) {
    pending_.setSingleShot(true);
    pending_.setInterval(intervalMs);
    connect(&pending_, &QTimer::timeout, this, &TrayClicks::singleClick);
    afterDouble_.setSingleShot(true);
    afterDouble_.setInterval(intervalMs);
}

void TrayClicks::Activated(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
    case QSystemTrayIcon::Trigger:
    case QSystemTrayIcon::DoubleClick:
        if (afterDouble_.isActive()) return;  // the tail of the last double click
        if (reason == QSystemTrayIcon::Trigger && !pending_.isActive()) {
            pending_.start();
            return;
        }
        // A DoubleClick, or a second Trigger in time.
        pending_.stop();
        afterDouble_.start();
        emit doubleClick();
        return;
    default:
        return;
    }
}

}  // namespace vantoria
