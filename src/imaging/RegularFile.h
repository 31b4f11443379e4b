#pragma once
// Opening a picture file for reading.

#include "platform/posix/UniqueFd.h"

namespace vantoria::imaging {

// Opens `path` read-only for reading its bytes, refusing anything but a
// regular file (a FIFO would block, a folder has no bytes). The descriptor
// is blocking again when returned. Empty on failure, with errno set.
UniqueFd OpenRegularFile(const char* path);

}  // namespace vantoria::imaging
