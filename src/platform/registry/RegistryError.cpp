#include "platform/registry/RegistryError.h"

#include <unistd.h>

#include <cerrno>

namespace vantoria::registry {

void PrintRegistryMessage(std::string_view message) {
    std::string line = "vantoria: ";
    line += message;
    line += '\n';
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t wrote = ::write(STDERR_FILENO, line.data() + done, line.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return;  // nowhere to report to
        done += static_cast<std::size_t>(wrote);
    }
}

}  // namespace vantoria::registry
