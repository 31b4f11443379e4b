#include "imaging/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace vantoria::imaging {

UniqueFd OpenRegularFile(const char* path, struct stat* info) {
    // O_NONBLOCK so that opening a FIFO cannot hang; cleared again below.
    UniqueFd fd(::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd) return fd;
    struct stat own {};
    struct stat& st = info ? *info : own;
    if (::fstat(fd.Get(), &st) != 0) return {};
    if (!S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return {};
    }
    const int flags = ::fcntl(fd.Get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return {};
    return fd;
}

std::string OpenFailure(const std::string& path) {
    const int error = errno;
    // ENXIO is what open gives for a socket or a device without a driver.
    if (error == EINVAL || error == EISDIR || error == ENXIO) return path + " is not a regular file";
    return "cannot open " + path + ": " + std::strerror(error);
}

}  // namespace vantoria::imaging
