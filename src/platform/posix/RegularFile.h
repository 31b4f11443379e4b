#pragma once
// Opening a picture file for reading: the one place that opens without
// blocking, refuses anything but a regular file and switches back to
// blocking reads. Header-only, so that the plug-ins, which link nothing of
// the core, open their files the same way.

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/posix/UniqueFd.h"

namespace vantoria {

// Opens `path` read-only for reading its bytes, refusing anything but a
// regular file (a FIFO would block, a folder has no bytes). The descriptor
// is blocking again when returned. Empty on failure, with errno set: EISDIR
// for a folder, EINVAL for any other file that is not a regular one.
// `info`, when given, receives the open file's status (its size, say).
inline UniqueFd OpenRegularFile(const char* path, struct stat* info = nullptr) {
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

// Whether OpenRegularFile just failed because the path names no regular file.
inline bool NotRegularFile(int error) {
    // ENXIO is what open gives for a socket or a device without a driver.
    return error == EINVAL || error == EISDIR || error == ENXIO;
}

// Why OpenRegularFile just failed for `path`, read from errno:
// "<path> is not a regular file" or "cannot open <path>: <system reason>".
inline std::string OpenFailure(const std::string& path) {
    const int error = errno;
    if (NotRegularFile(error)) return path + " is not a regular file";
    return "cannot open " + path + ": " + std::strerror(error);
}

}  // namespace vantoria
