#include "imaging/helper/LoadAsNeeded.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

#include "imaging/SpiPlugin.h"
#include "imaging/Spi_load.h"

namespace vantoria::imaging::helper {

namespace {

// What a copy writes when none of its plug-ins takes the file.
constexpr char kNoneTook = 'n';

void LoadTheRest(TSpi_load& loader) {
    while (loader.LoadNextPlugin()) {
    }
}

// Ends this process as the copy with `status` ended.
[[noreturn]] void EndAs(int status) {
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        const rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
        ::signal(signal, SIG_DFL);
        sigset_t only;
        sigemptyset(&only);
        sigaddset(&only, signal);
        ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
        ::raise(signal);
        ::_exit(128 + signal);
    }
    ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 1);
}

enum class Round { InCopy, NoneTook, Failed };

// Makes the copy that asks the plug-ins after the first `asked`, and waits
// for its answer; a copy that goes on is waited for to its end.
Round AskInCopy(TSpi_load& loader, std::size_t asked) {
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) return Round::Failed;
    const pid_t self = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(pipe[0]);
        ::close(pipe[1]);
        return Round::Failed;
    }
    if (pid == 0) {
        ::close(pipe[0]);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != self) ::_exit(0);
        const int tell = pipe[1];
        loader.ContinueCheck(asked, [tell] {
            (void)::write(tell, &kNoneTook, 1);
            ::_exit(0);
        });
        return Round::InCopy;
    }
    ::close(pipe[1]);
    char answer = 0;
    ssize_t got;
    do {
        got = ::read(pipe[0], &answer, 1);
    } while (got < 0 && errno == EINTR);
    ::close(pipe[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (got == 1 && answer == kNoneTook && WIFEXITED(status) && WEXITSTATUS(status) == 0) return Round::NoneTook;
    EndAs(status);
}

}  // namespace

bool LoadAsNeeded(TSpi_load& loader, bool asksPlugins) {
    loader.BeginPluginScan();
    if (!asksPlugins) return true;
    std::size_t asked = 0;
    for (;;) {
        // Up to a plug-in not asked yet, and on through libraries this
        // process has loaded already (ahead of the request), which cost
        // nothing more.
        while (loader.ScannedPlugins() == asked || PluginLibraryLoaded(loader.NextPluginPath())) {
            if (!loader.LoadNextPlugin()) break;
        }
        if (loader.NextPluginPath().empty()) break;
        const Round round = AskInCopy(loader, asked);
        if (round == Round::InCopy) return false;
        if (round == Round::Failed) {
            LoadTheRest(loader);
            break;
        }
        asked = loader.ScannedPlugins();
    }
    loader.ContinueCheck(asked, nullptr);
    return true;
}

bool AnythingToRead(int socket) {
    pollfd poller{socket, POLLIN, 0};
    return ::poll(&poller, 1, 0) != 0;
}

}  // namespace vantoria::imaging::helper
