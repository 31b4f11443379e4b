#include "QuietStderr.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <string>

namespace vantoria::spi {

namespace {

std::mutex gMutex;
int gUsers = 0;
int gSaved = -1;  // the real stderr
int gPipe = -1;   // the read end of what stands in for it

void WriteAll(int fd, const char* data, std::size_t n) {
    while (n > 0) {
        const ssize_t done = ::write(fd, data, n);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return;
        data += done, n -= static_cast<std::size_t>(done);
    }
}

}  // namespace

QuietStderr::QuietStderr(bool (*drop)(std::string_view line)) : drop_(drop) {
    const std::lock_guard lock(gMutex);
    if (gUsers > 0) {
        ++gUsers;
        active_ = true;
        return;
    }
    int ends[2];
    // Non-blocking: a library that writes more than the pipe holds loses
    // the rest instead of stopping.
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;
    std::fflush(stderr);
    const int saved = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (saved < 0 || ::dup2(ends[1], STDERR_FILENO) < 0) {
        if (saved >= 0) ::close(saved);
        ::close(ends[0]);
        ::close(ends[1]);
        return;
    }
    ::close(ends[1]);
    gSaved = saved;
    gPipe = ends[0];
    gUsers = 1;
    active_ = true;
}

QuietStderr::~QuietStderr() {
    if (!active_) return;
    const std::lock_guard lock(gMutex);
    if (--gUsers > 0) return;
    std::fflush(stderr);
    ::dup2(gSaved, STDERR_FILENO);
    ::close(gSaved);
    std::string text;
    char piece[4096];
    for (ssize_t n; (n = ::read(gPipe, piece, sizeof piece)) != 0;) {
        if (n > 0) text.append(piece, static_cast<std::size_t>(n));
        else if (errno != EINTR) break;
    }
    ::close(gPipe);
    gSaved = gPipe = -1;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end + 1;
        const std::string_view line(text.data() + at, end - at);
        if (!drop_(line)) WriteAll(STDERR_FILENO, line.data(), line.size());
        at = end;
    }
}

}  // namespace vantoria::spi
