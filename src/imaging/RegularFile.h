#pragma once
// Opening a picture file for reading: the one place that opens without
// blocking, refuses anything but a regular file and switches back to
// blocking reads. The native bitmap reader and the root-window setter use it
// too.

#include <sys/stat.h>

#include <string>

#include "platform/posix/UniqueFd.h"

namespace vantoria::imaging {

// Opens `path` read-only for reading its bytes, refusing anything but a
// regular file (a FIFO would block, a folder has no bytes). The descriptor
// is blocking again when returned. Empty on failure, with errno set: EISDIR
// for a folder, EINVAL for any other file that is not a regular one.
// `info`, when given, receives the open file's status (its size, say).
UniqueFd OpenRegularFile(const char* path, struct stat* info = nullptr);

// Why OpenRegularFile just failed for `path`, read from errno:
// "<path> is not a regular file" or "cannot open <path>: <system reason>".
std::string OpenFailure(const std::string& path);

}  // namespace vantoria::imaging
