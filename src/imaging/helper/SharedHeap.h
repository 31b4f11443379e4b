#pragma once
// The helper's large allocations live in memfds, so that a decoded picture
// can be handed to the program as it lies in memory, without a copy. The
// helper replaces malloc, calloc, realloc, reallocarray, free and
// malloc_usable_size (SharedHeap.cpp): blocks of kSharedBlockBytes and more
// each get a memfd of their own, mapped shared; everything else is the C
// library's.

#include <cstddef>
#include <optional>

namespace vantoria::imaging::helper {

inline constexpr std::size_t kSharedBlockBytes = std::size_t{4} << 20;

struct SharedSpan {
    int fd;               // the block's memfd (owned by the heap)
    std::size_t offset;   // where the span starts in it
};

// The memfd holding all of [data, data + size), if a shared block does.
std::optional<SharedSpan> FindSharedBlock(const void* data, std::size_t size);

// Takes the shared block that holds `data` out of the heap: unmapped here,
// its memfd the caller's (returned, or -1). Nothing in the block may be
// touched afterwards, not even to free it: the helper ends right after.
int DetachSharedBlock(const void* data);

}  // namespace vantoria::imaging::helper
