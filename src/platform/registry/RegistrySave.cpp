// Saving: a locked read-modify-write that replaces the file atomically.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>
#include <thread>

#include "platform/registry/RegistryError.h"
#include "platform/registry/RegistryFile.h"
#include "platform/registry/RegistryPath.h"
#include "platform/registry/RegistryStagedFile.h"
#include "platform/registry/RegistryText.h"
#include "platform/posix/UniqueFd.h"

namespace vantoria::registry {
namespace {

namespace fs = std::filesystem;

// Saves take milliseconds; a lock held this long belongs to a stuck process.
constexpr auto kLockWait = std::chrono::seconds(30);
constexpr auto kLockRetry = std::chrono::milliseconds(10);

// Throws on behalf of the file being saved.
class Failure {
public:
    explicit Failure(const fs::path& file) : file_(file) {}
    [[noreturn]] void Throw(const std::string& reason) const { throw RegistryError(file_, reason); }
    [[noreturn]] void ThrowErrno(int error) const { Throw(std::strerror(error)); }
    const fs::path& File() const { return file_; }

private:
    const fs::path& file_;
};

UniqueFd TakeLock(const fs::path& file, const Failure& fail) {
    const fs::path lockPath = RegistryLockPath(file);
    UniqueFd lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600));
    const int first = errno;
    if (!lock && first == EACCES)  // someone else's lock file: flock works read-only too
        lock = UniqueFd(::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    // The first failure is the one that explains: in a read-only folder the
    // second try only finds no lock file.
    if (!lock) fail.ThrowErrno(first);

    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    while (::flock(lock.Get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) fail.ThrowErrno(errno);
        if (std::chrono::steady_clock::now() >= deadline)
            fail.Throw("the file is locked by another process (" + lockPath.string() + ")");
        std::this_thread::sleep_for(kLockRetry);
    }
    return lock;
}

// The file a rename must replace: through symbolic links, the file they
// lead to (which may not exist yet), so that linked dotfiles stay linked.
fs::path ReplacementTarget(const fs::path& file) {
    fs::path path = file;
    for (int depth = 0; depth < 40; ++depth) {  // the kernel's own limit
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(path, error))) return path;
        const fs::path next = fs::read_symlink(path, error);
        if (error) return path;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return path;  // a loop of links, refused below as not a regular file
}

// Whether the user may write the file. Root may write anything, but a file
// that nobody may write was made read-only on purpose.
bool UserMayWrite(const fs::path& target, const struct stat& info) {
    if (::geteuid() == 0) return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
    return ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0;
}

bool SameFolder(const fs::path& a, const fs::path& b) {
    struct stat first {}, second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

// Only a regular file that the user may write is ever replaced. A link to
// /dev/null or to a folder is someone's way of keeping the settings out, a
// read-only file someone's way of freezing them; either stays as it is.
void CheckReplaceable(const fs::path& target, const Failure& fail) {
    struct stat info {};
    if (::lstat(target.c_str(), &info) != 0) {
        if (errno == ENOENT) return;  // a new file
        fail.ThrowErrno(errno);
    }
    if (!S_ISREG(info.st_mode)) fail.Throw(target.string() + " is not a regular file and is left as it is");
    if (UserMayWrite(target, info)) return;
    if (::geteuid() != 0 && ::geteuid() != info.st_uid) fail.ThrowErrno(EACCES);  // someone else's
    fail.Throw(target.string() + " is read-only and is left as it is");
}

// Keeps a file that could not be read whole as <target>.damaged, the newest
// one only. A second name keeps the settings file in place until the new one
// replaces it; where the folder allows no second name the file is moved, and
// true is returned so that a failed replacement can move it back.
bool KeepDamaged(const fs::path& target, const fs::path& kept, const Failure& fail) {
    struct stat info {};
    if (::lstat(kept.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode)) fail.Throw(kept.string() + " is in the way: it is not a regular file");
        if (::unlink(kept.c_str()) != 0) fail.ThrowErrno(errno);
    }
    if (::link(target.c_str(), kept.c_str()) == 0) return false;
    if (::rename(target.c_str(), kept.c_str()) != 0) fail.ThrowErrno(errno);
    return true;
}

// Replaces `target` with `text`; a file that lost anything in reading is
// kept beside it first.
void WriteReplacing(const fs::path& target, const std::string& text, FileState state, const Failure& fail) {
    // Keep the permissions of the file we replace; a new one is private, as
    // is the one for a file we could not even read.
    mode_t mode = 0600;
    struct stat info {};
    if (state != FileState::Unusable && ::stat(target.c_str(), &info) == 0 && S_ISREG(info.st_mode))
        mode = info.st_mode & 07777;
    StagedFile staged(fail.File(), target.parent_path(), text, mode);

    const bool damaged = state == FileState::Damaged || state == FileState::Unusable;
    fs::path kept = target;
    kept += ".damaged";
    const bool moved = damaged && KeepDamaged(target, kept, fail);
    if (const int error = staged.Replace(target); error != 0) {
        if (moved) ::rename(kept.c_str(), target.c_str());
        fail.ThrowErrno(error);
    }
    if (damaged)
        PrintRegistryMessage("the settings file " + target.string() + " could not be read whole; it is kept as " +
                             kept.string() + " and a new one is written");

    // Make the rename itself durable; failing here loses nothing already written.
    UniqueFd folder(::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder) ::fsync(folder.Get());
}

}  // namespace

void SeedUserProfile(RegistryModel& model) {
    const std::string desktop = JoinKeyPath(kCurrentUser, "Control Panel\\desktop");
    if (model.HasKey(desktop)) return;
    model.SetValue(desktop, "TileWallPaper", "0");
    model.SetValue(desktop, "Wallpaper", "");
}

RegistryModel SaveRegistryChanges(const fs::path& file, const RegistryChanges& changes) {
    const Failure fail(file);
    std::error_code error;
    fs::create_directories(file.parent_path(), error);
    if (error) fail.Throw(error.message());

    const UniqueFd lock = TakeLock(file, fail);
    const fs::path target = ReplacementTarget(file);
    RemoveStaleCopies(target.parent_path(), SameFolder(target.parent_path(), file.parent_path()));
    CheckReplaceable(target, fail);
    const RegistrySnapshot before = ReadRegistryFile(file);
    if (before.state == FileState::Failed) fail.Throw(before.reason);

    RegistryModel after = before.model;
    SeedUserProfile(after);
    changes.ApplyTo(after);
    if (before.state == FileState::Clean && after == before.model) return after;

    const std::string text = FormatRegistryText(after);
    if (text.size() > kMaxRegistryFileSize)
        fail.Throw("the settings would be larger than the limit of " +
                   std::to_string(kMaxRegistryFileSize) + " bytes");
    WriteReplacing(target, text, before.state, fail);
    return after;
}

}  // namespace vantoria::registry
