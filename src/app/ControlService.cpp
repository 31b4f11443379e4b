#include "app/ControlService.h"

#include "app/ControlHost.h"
#include "platform/report/Reporter.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QTimer>

#include <exception>
#include <stdexcept>

namespace vantoria {
namespace {

// Keeps the first message the program would have shown, with the detail
// the box shows below it: the message alone rarely says what went wrong.
class CapturingReporter final : public Reporter {
public:
    void ShowError(const std::string& message, const std::string& detail) override {
        if (first.empty()) first = detail.empty() ? message : message + " (" + detail + ")";
    }
    std::string first;
};

// The reporter in force again however the call ends.
class ReporterScope {
public:
    explicit ReporterScope(Reporter& capture) : previous_(&CurrentReporter()) { SetReporter(&capture); }
    ~ReporterScope() { SetReporter(previous_); }
    ReporterScope(const ReporterScope&) = delete;
    ReporterScope& operator=(const ReporterScope&) = delete;

private:
    Reporter* previous_;
};

}  // namespace

ControlService::ControlService(ControlHost& host, QObject* parent) : QObject(parent), host_(host) {}

bool ControlService::Register(QString& error) {
    if (!SessionBusKnown()) {
        error = QStringLiteral("no session bus");
        return false;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        error = QStringLiteral("no session bus: ") + bus.lastError().message();
        return false;
    }
    if (!bus.registerObject(QString::fromLatin1(kBusPath), this,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                                QDBusConnection::ExportAllProperties)) {
        error = QStringLiteral("cannot export ") + QString::fromLatin1(kBusPath);
        return false;
    }
    if (!bus.registerService(QString::fromLatin1(kBusName))) {
        bus.unregisterObject(QString::fromLatin1(kBusPath));
        error = QString::fromLatin1(kBusName) + QStringLiteral(" is taken: ") + bus.lastError().message();
        return false;
    }
    return true;
}

void ControlService::Guarded(const std::function<void()>& call) {
    CapturingReporter capture;
    {
        const ReporterScope scope(capture);
        try {
            call();
        } catch (const std::exception& e) {
            if (capture.first.empty()) capture.first = e.what();
        }
    }
    if (!capture.first.empty() && calledFromDBus())
        sendErrorReply(QString::fromLatin1(kBusError), QString::fromStdString(capture.first));
}

QString ControlService::Wallpaper() const { return QString::fromStdString(host_.Wallpaper()); }
bool ControlService::AutoChange() const { return host_.AutoChange(); }
void ControlService::SetAutoChange(bool on) {
    Guarded([&] { host_.SetAutoChange(on); });
}

void ControlService::NotifyChanged(const QString& path) { emit WallpaperChanged(path); }

void ControlService::Next() {
    Guarded([&] { host_.Next(); });
}

void ControlService::Previous() {
    Guarded([&] {
        if (!host_.Previous()) throw std::runtime_error("no earlier picture was shown since the program started");
    });
}

void ControlService::Redraw() {
    Guarded([&] { host_.Redraw(); });
}

void ControlService::SetWallpaper(const QString& path) {
    if (path.isEmpty()) {
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("no picture file given"));
        return;
    }
    Guarded([&] { host_.SetWallpaper(path.toStdString()); });
}

// The dialogs run their own event loop: they open once the caller has its answer.
void ControlService::ShowChooser() {
    QTimer::singleShot(0, this, [this] { host_.ShowChooser(); });
}

void ControlService::ShowSettings() {
    QTimer::singleShot(0, this, [this] { host_.ShowSettings(); });
}

}  // namespace vantoria
