#pragma once
// File descriptors of the plug-ins: ownership and positioned reads.

#include <cstddef>

#include "platform/posix/UniqueFd.h"

namespace vantoria::spi {

// Owns a descriptor: the project's one owner type (header-only).
using FileDescriptor = vantoria::UniqueFd;

// Reads up to `n` bytes at `offset` without moving the file position,
// retrying short reads and interruptions. Returns the bytes read (fewer only
// at the end of the file) or -1 on a read error.
long long ReadFully(int fd, void* dst, std::size_t n, long long offset);

}  // namespace vantoria::spi
