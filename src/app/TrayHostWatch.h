#pragma once
// Keeps the tray icon reachable. On a desktop without a notification area,
// or one whose tray host starts late, the user is told once that the program
// waits for one, and the icon is shown again as soon as a host is there.

#include <QObject>
#include <QTimer>
#include <functional>
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
    using Probe = std::function<bool()>;
    // `icon` must outlive the watch. `hostAvailable` defaults to Qt's own test.
    TrayHostWatch(QSystemTrayIcon& icon, Probe hostAvailable = {}, int pollMs = 1000, QObject* parent = nullptr);
    ~TrayHostWatch() override;

    // Shows the icon; without a host, shows the message and waits for one,
    // then shows the icon.
    void Start();
    bool Waiting() const { return poll_.isActive(); }
    // The message box once it was shown (null before).
    QMessageBox* Message() const { return message_.get(); }

private:
    void Poll();

    QSystemTrayIcon& icon_;
    Probe hostAvailable_;
    QTimer poll_;
    std::unique_ptr<QMessageBox> message_;
    bool told_ = false;
};

}  // namespace vantoria
