// Reading the registry file without trusting it.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <pwd.h>

#include "platform/registry/RegistryFile.h"
#include "platform/registry/RegistryText.h"
#include "platform/posix/UniqueFd.h"

namespace vantoria::registry {
namespace {

std::filesystem::path HomeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return ".";
}

constexpr const char* kNotRegular = "not a regular file";

RegistrySnapshot Unreadable(FileState state, const std::filesystem::path& file, const std::string& why) {
    RegistrySnapshot snapshot;
    snapshot.state = state;
    snapshot.problem = "cannot read settings file " + file.string() + ": " + why;
    snapshot.reason = why;
    return snapshot;
}

}  // namespace

std::filesystem::path RegistryFilePath() {
    std::filesystem::path base;
    // Relative values are invalid by the XDG rules and are ignored.
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/')
        base = config;
    else
        base = HomeDirectory() / ".config";
    return base / "vantoria" / "registry.reg";
}

std::filesystem::path RegistryLockPath(const std::filesystem::path& file) {
    std::filesystem::path lock = file;
    lock += ".lock";
    return lock;
}

namespace {

RegistrySnapshot ReadUnguarded(const std::filesystem::path& file) {
    // O_NONBLOCK: a FIFO in the file's place must not hang us.
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat info {};
    if (!fd) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) return {};
        // Only a regular file is ever replaced; one we may not read is kept
        // aside by the next save.
        const bool regular = ::stat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode);
        const bool lasting = error == EACCES || error == EPERM || error == EOVERFLOW;
        return Unreadable(regular && lasting ? FileState::Unusable : FileState::Failed, file,
                          std::strerror(error));
    }
    if (::fstat(fd.Get(), &info) != 0) return Unreadable(FileState::Failed, file, std::strerror(errno));
    if (!S_ISREG(info.st_mode)) return Unreadable(FileState::Failed, file, kNotRegular);

    const std::string tooLarge = "larger than " + std::to_string(kMaxRegistryFileSize / (1024 * 1024)) + " MiB";
    if (static_cast<std::uintmax_t>(info.st_size) > kMaxRegistryFileSize)
        return Unreadable(FileState::Unusable, file, tooLarge);

    // The size from fstat is only a hint: the file may grow while we read.
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            return Unreadable(FileState::Failed, file, std::strerror(errno));
        }
        if (got == 0) break;
        if (bytes.size() + static_cast<std::size_t>(got) > kMaxRegistryFileSize)
            return Unreadable(FileState::Unusable, file, tooLarge);
        bytes.append(buffer, static_cast<std::size_t>(got));
    }

    RegistrySnapshot snapshot;
    ParseReport report;
    snapshot.model = ParseRegistryText(bytes, report);
    if (report.Clean()) {
        snapshot.state = FileState::Clean;
    } else {
        snapshot.state = FileState::Damaged;
        snapshot.reason = report.Describe();
        snapshot.problem = "settings file " + file.string() + " is damaged (" + report.Describe() +
                           "); using what could be read";
    }
    return snapshot;
}

}  // namespace

RegistrySnapshot ReadRegistryFile(const std::filesystem::path& file) {
    // The parser keeps memory in proportion to the file, which is capped; if
    // even that cannot be had, the program runs on defaults and a save
    // refuses rather than overwrite settings it could not read.
    try {
        return ReadUnguarded(file);
    } catch (const std::bad_alloc&) {
        return Unreadable(FileState::Failed, file, "not enough memory");
    }
}

}  // namespace vantoria::registry
