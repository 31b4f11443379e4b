#pragma once
// Keeps the tray icon reachable. On a desktop without a notification area,
// or one whose tray host starts late, the user is told once that the program
// waits for one, and the icon is shown as soon as a host is there.
//
// Qt decides once a process, when the first tray icon is made, whether icons
// go to a StatusNotifierItem host over D-Bus or to an XEmbed tray; decided
// before any host runs, an icon never reaches a StatusNotifierItem host that
// starts later. So the icon is made only once a host of either kind is
// there: a StatusNotifierWatcher with a host registered on the session bus,
// or an owner of the X11 tray selection, whichever comes first. After that
// Qt registers the icon again with a watcher that restarts (a panel killed
// and started again), and docks it again in an XEmbed tray that does.

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

class QDBusServiceWatcher;
class QMessageBox;
class QSystemTrayIcon;

namespace vantoria {

inline constexpr const char* kWaitingForTrayMessage = QT_TRANSLATE_NOOP(
    "vantoria::TrayHostWatch",
    "通知領域 (システムトレイ) が見つかりません。通知領域が使えるようになると、"
    "Vantoria のアイコンがそこに表示されます。");

class TrayHostWatch : public QObject {
    Q_OBJECT
public:
    // `setUp` gives a new icon its pictures, tooltip, menu and click
    // connections; it runs once, when the icon is made.
    explicit TrayHostWatch(std::function<void(QSystemTrayIcon&)> setUp, QObject* parent = nullptr);
    ~TrayHostWatch() override;

    // Shows the icon as soon as a host is there; without one now, shows the
    // message and waits.
    void Start();

    // The icon, made now if it is not yet (for callers that only read its
    // settings; showing it is Start's job).
    QSystemTrayIcon& Icon();
    bool Shown() const { return shown_; }

    // Whether some tray host runs now, asked without Qt's tray code.
    static bool StatusNotifierHostPresent();
    static bool XEmbedTrayPresent();

private:
    void Check();

    std::function<void(QSystemTrayIcon&)> setUp_;
    std::unique_ptr<QSystemTrayIcon> icon_;
    std::unique_ptr<QDBusServiceWatcher> busWatch_;
    QTimer poll_;  // only while there is no host
    std::unique_ptr<QMessageBox> message_;
    bool shown_ = false;
};

}  // namespace vantoria
