#include "platform/registry/RegistryStagedFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <string_view>

#include "platform/registry/RegistryError.h"

namespace vantoria::registry {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kPrefix = ".registry.reg.";
constexpr std::size_t kSuffixLength = 6;  // as mkostemp makes them
constexpr std::string_view kSuffixChars = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
// A copy in a folder whose savers may take another lock is left this long:
// a live save names its copy and renames it within milliseconds.
constexpr std::time_t kForeignCopyAge = 60;

std::string RandomName() {
    unsigned char bytes[kSuffixLength] = {};
    if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
        // Only uniqueness matters here, and a clash just means another try.
        static unsigned counter = 0;
        const unsigned seed = static_cast<unsigned>(::getpid()) * 2654435761u + counter++ * 40503u +
                              static_cast<unsigned>(std::time(nullptr));
        for (std::size_t i = 0; i < kSuffixLength; ++i) bytes[i] = static_cast<unsigned char>(seed >> (i * 5));
    }
    std::string name(kPrefix);
    for (unsigned char byte : bytes) name += kSuffixChars[byte % kSuffixChars.size()];
    return name;
}

// 0, or the errno of the failure.
int WriteDurably(int fd, const std::string& text, mode_t mode) {
    // Marks the copy as live for any sweep; nobody else has it open yet.
    ::flock(fd, LOCK_EX | LOCK_NB);
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
        if (wrote < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += static_cast<std::size_t>(wrote);
    }
    if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0) return errno;
    return 0;
}

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

}  // namespace

bool IsStagedName(const std::string& name) {
    if (name.size() != kPrefix.size() + kSuffixLength || name.compare(0, kPrefix.size(), kPrefix) != 0) return false;
    return name.find_first_not_of(kSuffixChars, kPrefix.size()) == std::string::npos;
}

StagedFile::StagedFile(const fs::path& file, const fs::path& folder, const std::string& text, mode_t mode)
    : file_(file), folder_(folder), text_(text), mode_(mode) {
    fd_ = UniqueFd(::open(folder_.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    int error = fd_ ? 0 : errno;
    if (error == EOPNOTSUPP || error == EISDIR || error == EINVAL) error = OpenNamed();
    if (error == 0) error = WriteDurably(fd_.Get(), text_, mode_);
    if (error != 0) throw RegistryError(file_, std::strerror(error));
}

StagedFile::~StagedFile() {
    if (!path_.empty()) ::unlink(path_.c_str());
}

int StagedFile::OpenNamed() {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path name = folder_ / RandomName();
        fd_ = UniqueFd(::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (fd_) {
            path_ = name;
            return 0;
        }
        if (errno != EEXIST) return errno;
    }
    return EEXIST;
}

// Gives the unnamed file a fresh temporary name. False when the system
// allows no link to it (no privilege for AT_EMPTY_PATH and no /proc).
bool StagedFile::LinkUnnamed() {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path name = folder_ / RandomName();
        if (::linkat(fd_.Get(), "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) {
            path_ = name;
            return true;
        }
        if (errno != EEXIST) {
            const std::string self = "/proc/self/fd/" + std::to_string(fd_.Get());
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                path_ = name;
                return true;
            }
            if (errno != EEXIST) return false;
        }
    }
    return false;
}

int StagedFile::Replace(const fs::path& target) {
    if (path_.empty() && !LinkUnnamed()) {
        // Write it once more, as a named file from the start.
        if (const int error = OpenNamed(); error != 0) return error;
        if (const int error = WriteDurably(fd_.Get(), text_, mode_); error != 0) return error;
    }
    if (::rename(path_.c_str(), target.c_str()) != 0) return errno;
    path_.clear();
    // Written and synced already; the descriptor (and its flock) go now.
    fd_.Reset();
    return 0;
}

void RemoveStaleCopies(const fs::path& folder, bool underOwnLock) {
    const UniqueFd dirFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dirFd) return;
    const std::unique_ptr<DIR, DirCloser> dir(::fdopendir(::dup(dirFd.Get())));
    if (!dir) return;
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (!IsStagedName(name)) continue;
        struct stat info {};
        if (::fstatat(dirFd.Get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid() || info.st_nlink != 1) continue;
        if (!underOwnLock && now - info.st_mtime < kForeignCopyAge) continue;
        const UniqueFd copy(
            ::openat(dirFd.Get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (!copy) continue;
        struct stat opened {};
        if (::fstat(copy.Get(), &opened) != 0 || opened.st_dev != info.st_dev || opened.st_ino != info.st_ino)
            continue;
        if (::flock(copy.Get(), LOCK_EX | LOCK_NB) != 0) continue;  // a live save's
        ::unlinkat(dirFd.Get(), name.c_str(), 0);
    }
}

}  // namespace vantoria::registry
