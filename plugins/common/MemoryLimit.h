#pragma once
// What a decoder may take while it works, beside the picture it hands over.
// The picture's rows are checked when they are allocated (Dib24); a library
// that needs several times that for its own planes, coefficients or objects
// is checked here too, before it starts, or held to what is left through an
// allocation hook (CountedMemory).

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace vantoria::spi {

// Bytes the machine could give this process now, as the host's budget
// counts them (VANTORIA_MEMORY_LIMIT lowers it); nullopt when unknown.
std::optional<std::uint64_t> MemoryRoom();

// Bytes left beside a picture of `pictureBytes` for a library's own
// allocations: 0 when even the picture does not fit, UINT64_MAX when
// nothing can be told.
std::uint64_t RoomBeside(std::uint64_t pictureBytes);

// Throws PluginError(SUSIE_ERR_NO_MEMORY) unless a library's `workingBytes`
// fit beside the picture.
void CheckWorkingMemory(std::uint64_t pictureBytes, std::uint64_t workingBytes);

// An allocator for C libraries that take allocation hooks: it counts what
// is held and refuses a block that would take the total past its cap, so a
// stream of many small blocks is held to the budget as one large one is.
// Safe to use from several threads at once.
class CountedMemory {
public:
    explicit CountedMemory(std::uint64_t cap) : cap_(cap) {}
    // Changes the cap for the blocks asked for from now on.
    void Cap(std::uint64_t cap) { cap_.store(cap, std::memory_order_relaxed); }
    CountedMemory(const CountedMemory&) = delete;
    CountedMemory& operator=(const CountedMemory&) = delete;

    // nullptr when the cap would be passed or malloc fails; `zeroed` as calloc.
    void* Allocate(std::size_t n, bool zeroed);
    // Takes what Allocate gave (or nullptr).
    void Free(void* block);

    // Whether a block was refused for the cap (not for want of memory).
    bool Refused() const { return refused_.load(std::memory_order_relaxed); }
    std::uint64_t Held() const { return held_.load(std::memory_order_relaxed); }

private:
    std::atomic<std::uint64_t> cap_;
    std::atomic<std::uint64_t> held_{0};
    std::atomic<bool> refused_{false};
};

}  // namespace vantoria::spi
