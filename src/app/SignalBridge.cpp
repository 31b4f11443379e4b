#include "app/SignalBridge.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <iterator>
#include <sys/socket.h>
#include <unistd.h>

namespace vantoria {
namespace {

int pipeFds[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
bool handled[std::size(kSignals)] = {};  // which of them got our handler

extern "C" void OnSignal(int number) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    // Nothing more is safe in a handler; a full pipe already holds a request.
    [[maybe_unused]] const ssize_t n = ::write(pipeFds[1], &byte, 1);
    errno = saved;
}

}  // namespace

void SignalBridge::InstallHandlers() {
    if (pipeFds[0] >= 0) return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pipeFds) != 0) {
        return;  // without the pipe the default actions stay in force
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        // A signal ignored when we were started (nohup, a session that
        // ignores SIGINT in background jobs) stays ignored.
        struct sigaction current {};
        if (sigaction(kSignals[i], nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
        handled[i] = sigaction(kSignals[i], &action, nullptr) == 0;
    }
}

SignalBridge::SignalBridge(QObject* parent) : QObject(parent) {
    InstallHandlers();
    if (pipeFds[0] < 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(pipeFds[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &SignalBridge::readSignal);
}

SignalBridge::~SignalBridge() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        if (handled[i]) sigaction(kSignals[i], &action, nullptr);
    }
}

void SignalBridge::readSignal() {
    unsigned char byte = 0;
    while (::read(pipeFds[0], &byte, 1) == 1) {
        emit terminationRequested(byte);
    }
}

}  // namespace vantoria
