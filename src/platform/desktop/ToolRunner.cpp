#include "platform/desktop/ToolRunner.h"

#include "platform/posix/UniqueFd.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

extern char** environ;

namespace vantoria::desktop {
namespace {

struct Pipe {
    UniqueFd read, write;
};

std::optional<Pipe> MakePipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
    Pipe p{UniqueFd(fds[0]), UniqueFd(fds[1])};
    ::fcntl(p.read.Get(), F_SETFL, O_NONBLOCK);
    return p;
}

// Reads what is there now; false at end of file.
bool ReadAvailable(int fd, std::string& into) {
    char buffer[8192];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            const std::size_t room = kMaxToolOutput - std::min(into.size(), kMaxToolOutput);
            into.append(buffer, std::min(room, static_cast<std::size_t>(got)));
            continue;
        }
        if (got == 0) return false;
        if (errno == EINTR) continue;
        return errno == EAGAIN || errno == EWOULDBLOCK;
    }
}

std::string FirstLine(const std::string& text) {
    const auto start = text.find_first_not_of(" \t\r\n");
    if (start == std::string::npos) return {};
    const auto end = text.find_first_of("\r\n", start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

class SpawnAttributes {
public:
    SpawnAttributes() {
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawnattr_init(&attributes);
    }
    ~SpawnAttributes() {
        ::posix_spawn_file_actions_destroy(&actions);
        ::posix_spawnattr_destroy(&attributes);
    }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
};

}  // namespace

ToolResult RunTool(const std::vector<std::string>& argv, std::chrono::milliseconds limit) {
    ToolResult result;
    if (argv.empty()) {
        result.reason = "no tool to run";
        return result;
    }
    const std::string& name = argv.front();
    auto out = MakePipe();
    auto err = MakePipe();
    if (!out || !err) {
        result.reason = "cannot run " + name + ": " + std::strerror(errno);
        return result;
    }

    SpawnAttributes spawn;
    ::posix_spawn_file_actions_addopen(&spawn.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(&spawn.actions, out->write.Get(), STDOUT_FILENO);
    ::posix_spawn_file_actions_adddup2(&spawn.actions, err->write.Get(), STDERR_FILENO);
    // Its own process group, so that a tool that hangs can be stopped along
    // with whatever it started; default signal handling, whatever ours is.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGCHLD);
    sigset_t none;
    sigemptyset(&none);
    ::posix_spawnattr_setpgroup(&spawn.attributes, 0);
    ::posix_spawnattr_setsigdefault(&spawn.attributes, &defaults);
    ::posix_spawnattr_setsigmask(&spawn.attributes, &none);
    ::posix_spawnattr_setflags(&spawn.attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF |
                                                      POSIX_SPAWN_SETSIGMASK);

    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    pid_t pid = -1;
    const int spawnError =
        ::posix_spawnp(&pid, name.c_str(), &spawn.actions, &spawn.attributes, args.data(), environ);
    out->write.Reset();
    err->write.Reset();
    if (spawnError != 0) {
        result.reason = "cannot run " + name + ": " +
                        (spawnError == ENOENT ? std::string("not found") : std::strerror(spawnError));
        return result;
    }

    std::string errors;
    std::array<pollfd, 2> fds{pollfd{out->read.Get(), POLLIN, 0}, pollfd{err->read.Get(), POLLIN, 0}};
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::optional<int> status;
    while (!status) {
        int st = 0;
        const pid_t done = ::waitpid(pid, &st, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR)) {
            status = done == pid ? st : -1;
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) break;
        // Short waits: the tool may leave a helper holding our pipes open,
        // so its exit, not the end of its output, ends the wait.
        ::poll(fds.data(), fds.size(), 50);
        for (auto& p : fds) {
            if (p.fd < 0 || !(p.revents & (POLLIN | POLLHUP | POLLERR))) continue;
            if (!ReadAvailable(p.fd, p.fd == out->read.Get() ? result.output : errors)) p.fd = -1;
        }
    }
    if (!status) {
        ::kill(-pid, SIGKILL);
        int st = 0;
        while (::waitpid(pid, &st, 0) < 0 && errno == EINTR) {
        }
        result.reason = name + " did not finish within " +
                        std::to_string((limit.count() + 999) / 1000) + " s";
        return result;
    }
    ReadAvailable(out->read.Get(), result.output);
    ReadAvailable(err->read.Get(), errors);

    if (*status >= 0 && WIFEXITED(*status) && WEXITSTATUS(*status) == 0) {
        result.ok = true;
        return result;
    }
    std::string detail = FirstLine(errors);
    if (detail.empty()) {
        if (*status >= 0 && WIFEXITED(*status))
            detail = "exit code " + std::to_string(WEXITSTATUS(*status));
        else if (*status >= 0 && WIFSIGNALED(*status))
            detail = std::string("killed by signal ") + std::to_string(WTERMSIG(*status));
        else
            detail = "lost track of it";
    }
    result.reason = name + " failed: " + detail;
    return result;
}

}  // namespace vantoria::desktop
