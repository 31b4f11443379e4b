#pragma once
// Bounds-checked reading of a file, in memory or streamed from its source,
// for the plug-ins that parse their formats themselves. Every read checks
// what is left, so a length or offset taken from the file can never reach
// past its end: such a read throws PluginError(SUSIE_ERR_BROKEN_DATA).

#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <span>
#include <utility>
#include <vector>

#include "PluginError.h"
#include "Source.h"

namespace vantoria::spi {

[[noreturn]] inline void EndsEarly() { Broken("the file ends early"); }

class ByteReader {
public:
    // Bytes in memory.
    explicit ByteReader(std::span<const std::uint8_t> bytes, std::uint64_t pos = 0)
        : bytes_(bytes), end_(bytes.size()) {
        Seek(pos);
    }
    // A stretch [pos, end) of a source (cut at its end), read a piece at a
    // time as it is asked for, so that only what is read is held; a source
    // in memory is read in place.
    explicit ByteReader(const Source& source, std::uint64_t pos = 0, std::uint64_t end = UINT64_MAX)
        : end_(std::min(end, source.Size())) {
        if (const auto memory = source.Memory(); memory.data() != nullptr || source.Size() == 0)
            bytes_ = memory.first(static_cast<std::size_t>(end_));
        else
            source_ = &source;
        Seek(pos);
    }
    // Moved, not copied: what is at hand may lie in the reader's own buffer.
    ByteReader(ByteReader&&) = default;
    ByteReader& operator=(ByteReader&&) = default;
    ByteReader(const ByteReader&) = delete;
    ByteReader& operator=(const ByteReader&) = delete;

    std::uint64_t Pos() const { return pos_; }
    std::uint64_t Left() const { return end_ - pos_; }

    void Seek(std::uint64_t pos) {
        if (pos > end_) EndsEarly();
        pos_ = pos;
    }
    void Skip(std::uint64_t n) {
        if (n > Left()) EndsEarly();
        pos_ += n;
    }
    // `n` bytes, valid until the next read.
    std::span<const std::uint8_t> Take(std::uint64_t n) {
        if (n > Left()) EndsEarly();
        if (pos_ < base_ || pos_ + n > base_ + bytes_.size()) Fetch(static_cast<std::size_t>(n));
        auto part = bytes_.subspan(static_cast<std::size_t>(pos_ - base_), static_cast<std::size_t>(n));
        pos_ += n;
        return part;
    }

    std::uint8_t U8() {
        if (pos_ >= base_ && pos_ < base_ + bytes_.size()) return bytes_[static_cast<std::size_t>(pos_++ - base_)];
        return Take(1)[0];
    }
    std::uint16_t U16BE() {
        const auto p = Take(2);
        return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
    }
    std::int16_t S16BE() { return static_cast<std::int16_t>(U16BE()); }
    std::uint32_t U32BE() {
        const auto p = Take(4);
        return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
    }
    std::uint16_t U16LE() {
        const auto p = Take(2);
        return static_cast<std::uint16_t>(p[0] | p[1] << 8);
    }
    std::uint32_t U32LE() {
        const auto p = Take(4);
        return p[0] | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
    }

private:
    static constexpr std::size_t kPiece = std::size_t{1} << 16;

    // Reads the piece of the source from pos_ on, at least `n` bytes (which
    // Left() allows). A source that shrank since it was opened ends early.
    void Fetch(std::size_t n) {
        if (source_ == nullptr) EndsEarly();  // a memory reader holds all it has
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(std::max(n, kPiece), Left()));
        buffer_.resize(want);
        const std::size_t got = source_->ReadAt(pos_, buffer_.data(), want);
        if (got < n) EndsEarly();
        base_ = pos_;
        bytes_ = {buffer_.data(), got};
    }

    const Source* source_ = nullptr;
    std::span<const std::uint8_t> bytes_;  // what is at hand, from base_ on
    std::uint64_t base_ = 0;
    std::uint64_t end_ = 0;
    std::uint64_t pos_ = 0;
    std::vector<std::uint8_t> buffer_;
};

// Bits from a byte sequence, most significant bit of each byte first.
class BitReader {
public:
    explicit BitReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    explicit BitReader(ByteReader bytes) : bytes_(std::move(bytes)) {}

    unsigned Bit() {
        if (bit_ == 0) {
            byte_ = bytes_.U8();
            bit_ = 8;
        }
        --bit_;
        return (byte_ >> bit_) & 1u;
    }
    // Up to 32 bits, the first read the most significant.
    std::uint32_t Bits(int n) {
        std::uint32_t value = 0;
        for (int i = 0; i < n; ++i) value = value << 1 | Bit();
        return value;
    }

private:
    ByteReader bytes_;
    unsigned byte_ = 0;
    int bit_ = 0;
};

}  // namespace vantoria::spi
