#pragma once
// Keeps the tray icon reachable. On a desktop without a notification area,
// or one whose tray host starts late, the user is told once that the program
// waits for one, and the icon is shown as soon as a host is there.

#include <QObject>
#include <QTimer>
#include <memory>

class QMessageBox;
class QSystemTrayIcon;

namespace vantoria {

inline constexpr const char* kWaitingForTrayMessage =
    "通知領域 (システムトレイ) が見つかりません。通知領域が使えるようになると、"
    "Vantoria のアイコンがそこに表示されます。";

class TrayHostWatch : public QObject {
    Q_OBJECT
public:
    // `icon` must outlive the watch.
    explicit TrayHostWatch(QSystemTrayIcon& icon, QObject* parent = nullptr);
    ~TrayHostWatch() override;

    // Shows the icon; without a host, shows the message and waits for one,
    // then shows the icon.
    void Start();

private:
    void Poll();

    QSystemTrayIcon& icon_;
    QTimer poll_;  // once a second, only while there is no host
    std::unique_ptr<QMessageBox> message_;
};

}  // namespace vantoria
