#include "support/Child.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace vantoria::test {

Child::Child(const std::string& program, const std::vector<std::string>& args,
             const std::map<std::string, std::string>& env, const std::string& workDir) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        ::dup2(fds[1], 1);
        ::dup2(fds[1], 2);
        if (!workDir.empty() && ::chdir(workDir.c_str()) != 0) ::_exit(126);
        for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    outFd_ = fds[0];
    ::fcntl(outFd_, F_SETFL, O_NONBLOCK);
}

Child::~Child() {
    if (!status_ && pid_ > 0) {
        ::kill(pid_, SIGKILL);
        int st = 0;
        ::waitpid(pid_, &st, 0);
    }
    if (outFd_ >= 0) ::close(outFd_);
}

void Child::Signal(int number) const { ::kill(pid_, number); }

bool Child::Catches(int number) const {
    std::istringstream status(ReadFile("/proc/" + std::to_string(pid_) + "/status"));
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("SigCgt:", 0) == 0) {
            const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
            return (mask >> (number - 1)) & 1ULL;
        }
    }
    return false;
}

void Child::Drain() {
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(outFd_, buf, sizeof buf);
        if (n <= 0) break;
        output_.append(buf, static_cast<std::size_t>(n));
    }
}

bool Child::Running() {
    if (status_) return false;
    int st = 0;
    if (::waitpid(pid_, &st, WNOHANG) == pid_) {
        Drain();
        status_ = WIFEXITED(st) ? WEXITSTATUS(st) : -WTERMSIG(st);
        return false;
    }
    Drain();
    return true;
}

std::optional<int> Child::Wait(std::chrono::milliseconds limit) {
    WaitUntil([this] { return !Running(); }, limit);
    if (!status_ || *status_ < 0) return std::nullopt;
    return status_;
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vantoria-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Folders made read-only by a test must become writable to go.
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(path_, ec);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace vantoria::test
