#include "app/TrayHostWatch.h"

#include "app/AppState.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QMessageBox>
#include <QSystemTrayIcon>
#include <X11/Xlib.h>

namespace vantoria {
namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");

// Half a second between looks: a host that starts is served well within 2 s.
constexpr int kPollMs = 500;
// A watcher that does not answer must not hold the program up.
constexpr int kBusTimeoutMs = 1000;

}  // namespace

TrayHostWatch::TrayHostWatch(std::function<void(QSystemTrayIcon&)> setUp, QObject* parent)
    : QObject(parent), setUp_(std::move(setUp)) {
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, &TrayHostWatch::Check);
}

TrayHostWatch::~TrayHostWatch() = default;

QSystemTrayIcon& TrayHostWatch::Icon() {
    if (!icon_) {
        icon_ = std::make_unique<QSystemTrayIcon>();
        setUp_(*icon_);
    }
    return *icon_;
}

bool TrayHostWatch::StatusNotifierHostPresent() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(kWatcherService)) return false;
    // What Qt asks before it offers an item: a watcher alone, with no host
    // behind it, shows nothing.
    QDBusMessage get = QDBusMessage::createMethodCall(kWatcherService, QStringLiteral("/StatusNotifierWatcher"),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << kWatcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusMessage reply = bus.call(get, QDBus::Block, kBusTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return false;
    return reply.arguments().front().value<QDBusVariant>().variant().toBool();
}

bool TrayHostWatch::XEmbedTrayPresent() {
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display) return false;
    const QByteArray name = "_NET_SYSTEM_TRAY_S" + QByteArray::number(DefaultScreen(display));
    const Atom selection = XInternAtom(display, name.constData(), False);
    return XGetSelectionOwner(display, selection) != None;
}

void TrayHostWatch::Start() {
    if (!busWatch_ && QDBusConnection::sessionBus().isConnected()) {
        // A watcher that appears is looked at at once, not at the next poll.
        busWatch_ = std::make_unique<QDBusServiceWatcher>(kWatcherService, QDBusConnection::sessionBus(),
                                                          QDBusServiceWatcher::WatchForRegistration);
        connect(busWatch_.get(), &QDBusServiceWatcher::serviceRegistered, this, [this] {
            if (!shown_) QTimer::singleShot(100, this, &TrayHostWatch::Check);  // its host registers just after
        });
    }
    Check();
    if (shown_) return;
    if (!message_) {  // once a run
        // Not modal: the program keeps running (and its timer ticking) while
        // the box is open.
        message_ = std::make_unique<QMessageBox>(QMessageBox::Information, QString::fromUtf8(kAppTitle),
                                                 tr(kWaitingForTrayMessage), QMessageBox::Ok);
        message_->setObjectName(QStringLiteral("msg_WaitingForTray"));
        message_->setWindowModality(Qt::NonModal);
        message_->show();
    }
    poll_.start();
}

void TrayHostWatch::Check() {
    if (shown_) return;
    if (!StatusNotifierHostPresent() && !XEmbedTrayPresent()) return;
    poll_.stop();
    busWatch_.reset();
    // Only now may Qt look for a host: what it finds first it keeps.
    Icon().show();
    shown_ = true;
    if (message_) message_->close();
}

}  // namespace vantoria
