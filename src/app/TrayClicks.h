#pragma once
// Sorts the tray icon's activations into single and double left clicks.
//
// A double click must run Redraw only, never also the single click's
// chooser, so a single click counts only once the double-click interval has
// passed without a second one. XEmbed trays report a double click as
// Trigger followed by DoubleClick; StatusNotifierItem hosts report no double
// click at all, only two Triggers, which count as one within the interval.
// Some hosts (waybar) send a third activation for the same double click,
// from the toolkit's double-press event: activations that arrive within the
// interval after a double click belong to it.
// Middle clicks and the context request (the menu) give nothing here.

#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>

namespace vantoria {

class TrayClicks : public QObject {
    Q_OBJECT
public:
    // `intervalMs`: the double-click interval (the desktop's, normally).
    explicit TrayClicks(int intervalMs, QObject* parent = nullptr);

    void Activated(QSystemTrayIcon::ActivationReason reason);

signals:
    void singleClick();
    void doubleClick();

private:
    QTimer pending_;      // runs while a first click waits for a second
    QTimer afterDouble_;  // runs for one interval after a double click
};

}  // namespace vantoria
