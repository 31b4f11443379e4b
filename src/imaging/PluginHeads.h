#pragma once
// The heads a plug-in declares, in its own file, that it can take
// (plugins/include/susie_heads.h), read without loading it: a decode then
// loads and asks only the plug-ins that might take the file at hand.
//
// The library is read as the bytes of a file that may be anything (hostile,
// truncated, not ELF, another machine's): every read is bounded, every
// length and offset checked against the file, and any doubt means no
// declaration, so that the plug-in is loaded and asked as before.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "susie_heads.h"

namespace vantoria::imaging {

// As many first bytes of a file as a declaration may look at.
inline constexpr std::size_t kDeclaredHeadBytes = SUSIE_HEADS_MAX_END;

// One declared pattern: the file has `bytes` at `offset`, where `mask` says.
struct HeadPattern {
    std::size_t offset = 0;
    std::vector<std::uint8_t> bytes;   // compared where mask has its bits
    std::vector<std::uint8_t> mask;    // as long as bytes
};

class DeclaredHeads {
public:
    explicit DeclaredHeads(std::vector<HeadPattern> patterns) : patterns_(std::move(patterns)) {}
    // Whether a file whose first bytes are `head` (all of them, or at least
    // kDeclaredHeadBytes) matches a pattern: false means its plug-in refuses it.
    bool Admits(std::span<const std::uint8_t> head) const;
    const std::vector<HeadPattern>& Patterns() const { return patterns_; }

private:
    std::vector<HeadPattern> patterns_;
};

// Reads up to `n` bytes at `offset` into `to`; the count read, fewer only
// at the end of the file, or -1 on an error.
using ReadBytesAt = std::function<long long(std::uint64_t offset, std::uint8_t* to, std::size_t n)>;

// The declaration in a 64-bit little-endian ELF shared object of `fileSize`
// bytes read through `readAt`; none when there is none or any doubt.
std::optional<DeclaredHeads> ParseDeclaredHeads(const ReadBytesAt& readAt, std::uint64_t fileSize);

// The same for the library at `path`; a path that is no regular file is not
// opened (as the loader does not load it).
std::optional<DeclaredHeads> ReadDeclaredHeads(const std::string& path);

// The first kDeclaredHeadBytes bytes of the open file `fd` (all of a shorter
// one), read at its start without moving its position, as IsSupported reads
// them; none when they cannot be read.
std::optional<std::vector<std::uint8_t>> ReadFileHead(int fd);

}  // namespace vantoria::imaging
