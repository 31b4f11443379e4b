#pragma once
// Runs a call that might block forever in a forked child with a time limit,
// so that a regression fails the test instead of stalling the run.

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <string>

namespace imagingtest {

// What `call` returned in the child, or "hung" when the child was still at
// it after `seconds`, or "crashed" when it died otherwise.
template <typename Call>
std::string InChild(Call call, unsigned seconds = 10) {
    int fds[2];
    if (::pipe(fds) != 0) return "no pipe";
    const pid_t pid = ::fork();
    if (pid < 0) return "no fork";
    if (pid == 0) {
        ::close(fds[0]);
        ::alarm(seconds);
        std::string answer;
        try {
            answer = call();
        } catch (...) {
            answer = "unexpected exception";
        }
        for (std::size_t done = 0; done < answer.size();) {
            const ssize_t n = ::write(fds[1], answer.data() + done, answer.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        ::_exit(0);   // no test framework teardown in the child
    }
    ::close(fds[1]);
    std::string answer;
    char buffer[256];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) != 0;) {
        if (n > 0) answer.append(buffer, static_cast<std::size_t>(n));
        else if (errno != EINTR) break;
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    if (WIFSIGNALED(status)) return WTERMSIG(status) == SIGALRM ? "hung" : "crashed";
    return answer;
}

}  // namespace imagingtest
