#include "platform/instance/InstanceLock.h"

#include "platform/report/Reporter.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace vantoria {
namespace {

// A folder of this user's that nobody else may change; else says why not.
// `followLink`: a linked folder counts as the folder it leads to (settings
// kept in linked dotfiles).
bool OwnFolder(const std::string& path, std::string& why, bool followLink = false) {
    struct stat st {};
    if ((followLink ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0) {
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
    const int error = errno;
    const bool held = fd && error == EWOULDBLOCK;
    fd.Reset();
    if (held) return Outcome::Held;
    why = path + ": " + std::strerror(error);
    return Outcome::Failed;
}

}  // namespace

std::string InstanceLock::SettingsLockName(const std::string& name) {
    struct utsname system {};
    std::string host = ::uname(&system) == 0 ? system.nodename : "";
    for (char& c : host) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                           c == '-' || c == '_';
        if (!plain) c = '_';
    }
    if (host.empty() || host == "." || host == "..") host = "_";
    return name + "-" + host + ".lock";
}

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

std::optional<InstanceLock> InstanceLock::Acquire(const std::string& name, const std::string& settingsFolder) {
    std::string why;
    UniqueFd fd;
    // Only a lock that another process holds means "another instance runs";
    // any other failure tries the next place.
    bool taken = false;
    if (const std::string runtime = RuntimeFolder(); !runtime.empty()) {
        const Outcome outcome = TakeIn(runtime, name, fd, why);
        if (outcome == Outcome::Held) return std::nullopt;
        taken = outcome == Outcome::Taken;
    }
    std::string fallbackWhy;
    if (!taken) {
        const std::string folder = PrivateFolder();
        ::mkdir(folder.c_str(), 0700);  // one already there is checked below
        if (OwnFolder(folder, fallbackWhy)) {
            const Outcome outcome = TakeIn(folder, name, fd, fallbackWhy);
            if (outcome == Outcome::Held) return std::nullopt;
            taken = outcome == Outcome::Taken;
        }
    }
    // Always after the first, so that of two programs that each took a
    // first lock of their own, exactly one gets this one.
    UniqueFd settingsFd;
    std::string settingsWhy;
    if (!settingsFolder.empty()) {
        std::error_code ignored;
        std::filesystem::create_directories(std::filesystem::path(settingsFolder).parent_path(), ignored);
        ::mkdir(settingsFolder.c_str(), 0700);
        if (OwnFolder(settingsFolder, settingsWhy, true)) {
            const Outcome outcome = TakeIn(settingsFolder, SettingsLockName(name), settingsFd, settingsWhy);
            if (outcome == Outcome::Held) return std::nullopt;
            if (outcome == Outcome::Taken) taken = true;
        }
    }
    if (taken) return InstanceLock(std::move(fd), std::move(settingsFd));
    // Before any window exists, so standard error it is.
    std::string reasons = why;
    for (const std::string* more : {&fallbackWhy, &settingsWhy})
        if (!more->empty()) reasons += (reasons.empty() ? "" : "; ") + *more;
    StderrReporter("vantoria: ").ShowError("cannot take the single-instance lock " + name, reasons);
    return std::nullopt;
}

}  // namespace vantoria
