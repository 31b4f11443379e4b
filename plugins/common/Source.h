#pragma once
// Where a picture's bytes come from: a file, from the offset the caller names
// on, or a buffer the caller holds (the two kinds of input of the interface).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "FileDescriptor.h"
#include "susie.h"

namespace vantoria::spi {

// All of a picture's bytes in memory; `view` stays valid while this lives.
struct Bytes {
    std::unique_ptr<std::uint8_t[]> owned;
    std::span<const std::uint8_t> view;
};

class Source {
public:
    // Throws PluginError: SUSIE_ERR_FILE_READ when the file cannot be opened
    // or the offset lies outside it, SUSIE_ERR_NOT_IMPLEMENTED for an input
    // kind other than file or memory.
    static Source Open(const char* buf, std::intptr_t len, std::int32_t flag);

    // Bytes from the picture's start to the end of the input.
    std::uint64_t Size() const { return size_; }
    // All of them when they are in the caller's memory; empty for a file.
    std::span<const std::uint8_t> Memory() const {
        return memory_ != nullptr ? std::span<const std::uint8_t>(memory_, static_cast<std::size_t>(size_))
                                  : std::span<const std::uint8_t>();
    }

    // Copies up to `n` bytes from `pos` (relative to the picture's start);
    // fewer only at the end. Throws PluginError(SUSIE_ERR_FILE_READ).
    std::size_t ReadAt(std::uint64_t pos, void* dst, std::size_t n) const;

    // Every byte at once (or the first `most`): a view of the caller's
    // buffer, or one read of the file. Throws PluginError (file read; no
    // memory for a file larger than half the memory available) or
    // std::bad_alloc.
    Bytes ReadAll(std::uint64_t most = UINT64_MAX) const;

private:
    Source() = default;
    FileDescriptor fd_;
    std::uint64_t start_ = 0;
    std::uint64_t size_ = 0;
    const std::uint8_t* memory_ = nullptr;
};

// Sequential reading of a Source, for decoders that pull their input.
class Reader {
public:
    explicit Reader(const Source& source) : source_(source) {}
    // As Source::ReadAt, from where the last read ended.
    std::size_t Read(void* dst, std::size_t n) {
        std::size_t got = source_.ReadAt(pos_, dst, n);
        pos_ += got;
        return got;
    }

private:
    const Source& source_;
    std::uint64_t pos_ = 0;
};

}  // namespace vantoria::spi
