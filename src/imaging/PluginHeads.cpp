#include "imaging/PluginHeads.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "platform/posix/ReadAt.h"
#include "platform/posix/RegularFile.h"

namespace vantoria::imaging {

namespace {

// What an ELF file of ours holds where it is read; the integers are little
// endian whatever the machine.
constexpr std::size_t kElfHeaderBytes = 64;
constexpr std::size_t kSectionHeaderBytes = 64;
constexpr unsigned kElfClass64 = 2, kElfLittleEndian = 1, kElfVersion = 1, kElfSharedObject = 3;
constexpr std::uint32_t kProgBits = 1, kStringTable = 3;
// Beyond these the file is not one a compiler made for a plug-in.
constexpr std::size_t kMaxSections = 1024;
constexpr std::uint64_t kMaxNameTableBytes = 64 * 1024;

constexpr std::size_t kPatternBytes = sizeof(SusieHeadPattern);
constexpr std::size_t kTableHeaderBytes = sizeof(SusieHeads);
constexpr std::string_view kSectionName = SUSIE_HEADS_SECTION;

std::uint64_t Le(const std::uint8_t* p, int bytes) {
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = value << 8 | p[i];
    return value;
}

struct Section {
    std::uint32_t name = 0;
    std::uint32_t type = 0;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

Section SectionAt(const std::uint8_t* p) {
    return {static_cast<std::uint32_t>(Le(p, 4)), static_cast<std::uint32_t>(Le(p + 4, 4)), Le(p + 24, 8), Le(p + 32, 8)};
}

// [offset, offset + size) lies inside a file of `fileSize` bytes.
bool Inside(std::uint64_t offset, std::uint64_t size, std::uint64_t fileSize) {
    return offset <= fileSize && size <= fileSize - offset;
}

bool Overlap(std::uint64_t a, std::uint64_t aSize, std::uint64_t b, std::uint64_t bSize) {
    return a < b + bSize && b < a + aSize;
}

// Exactly `n` bytes at `offset`, or none.
std::optional<std::vector<std::uint8_t>> ReadExactly(const ReadBytesAt& readAt, std::uint64_t offset, std::size_t n) {
    std::vector<std::uint8_t> bytes(n);
    if (n > 0 && readAt(offset, bytes.data(), n) != static_cast<long long>(n)) return std::nullopt;
    return bytes;
}

// The table the section holds: one header and its patterns, nothing else.
std::optional<DeclaredHeads> ParseTable(std::span<const std::uint8_t> table) {
    if (table.size() < kTableHeaderBytes || std::memcmp(table.data(), SUSIE_HEADS_MAGIC, 8) != 0) return std::nullopt;
    const std::uint64_t version = Le(table.data() + 8, 4), count = Le(table.data() + 12, 4);
    if (version != SUSIE_HEADS_VERSION || count == 0 || count > SUSIE_HEADS_MAX_PATTERNS) return std::nullopt;
    // Two tables linked into one section would each promise only part.
    if (table.size() != kTableHeaderBytes + count * kPatternBytes) return std::nullopt;
    std::vector<HeadPattern> patterns;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* p = table.data() + kTableHeaderBytes + i * kPatternBytes;
        const std::size_t offset = static_cast<std::size_t>(Le(p, 2)), length = p[2];
        if (length == 0 || length > SUSIE_HEAD_PATTERN_BYTES || p[3] != 0 || offset + length > kDeclaredHeadBytes)
            return std::nullopt;
        const std::uint8_t* bytes = p + 4;
        const std::uint8_t* mask = bytes + SUSIE_HEAD_PATTERN_BYTES;
        patterns.push_back({offset, {bytes, bytes + length}, {mask, mask + length}});
    }
    return DeclaredHeads(std::move(patterns));
}

}  // namespace

bool DeclaredHeads::Admits(std::span<const std::uint8_t> head) const {
    return std::any_of(patterns_.begin(), patterns_.end(), [head](const HeadPattern& pattern) {
        if (pattern.offset + pattern.bytes.size() > head.size()) return false;
        for (std::size_t i = 0; i < pattern.bytes.size(); ++i) {
            if (((head[pattern.offset + i] ^ pattern.bytes[i]) & pattern.mask[i]) != 0) return false;
        }
        return true;
    });
}

std::optional<DeclaredHeads> ParseDeclaredHeads(const ReadBytesAt& readAt, std::uint64_t fileSize) {
    const auto elf = ReadExactly(readAt, 0, kElfHeaderBytes);
    if (!elf || fileSize < kElfHeaderBytes) return std::nullopt;
    const std::uint8_t* e = elf->data();
    if (std::memcmp(e, "\x7f" "ELF", 4) != 0 || e[4] != kElfClass64 || e[5] != kElfLittleEndian || e[6] != kElfVersion ||
        Le(e + 16, 2) != kElfSharedObject) {
        return std::nullopt;
    }
    const std::uint64_t tableAt = Le(e + 40, 8), entryBytes = Le(e + 58, 2), count = Le(e + 60, 2),
                        namesIndex = Le(e + 62, 2);
    // No sections (or their count kept elsewhere, as for very many), or more
    // than a plug-in has: doubt.
    if (entryBytes != kSectionHeaderBytes || count == 0 || count > kMaxSections || namesIndex >= count) return std::nullopt;
    const std::uint64_t tableBytes = count * kSectionHeaderBytes;
    if (tableAt < kElfHeaderBytes || !Inside(tableAt, tableBytes, fileSize)) return std::nullopt;
    const auto headers = ReadExactly(readAt, tableAt, static_cast<std::size_t>(tableBytes));
    if (!headers) return std::nullopt;

    const Section names = SectionAt(headers->data() + namesIndex * kSectionHeaderBytes);
    if (names.type != kStringTable || names.size == 0 || names.size > kMaxNameTableBytes ||
        !Inside(names.offset, names.size, fileSize)) {
        return std::nullopt;
    }
    const auto nameBytes = ReadExactly(readAt, names.offset, static_cast<std::size_t>(names.size));
    if (!nameBytes) return std::nullopt;
    const std::string_view nameTable(reinterpret_cast<const char*>(nameBytes->data()), nameBytes->size());

    std::optional<Section> found;
    for (std::size_t i = 0; i < count; ++i) {
        const Section section = SectionAt(headers->data() + i * kSectionHeaderBytes);
        if (section.name >= nameTable.size()) continue;
        const std::string_view rest = nameTable.substr(section.name);
        const std::size_t end = rest.find('\0');
        if (end == std::string_view::npos || rest.substr(0, end) != kSectionName) continue;
        if (found) return std::nullopt;   // which one would the plug-in mean?
        found = section;
    }
    if (!found || found->type != kProgBits) return std::nullopt;
    constexpr std::uint64_t kMaxTableBytes = kTableHeaderBytes + SUSIE_HEADS_MAX_PATTERNS * kPatternBytes;
    if (found->size > kMaxTableBytes || !Inside(found->offset, found->size, fileSize) ||
        Overlap(found->offset, found->size, 0, kElfHeaderBytes) || Overlap(found->offset, found->size, tableAt, tableBytes)) {
        return std::nullopt;
    }
    const auto table = ReadExactly(readAt, found->offset, static_cast<std::size_t>(found->size));
    if (!table) return std::nullopt;
    return ParseTable(*table);
}

std::optional<DeclaredHeads> ReadDeclaredHeads(const std::string& path) {
    // Not opened at all unless regular, as the loader would not load it.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    const UniqueFd fd = OpenRegularFile(path.c_str(), &st);
    if (!fd || st.st_size < 0) return std::nullopt;
    const int descriptor = fd.Get();
    return ParseDeclaredHeads(
        [descriptor](std::uint64_t offset, std::uint8_t* to, std::size_t n) {
            const std::optional<std::size_t> got = ReadAt(descriptor, to, n, offset);
            return got ? static_cast<long long>(*got) : -1LL;
        },
        static_cast<std::uint64_t>(st.st_size));
}

std::optional<std::vector<std::uint8_t>> ReadFileHead(int fd) {
    std::vector<std::uint8_t> head(kDeclaredHeadBytes);
    const std::optional<std::size_t> got = ReadAt(fd, head.data(), head.size(), 0);
    if (!got) return std::nullopt;
    head.resize(*got);
    return head;
}

}  // namespace vantoria::imaging
