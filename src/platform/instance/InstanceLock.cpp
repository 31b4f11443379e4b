#include "platform/instance/InstanceLock.h"

#include "platform/report/Reporter.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantoria {
namespace {

// A folder of this user's that nobody else may change; else says why not.
bool OwnFolder(const std::string& path, std::string& why) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        why = path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        why = path + " is not a folder of this user's that only this user may write";
        return false;
    }
    return true;
}

enum class Outcome { Taken, Held, Failed };

// Opens the lock file in `folder` and takes its lock without waiting.
Outcome TakeIn(const std::string& folder, const std::string& name, UniqueFd& fd, std::string& why) {
    std::string path = folder + "/" + name;
    // O_NOFOLLOW: a planted link must not make us create a file elsewhere.
    fd = UniqueFd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600));
    if (fd && ::flock(fd.Get(), LOCK_EX | LOCK_NB) == 0) return Outcome::Taken;
    if (fd && errno == EWOULDBLOCK) return Outcome::Held;
    why = path + ": " + std::strerror(errno);
    return Outcome::Failed;
}

}  // namespace

std::string InstanceLock::RuntimeFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string why;
    if (!runtime || runtime[0] != '/' || !OwnFolder(runtime, why)) return {};
    return runtime;
}

std::string InstanceLock::PrivateFolder() {
    const char* tmp = std::getenv("TMPDIR");
    const std::string base = (tmp && tmp[0] == '/') ? tmp : "/tmp";
    return base + "/vantoria-" + std::to_string(::geteuid());
}

std::optional<InstanceLock> InstanceLock::Acquire(const std::string& name) {
    std::string why;
    UniqueFd fd;
    // Only a lock that another process holds means "another instance runs";
    // any other failure tries the next folder.
    if (const std::string runtime = RuntimeFolder(); !runtime.empty()) {
        const Outcome outcome = TakeIn(runtime, name, fd, why);
        if (outcome == Outcome::Taken) return InstanceLock(std::move(fd));
        if (outcome == Outcome::Held) return std::nullopt;
    }
    const std::string folder = PrivateFolder();
    std::string fallbackWhy;
    ::mkdir(folder.c_str(), 0700);  // one already there is checked below
    if (OwnFolder(folder, fallbackWhy)) {
        const Outcome outcome = TakeIn(folder, name, fd, fallbackWhy);
        if (outcome == Outcome::Taken) return InstanceLock(std::move(fd));
        if (outcome == Outcome::Held) return std::nullopt;
    }
    // Before any window exists, so standard error it is.
    StderrReporter("vantoria: ").ShowError("cannot take the single-instance lock " + name,
                                           (why.empty() ? "" : why + "; ") + fallbackWhy);
    return std::nullopt;
}

}  // namespace vantoria
