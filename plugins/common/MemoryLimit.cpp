#include "MemoryLimit.h"

#include <cstdlib>
#include <cstring>

#include "PluginError.h"
#include "platform/memory/MemoryBudget.h"

namespace vantoria::spi {

namespace {

// Each block starts with its size, padded so that what follows keeps
// malloc's alignment.
constexpr std::size_t kPrefix = alignof(std::max_align_t) < sizeof(std::size_t) ? sizeof(std::size_t)
                                                                                 : alignof(std::max_align_t);

}  // namespace

std::optional<std::uint64_t> MemoryRoom() { return imaging::AvailableMemory(); }

std::uint64_t RoomBeside(std::uint64_t pictureBytes) {
    const std::optional<std::uint64_t> room = MemoryRoom();
    if (!room) return UINT64_MAX;
    return pictureBytes < *room ? *room - pictureBytes : 0;
}

void CheckWorkingMemory(std::uint64_t pictureBytes, std::uint64_t workingBytes) {
    if (workingBytes > RoomBeside(pictureBytes))
        throw PluginError(SUSIE_ERR_NO_MEMORY, "not enough memory to decode the picture");
}

void* CountedMemory::Allocate(std::size_t n, bool zeroed) {
    if (n > SIZE_MAX - kPrefix) return nullptr;
    const std::uint64_t total = std::uint64_t{n} + kPrefix;
    const std::uint64_t cap = cap_.load(std::memory_order_relaxed);
    std::uint64_t held = held_.load(std::memory_order_relaxed);
    do {
        if (total > cap || held > cap - total) {
            refused_.store(true, std::memory_order_relaxed);
            return nullptr;
        }
    } while (!held_.compare_exchange_weak(held, held + total, std::memory_order_relaxed));
    void* raw = zeroed ? std::calloc(1, n + kPrefix) : std::malloc(n + kPrefix);
    if (raw == nullptr) {
        held_.fetch_sub(total, std::memory_order_relaxed);
        return nullptr;
    }
    std::memcpy(raw, &n, sizeof n);
    return static_cast<unsigned char*>(raw) + kPrefix;
}

void CountedMemory::Free(void* block) {
    if (block == nullptr) return;
    void* raw = static_cast<unsigned char*>(block) - kPrefix;
    std::size_t n = 0;
    std::memcpy(&n, raw, sizeof n);
    held_.fetch_sub(std::uint64_t{n} + kPrefix, std::memory_order_relaxed);
    std::free(raw);
}

}  // namespace vantoria::spi
