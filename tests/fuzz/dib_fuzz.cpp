// libFuzzer target for the bitmap decoder. Each input is tried as a whole
// bitmap file, in memory and read from a file (the two must agree), and,
// split in two, as a packed BITMAPINFO plus a separate pixel block, through
// both the borrowing and the adopting entry point (which must agree too).
// Anything but a clean return or a DibError is a bug.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <span>
#include <string>

#include "platform/dib/Dib.h"

using namespace vantoria;

namespace {

// Small limits keep every allocation small; the decoder's logic does not
// depend on the size.
constexpr dib::Limits kLimits{.maxSide = 4096, .maxPixels = 4 << 20};

template <typename Decode>
std::optional<raster::Bitmap> Try(Decode decode) {
    try {
        return decode();
    } catch (const dib::DibError&) {
        return std::nullopt;
    }
}

bool SamePixels(const raster::Bitmap& a, const raster::Bitmap& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    for (int y = 0; y < a.Height(); ++y) {
        if (std::memcmp(a.ScanLine(y), b.ScanLine(y), static_cast<std::size_t>(a.Width()) * 3)) {
            return false;
        }
    }
    return true;
}

// The input as a file: an in-memory file, opened again by name.
std::optional<raster::Bitmap> LoadAsFile(std::span<const std::uint8_t> data) {
    static const int fd = memfd_create("dib_fuzz", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0 ||
        pwrite(fd, data.data(), data.size(), 0) != static_cast<ssize_t>(data.size())) {
        std::abort();
    }
    return Try([&] { return dib::LoadBmpFile("/proc/self/fd/" + std::to_string(fd), kLimits); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    const auto inMemory = Try([&] { return dib::DecodeBmp(input, kLimits); });
    const auto fromFile = LoadAsFile(input);
    if (inMemory.has_value() != fromFile.has_value()) std::abort();
    if (inMemory && !SamePixels(*inMemory, *fromFile)) std::abort();

    // The first two bytes give the length of the info block.
    if (size < 2) return 0;
    const std::size_t split = std::min<std::size_t>(size - 2, data[0] | (data[1] << 8));
    const auto info = input.subspan(2, split);
    const auto bits = input.subspan(2 + split);
    try {
        dib::ReadDibHeader(info, kLimits);
    } catch (const dib::DibError&) {
    }
    const auto borrowed = Try([&] { return dib::DecodeDib(info, bits, kLimits); });
    const auto adopted = Try([&] {
        auto* copy = static_cast<std::uint8_t*>(std::malloc(bits.size() + 1));
        if (!bits.empty()) std::memcpy(copy, bits.data(), bits.size());
        return dib::DecodeDib(info, dib::OwnedBits{{copy, [](std::uint8_t* p) { std::free(p); }}, bits.size()},
                              kLimits);
    });
    if (borrowed.has_value() != adopted.has_value()) std::abort();
    if (borrowed && !SamePixels(*borrowed, *adopted)) std::abort();
    return 0;
}
