#include "app/TrayClicks.h"

namespace vantoria {

TrayClicks::TrayClicks(int intervalMs, QObject* parent) : QObject(parent) {
    pending_.setSingleShot(true);
    pending_.setInterval(intervalMs);
    connect(&pending_, &QTimer::timeout, this, &TrayClicks::singleClick);
}

void TrayClicks::Activated(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        if (!pending_.isActive()) {
            pending_.start();
            return;
        }
        [[fallthrough]];  // a second Trigger in time: a double click
    case QSystemTrayIcon::DoubleClick:
        pending_.stop();
        emit doubleClick();
        return;
    default:
        return;
    }
}

}  // namespace vantoria
