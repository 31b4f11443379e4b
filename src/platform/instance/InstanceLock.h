#pragma once
// The single-instance guard: advisory locks on files named after the guard.
// The first lies in the user's runtime folder, or, when that folder is
// missing, not the user's own or unusable, in a private per-user folder in
// the temp folder. The second lies beside the settings, so that the guard
// holds for one user even where programs started from different places see
// different runtime folders (or none); it is named after the machine too, so
// that a home folder shared over the network still lets each machine run
// its own. Both are taken in that order, which leaves exactly one of several
// programs started at once. The kernel drops the locks when the process
// ends, so a crash never blocks the next start.

#include "platform/posix/UniqueFd.h"

#include <optional>
#include <string>

namespace vantoria {

class InstanceLock {
public:
    // Takes the lock named `name`, and, unless `settingsFolder` is empty,
    // SettingsLockName(name) in that folder (made, with its parents, when
    // missing).
    // nullopt, silently, when another process holds either; nullopt after
    // one line on standard error saying why when no lock could be taken at
    // all. A settings folder that is not this user's own, closed to others,
    // is passed over.
    [[nodiscard]] static std::optional<InstanceLock> Acquire(const std::string& name,
                                                             const std::string& settingsFolder = {});

    // "<name>-<host name>.lock", the host name's characters other than
    // letters, digits, '.', '-' and '_' made '_'.
    static std::string SettingsLockName(const std::string& name);

    // $XDG_RUNTIME_DIR when it is set and a folder of this user's that
    // others may not write; else "" (use PrivateFolder).
    static std::string RuntimeFolder();
    // The fallback: "vantoria-<uid>" in $TMPDIR (or /tmp). Made with mode
    // 0700 when missing, and used only while it is this user's own folder,
    // closed to others, so that nobody else can take or hold our lock.
    static std::string PrivateFolder();

    // Gives the locks up before the object goes (closing the files does).
    void Release() {
        fd_.Reset();
        settingsFd_.Reset();
    }

private:
    InstanceLock(UniqueFd fd, UniqueFd settingsFd) : fd_(std::move(fd)), settingsFd_(std::move(settingsFd)) {}
    UniqueFd fd_;
    UniqueFd settingsFd_;
};

}  // namespace vantoria
