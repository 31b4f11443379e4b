#pragma once
// Whether the machine has the memory for a picture, asked before the picture
// is allocated: a clear refusal beats being killed for running out of
// memory halfway through. Header-only, so that the shipped plug-ins, which
// link nothing of the core, ask the same question.

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "platform/raster/SizeLimits.h"

namespace vantoria::imaging {

namespace budget_detail {

// A "Name:   123 kB" line of /proc/meminfo, in bytes.
inline std::optional<std::uint64_t> MemInfo(const std::string& text, const std::string& name) {
    const auto at = text.find("\n" + name + ":");
    if (at == std::string::npos) return std::nullopt;
    std::istringstream line(text.substr(at + name.size() + 2, 64));
    std::uint64_t kb = 0;
    if (!(line >> kb)) return std::nullopt;
    return kb * 1024;
}

inline std::optional<std::uint64_t> ReadNumber(const std::string& path) {
    std::ifstream in(path);
    std::uint64_t value = 0;
    if (!(in >> value)) return std::nullopt;  // "max" included: no limit
    return value;
}

// What the process's control group still allows, when it has a limit: a
// container may have far less than the machine. cgroup v2, else v1.
inline std::optional<std::uint64_t> CgroupRoom() {
    std::ifstream in("/proc/self/cgroup");
    std::string line;
    while (std::getline(in, line)) {
        std::string dir, limit, usage;
        if (line.rfind("0::", 0) == 0) {
            dir = "/sys/fs/cgroup" + line.substr(3);
            limit = "/memory.max";
            usage = "/memory.current";
        } else if (const auto at = line.find(":memory:"); at != std::string::npos) {
            dir = "/sys/fs/cgroup/memory" + line.substr(at + 8);
            limit = "/memory.limit_in_bytes";
            usage = "/memory.usage_in_bytes";
        } else {
            continue;
        }
        const auto max = ReadNumber(dir + limit);
        if (!max) continue;  // no limit at this level
        const auto current = ReadNumber(dir + usage);
        return current && *current < *max ? *max - *current : 0;
    }
    return std::nullopt;
}

}  // namespace budget_detail

// Bytes the machine could give this process now: the kernel's estimate of
// available memory (MemAvailable, which counts the caches it can drop) plus
// free swap, and no more than the process's control group still allows.
// VANTORIA_MEMORY_LIMIT=<bytes> lowers it (tests; a user who wants a cap).
// nullopt when nothing can be told; then nothing is refused.
inline std::optional<std::uint64_t> AvailableMemory() {
    std::optional<std::uint64_t> room;
    {
        std::ifstream in("/proc/meminfo");
        std::stringstream text;
        text << "\n" << in.rdbuf();
        const auto available = budget_detail::MemInfo(text.str(), "MemAvailable");
        if (available) room = *available + budget_detail::MemInfo(text.str(), "SwapFree").value_or(0);
    }
    if (const auto group = budget_detail::CgroupRoom(); group && (!room || *group < *room)) room = group;
    if (const char* cap = std::getenv("VANTORIA_MEMORY_LIMIT"); cap && *cap) {
        char* end = nullptr;
        const std::uint64_t limit = std::strtoull(cap, &end, 10);
        if (end && *end == '\0' && (!room || limit < *room)) room = limit;
    }
    return room;
}

// The share of the available memory one picture may take: the picture, the
// composition's working copy of it and the rest of the system must fit.
inline constexpr std::uint64_t kPictureShare = 2;

// 24-bit rows padded to 4 bytes, as every picture here is held.
inline std::uint64_t PictureBytes(std::int64_t width, std::int64_t height) {
    return limits::RowBytes24(width) * static_cast<std::uint64_t>(height);
}

// Empty when a width x height picture, times `copies`, fits in what is
// available; otherwise why not, for a person.
inline std::string PictureMemoryProblem(std::int64_t width, std::int64_t height,
                                        std::uint64_t copies = kPictureShare) {
    const std::optional<std::uint64_t> room = AvailableMemory();
    const std::uint64_t bytes = PictureBytes(width, height);
    if (!room || bytes <= *room / copies) return {};
    constexpr std::uint64_t kMiB = 1024 * 1024;
    return "a picture of " + std::to_string(width) + " x " + std::to_string(height) + " pixels needs " +
           std::to_string((bytes * copies + kMiB - 1) / kMiB) + " MB of memory, but only " +
           std::to_string(*room / kMiB) + " MB are free";
}

}  // namespace vantoria::imaging
