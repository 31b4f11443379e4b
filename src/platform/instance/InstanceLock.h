#pragma once
// The single-instance guard: an advisory lock on a file named after the
// guard in the user's runtime folder, or, when that folder is missing, not
// the user's own or unusable, in a private per-user folder in the temp
// folder. The kernel drops the lock when the process ends, so a crash never
// blocks the next start.

#include "platform/posix/UniqueFd.h"

#include <optional>
#include <string>

namespace vantoria {

class InstanceLock {
public:
    // Takes the lock named `name`. nullopt, silently, when another process
    // holds it; nullopt after one line on standard error saying why when
    // no lock could be taken at all, in either folder.
    [[nodiscard]] static std::optional<InstanceLock> Acquire(const std::string& name);

    // $XDG_RUNTIME_DIR when it is set and a folder of this user's that
    // others may not write; else "" (use PrivateFolder).
    static std::string RuntimeFolder();
    // The fallback: "vantoria-<uid>" in $TMPDIR (or /tmp). Made with mode
    // 0700 when missing, and used only while it is this user's own folder,
    // closed to others, so that nobody else can take or hold our lock.
    static std::string PrivateFolder();

    // Gives the lock up before the object goes (closing the file does).
    void Release() { fd_.Reset(); }

private:
    explicit InstanceLock(UniqueFd fd) : fd_(std::move(fd)) {}
    UniqueFd fd_;
};

}  // namespace vantoria
