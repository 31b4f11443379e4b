#pragma once
// Bounds-checked reading of a file held in memory, for the plug-ins that
// parse their formats themselves. Every read checks what is left, so a
// length or offset taken from the file can never reach past its end: such a
// read throws PluginError(SUSIE_ERR_BROKEN_DATA).

#include <cstddef>
#include <cstdint>
#include <span>

#include "PluginError.h"

namespace vantoria::spi {

[[noreturn]] inline void EndsEarly() { Broken("the file ends early"); }

class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes, std::size_t pos = 0) : bytes_(bytes) { Seek(pos); }

    std::size_t Pos() const { return pos_; }
    std::size_t Left() const { return bytes_.size() - pos_; }

    void Seek(std::uint64_t pos) {
        if (pos > bytes_.size()) EndsEarly();
        pos_ = static_cast<std::size_t>(pos);
    }
    void Skip(std::uint64_t n) {
        if (n > Left()) EndsEarly();
        pos_ += static_cast<std::size_t>(n);
    }
    std::span<const std::uint8_t> Take(std::uint64_t n) {
        if (n > Left()) EndsEarly();
        auto part = bytes_.subspan(pos_, static_cast<std::size_t>(n));
        pos_ += part.size();
        return part;
    }

    std::uint8_t U8() {
        if (Left() < 1) EndsEarly();
        return bytes_[pos_++];
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
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

// Bits from a byte sequence, most significant bit of each byte first.
class BitReader {
public:
    explicit BitReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    unsigned Bit() {
        if (bit_ == 0) {
            if (pos_ >= bytes_.size()) EndsEarly();
            byte_ = bytes_[pos_++];
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
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
    unsigned byte_ = 0;
    int bit_ = 0;
};

}  // namespace vantoria::spi
