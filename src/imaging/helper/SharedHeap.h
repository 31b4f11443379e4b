#pragma once
// Where the system gives shared memory in huge pages, the helper's large
// allocations live in memfds, so that a decoded picture can be handed to the
// program as it lies in memory, without a copy. The helper replaces malloc,
// calloc, realloc, reallocarray, free and malloc_usable_size
// (SharedHeap.cpp): once UseSharedHeap is called, blocks of kSharedBlockBytes
// and more each get a memfd of their own, mapped shared; everything else is
// the C library's.
//
// Shared memory in small pages costs several times what private memory in
// huge pages does (a fault, a page-cache entry and an unmapping each 4 KiB),
// far more than one copy of the picture into its memfd: there the heap stays
// the C library's and the picture is copied when it is handed over.

#include <cstddef>
#include <optional>

namespace vantoria::imaging::helper {

inline constexpr std::size_t kSharedBlockBytes = std::size_t{4} << 20;

// Whether a memfd's pages may be huge: the kernel's setting for shared
// memory (or VANTORIA_SHARED_HEAP, 1 or 0, to choose for a test). Read
// before the filter shuts /sys away.
bool SharedPagesCanBeHuge();

// Large blocks from now on in memfds.
void UseSharedHeap();

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
