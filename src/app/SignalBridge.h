#pragma once
// Turns the signals a desktop session sends at logout (SIGTERM, SIGHUP) and
// Ctrl+C (SIGINT) into a Qt signal delivered on the user-interface thread,
// so the program ends through its normal close path and saves its settings.

#include <QObject>
#include <memory>

class QSocketNotifier;

namespace vantoria {

class SignalBridge : public QObject {
    Q_OBJECT
public:
    // Installs the handlers. Call it first thing in main: a signal that
    // arrives before the event loop runs is kept and delivered once it does.
    static void InstallHandlers();

    // Delivers the kept and future signals on this thread's event loop.
    explicit SignalBridge(QObject* parent = nullptr);
    ~SignalBridge() override;

signals:
    void terminationRequested(int signalNumber);

private:
    void readSignal();
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace vantoria
