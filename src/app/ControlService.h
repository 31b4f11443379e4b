#pragma once
// The running tray program on the session bus: the name
// example.brightmoss.Vantoria, the object /example/brightmoss/Vantoria with
// the interface of the same name. Paths are data: they reach the program as
// given, never through a shell.
//
// A call that fails answers with a D-Bus error whose message is the text the
// message box would have shown; the box itself does not open for it.

#include <QDBusContext>
#include <QObject>
#include <QString>

#include <cstdlib>
#include <filesystem>
#include <functional>

namespace vantoria {

class ControlHost;

inline constexpr const char* kBusName = "example.brightmoss.Vantoria";
inline constexpr const char* kBusPath = "/example/brightmoss/Vantoria";
inline constexpr const char* kBusInterface = "example.brightmoss.Vantoria";
inline constexpr const char* kBusError = "example.brightmoss.Vantoria.Error.Failed";

// Whether there is a session bus to talk to: an address in the environment,
// or the user's bus socket in XDG_RUNTIME_DIR. Without either, libdbus would
// start a bus of its own through dbus-launch, which nobody else would find.
inline bool SessionBusKnown() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && *address) return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::error_code ignored;
    return runtime && *runtime && std::filesystem::exists(std::filesystem::path(runtime) / "bus", ignored);
}

class ControlService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "example.brightmoss.Vantoria")
    Q_PROPERTY(QString Wallpaper READ Wallpaper)
    Q_PROPERTY(bool AutoChange READ AutoChange WRITE SetAutoChange)

public:
    // `host` must outlive the service.
    explicit ControlService(ControlHost& host, QObject* parent = nullptr);

    // Exports the object and takes the name on the session bus; false with
    // `error` set when there is no bus or the name is someone else's.
    bool Register(QString& error);

    QString Wallpaper() const;
    bool AutoChange() const;
    void SetAutoChange(bool on);

    // The program calls this after every change of the wallpaper.
    void NotifyChanged(const QString& path);

public slots:
    void Next();
    void Previous();
    void Redraw();
    void SetWallpaper(const QString& path);
    void ShowChooser();
    void ShowSettings();

signals:
    void WallpaperChanged(const QString& path);

private:
    // Runs `call` with errors caught instead of shown; answers the caller
    // with the first of them, if any.
    void Guarded(const std::function<void()>& call);

    ControlHost& host_;
};

}  // namespace vantoria
