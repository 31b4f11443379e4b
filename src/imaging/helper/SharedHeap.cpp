#include "imaging/helper/SharedHeap.h"

#include <dlfcn.h>
#include <errno.h>
#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);
void __libc_free(void* block);
}

namespace vantoria::imaging::helper {

namespace {

constexpr std::size_t kPage = 4096;
constexpr int kSlots = 64;

struct Region {
    void* base = nullptr;
    std::size_t size = 0;
    int fd = -1;
};

// Nothing here may allocate: it is the allocator.
Region g_regions[kSlots];
int g_live = 0;
bool g_shared = false;
pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER;

struct Locked {
    Locked() { pthread_mutex_lock(&g_lock); }
    ~Locked() { pthread_mutex_unlock(&g_lock); }
};

// A zero-filled shared block, or null (the caller falls back to the C
// library's heap).
void* MapRegion(std::size_t size) {
    if (size > SIZE_MAX - kPage) return nullptr;
    const std::size_t length = (size + kPage - 1) / kPage * kPage;
    const int fd = ::memfd_create("vantoria-picture", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0) return nullptr;
    void* base = MAP_FAILED;
    if (::ftruncate(fd, static_cast<off_t>(length)) == 0)
        base = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (base == MAP_FAILED) {
        ::close(fd);
        return nullptr;
    }
    // Huge pages where the system gives them for the asking, then populated
    // at once: one call instead of a fault a page.
    (void)::madvise(base, length, MADV_HUGEPAGE);
    (void)::madvise(base, length, MADV_POPULATE_WRITE);
    {
        const Locked lock;
        for (Region& region : g_regions) {
            if (region.base) continue;
            region = {base, length, fd};
            ++g_live;
            return base;
        }
    }
    ::munmap(base, length);
    ::close(fd);
    return nullptr;
}

// The region that starts at `block`, if it is one; `take` removes it.
bool LookUp(const void* block, Region* found, bool take) {
    if (reinterpret_cast<std::uintptr_t>(block) % kPage != 0) return false;
    const Locked lock;
    if (g_live == 0) return false;
    for (Region& region : g_regions) {
        if (region.base != block) continue;
        *found = region;
        if (take) {
            region = Region{};
            --g_live;
        }
        return true;
    }
    return false;
}

using UsableSizeFn = std::size_t (*)(void*);

UsableSizeFn LibraryUsableSize() {
    static UsableSizeFn fn = reinterpret_cast<UsableSizeFn>(::dlsym(RTLD_NEXT, "malloc_usable_size"));
    return fn;
}

// The choice in brackets of a transparent_hugepage setting ("always
// [never] ...").
std::string Chosen(const std::string& path) {
    std::ifstream in(path);
    std::string text;
    std::getline(in, text);
    const auto open = text.find('['), close = text.find(']');
    if (open == std::string::npos || close == std::string::npos || close < open) return {};
    return text.substr(open + 1, close - open - 1);
}

bool Grants(const std::string& choice) {
    return choice == "always" || choice == "within_size" || choice == "advise" || choice == "force";
}

}  // namespace

bool SharedPagesCanBeHuge() {
    if (const char* forced = std::getenv("VANTORIA_SHARED_HEAP"); forced && (*forced == '0' || *forced == '1'))
        return *forced == '1';
    const std::string thp = "/sys/kernel/mm/transparent_hugepage/";
    const std::string whole = Chosen(thp + "shmem_enabled");
    if (whole == "deny") return false;
    if (Grants(whole)) return true;
    // Kernels with pages of several sizes set each size apart; "inherit"
    // follows the setting above, refused already.
    for (const char* size : {"hugepages-2048kB", "hugepages-1024kB", "hugepages-512kB", "hugepages-256kB",
                             "hugepages-128kB", "hugepages-64kB"}) {
        if (Grants(Chosen(thp + size + "/shmem_enabled"))) return true;
    }
    return false;
}

void UseSharedHeap() { g_shared = true; }

std::optional<SharedSpan> FindSharedBlock(const void* data, std::size_t size) {
    const auto at = reinterpret_cast<std::uintptr_t>(data);
    const Locked lock;
    for (const Region& region : g_regions) {
        const auto base = reinterpret_cast<std::uintptr_t>(region.base);
        if (!region.base || at < base || at - base > region.size || size > region.size - (at - base)) continue;
        return SharedSpan{region.fd, static_cast<std::size_t>(at - base)};
    }
    return std::nullopt;
}

int DetachSharedBlock(const void* data) {
    const auto at = reinterpret_cast<std::uintptr_t>(data);
    Region found;
    {
        const Locked lock;
        for (Region& region : g_regions) {
            const auto base = reinterpret_cast<std::uintptr_t>(region.base);
            if (!region.base || at < base || at - base >= region.size) continue;
            found = region;
            region = Region{};
            --g_live;
            break;
        }
    }
    if (!found.base) return -1;
    ::munmap(found.base, found.size);
    return found.fd;
}

}  // namespace vantoria::imaging::helper

// A sanitizer build brings its own allocator: the helper then copies every
// picture into its memfd instead.
#ifndef VANTORIA_SANITIZER_BUILD

using vantoria::imaging::helper::kSharedBlockBytes;
namespace heap = vantoria::imaging::helper;

extern "C" {

void* malloc(std::size_t size) {
    if (heap::g_shared && size >= kSharedBlockBytes) {
        if (void* block = heap::MapRegion(size)) return block;
    }
    return __libc_malloc(size);
}

void* calloc(std::size_t count, std::size_t size) {
    if (size != 0 && count > SIZE_MAX / size) {
        errno = ENOMEM;
        return nullptr;
    }
    if (heap::g_shared && count * size >= kSharedBlockBytes) {
        if (void* block = heap::MapRegion(count * size)) return block;   // fresh pages are zero
    }
    return __libc_calloc(count, size);
}

void free(void* block) {
    if (!block) return;
    heap::Region region;
    if (heap::LookUp(block, &region, true)) {
        ::munmap(region.base, region.size);
        ::close(region.fd);
        return;
    }
    __libc_free(block);
}

void* realloc(void* block, std::size_t size) {
    if (!block) return malloc(size);
    heap::Region region;
    if (heap::LookUp(block, &region, false)) {
        if (size <= region.size && size >= kSharedBlockBytes / 2) return block;
        void* moved = malloc(size);
        if (!moved) return nullptr;
        std::memcpy(moved, block, size < region.size ? size : region.size);
        free(block);
        return moved;
    }
    if (heap::g_shared && size >= kSharedBlockBytes) {
        if (const heap::UsableSizeFn usable = heap::LibraryUsableSize()) {
            if (void* moved = heap::MapRegion(size)) {
                const std::size_t old = usable(block);
                std::memcpy(moved, block, old < size ? old : size);
                __libc_free(block);
                return moved;
            }
        }
    }
    return __libc_realloc(block, size);
}

void* reallocarray(void* block, std::size_t count, std::size_t size) {
    if (size != 0 && count > SIZE_MAX / size) {
        errno = ENOMEM;
        return nullptr;
    }
    return realloc(block, count * size);
}

std::size_t malloc_usable_size(void* block) {
    if (!block) return 0;
    heap::Region region;
    if (heap::LookUp(block, &region, false)) return region.size;
    const heap::UsableSizeFn usable = heap::LibraryUsableSize();
    return usable ? usable(block) : 0;
}

}  // extern "C"

#endif  // VANTORIA_SANITIZER_BUILD
