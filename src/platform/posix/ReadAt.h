#pragma once
// Reading a descriptor at an offset, through interrupted and short reads.

#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace vantoria {

// Up to `count` bytes at `offset` into `data`; fewer only at the end of the
// file. Nothing when a read fails (errno says why).
inline std::optional<std::size_t> ReadAt(int fd, std::uint8_t* data, std::size_t count, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd, data + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

}  // namespace vantoria
