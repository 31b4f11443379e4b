#pragma once
// The single-instance guard: an advisory lock on a file named after the
// guard in the user's runtime folder. The kernel drops the lock when the
// process ends, so a crash never blocks the next start.

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

    InstanceLock(InstanceLock&& other) noexcept;
    InstanceLock& operator=(InstanceLock&& other) noexcept;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    ~InstanceLock();

    // Gives the lock up before the object goes.
    void Release();

private:
    explicit InstanceLock(int fd) : fd_(fd) {}
    int fd_ = -1;
};

}  // namespace vantoria
