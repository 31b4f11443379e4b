#pragma once
// The per-user registry file, $XDG_CONFIG_HOME/vantoria/registry.reg
// (~/.config when the variable is unset, empty or not absolute).
//
// Reading never fails: it yields what could be read and says what went wrong.
// Saving is a locked read-modify-write: under an exclusive flock on
// registry.reg.lock in the same folder the file is read afresh, this
// process's changes are applied on top, and the result replaces the file
// atomically (an unnamed file in the same folder, fsync, a temporary name,
// rename). Two processes saving at once therefore never lose each other's
// keys. A killed save leaves nothing; the rare copy one killed between
// naming and renaming left (or one on a file system without unnamed files)
// is removed by the next save (RegistryStagedFile.h).
//
// Only a regular file that the user may write is ever replaced. Anything
// else in the file's place (a FIFO, a device node, a folder, directly or
// through a link) and a read-only file are left as they are: the program
// runs on what it could read and every save fails with a message. Before a
// file that lost anything in reading (damaged lines, or nothing readable at
// all, e.g. larger than kMaxRegistryFileSize) is rewritten, the original is
// kept beside it as registry.reg.damaged (the newest one only), which is
// said once on standard error. If the file is a symbolic link, the file it
// leads to is replaced, so that linked dotfiles stay linked.

#include <cstddef>
#include <filesystem>
#include <string>

#include "platform/registry/RegistryChanges.h"
#include "platform/registry/RegistryModel.h"

namespace vantoria::registry {

// No settings file is near this; a larger one is not read (nor slurped).
inline constexpr std::size_t kMaxRegistryFileSize = 16u * 1024u * 1024u;

// Computed from the environment at each call.
std::filesystem::path RegistryFilePath();

// The lock file beside `file`.
std::filesystem::path RegistryLockPath(const std::filesystem::path& file);

enum class FileState {
    Missing,   // no file yet (first start)
    Clean,     // read completely
    Damaged,   // read in part: see the problem text; a save keeps it first
    Unusable,  // a regular file, nothing read; a save keeps it first
    Failed,    // nothing read: no regular file there, or a passing reason
               // (e.g. I/O error); a save refuses
};

struct RegistrySnapshot {
    RegistryModel model;
    FileState state = FileState::Missing;
    std::string problem;  // one sentence for the user; empty for Missing and Clean
    std::string reason;   // its short cause, e.g. "Permission denied"
};

RegistrySnapshot ReadRegistryFile(const std::filesystem::path& file);

// Gives the registry the keys a new user profile has, where they are
// missing: [HKEY_CURRENT_USER\Control Panel\desktop] with "TileWallPaper"="0"
// and "Wallpaper"="". Done at every load and every save, so that a file
// that lost the key (or never had it) gets it back.
void SeedUserProfile(RegistryModel& model);

// Applies `changes` to the file as described above, on top of the seeded
// profile. Nothing is written when the changes leave a clean file as it was.
// Returns the registry as it now stands.
// Throws RegistryError: "cannot save settings to <file>: <reason>".
RegistryModel SaveRegistryChanges(const std::filesystem::path& file, const RegistryChanges& changes);

}  // namespace vantoria::registry
