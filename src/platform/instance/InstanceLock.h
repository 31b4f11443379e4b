#pragma once
// The single-instance guard: an advisory lock on a file named after the
// guard in the user's runtime folder. The kernel drops the lock when the
// process ends, so a crash never blocks the next start.

#include "platform/posix/UniqueFd.h"

#include <optional>
#include <string>

namespace vantoria {

class InstanceLock {
public:
    // Takes the lock named `name`; nullopt when another process holds it
    // (or the lock file cannot be opened at all).
    static std::optional<InstanceLock> Acquire(const std::string& name);

    // Where the lock file for `name` lives: $XDG_RUNTIME_DIR/name, or a
    // per-user file in the temp folder when that is unset.
    static std::string PathFor(const std::string& name);

    // Gives the lock up before the object goes (closing the file does).
    void Release() { fd_.Reset(); }

private:
    explicit InstanceLock(UniqueFd fd) : fd_(std::move(fd)) {}
    UniqueFd fd_;
};

}  // namespace vantoria
