#include "platform/instance/InstanceLock.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace vantoria {

std::string InstanceLock::PathFor(const std::string& name) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime) return std::string(runtime) + "/" + name;
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = (tmp && *tmp) ? tmp : "/tmp";
    return dir + "/" + name + "-" + std::to_string(getuid());
}

std::optional<InstanceLock> InstanceLock::Acquire(const std::string& name) {
    // O_NOFOLLOW: in a shared temp folder someone else could plant a link.
    UniqueFd fd(::open(PathFor(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd || ::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) return std::nullopt;
    return InstanceLock(std::move(fd));
}

}  // namespace vantoria
