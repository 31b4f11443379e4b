#pragma once
// The new settings file on its way to replacing the old one.
//
// It is written as an unnamed file (O_TMPFILE) in the target's folder and
// gets a name, ".registry.reg.XXXXXX", only for the rename that puts it in
// place: a process killed while writing leaves nothing behind. Where the
// file system has no unnamed files, it is a named file from the start.
// Either way the writer holds an flock on it for as long as it lives, which
// is how the sweep below tells a live copy from one a killed save left.

#include <sys/types.h>

#include <filesystem>
#include <string>

#include "platform/posix/UniqueFd.h"

namespace vantoria::registry {

class StagedFile {
public:
    // Writes `text` with `mode` into `folder`, durably (fsync).
    // Throws RegistryError on behalf of `file`.
    StagedFile(const std::filesystem::path& file, const std::filesystem::path& folder, const std::string& text,
               mode_t mode);
    ~StagedFile();  // removes the temporary name unless it was renamed into place
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // Renames the file over `target`: 0, or the errno of the failure (the
    // caller may undo what it did meanwhile before it reports).
    int Replace(const std::filesystem::path& target);

private:
    int OpenNamed();  // 0, or the errno of the failure
    [[nodiscard]] bool LinkUnnamed();

    const std::filesystem::path& file_;
    std::filesystem::path folder_;
    const std::string& text_;
    mode_t mode_;
    UniqueFd fd_;
    std::filesystem::path path_;  // the temporary name, once there is one
};

// Whether `name` is one of the temporary names above.
bool IsStagedName(const std::string& name);

// Removes the copies killed saves left in `folder`: temporary names, regular
// files of this user with one link, that nobody holds an flock on. With
// `underOwnLock` the caller holds the save lock for this folder's settings
// file, so no save of ours is half-way; otherwise (the settings file is a
// link into another folder, whose savers may take another lock) only copies
// untouched for a minute go. Failures are ignored: this is tidying.
void RemoveStaleCopies(const std::filesystem::path& folder, bool underOwnLock);

}  // namespace vantoria::registry
