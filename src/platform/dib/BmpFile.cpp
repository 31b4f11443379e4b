// Bitmap files: BITMAPFILEHEADER, then a packed DIB with the pixels at
// bfOffBits. DecodeBmp works on a file in memory, LoadBmpFile on disk; both
// go through ReadLayout so that they agree on every file.

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/dib/ByteReader.h"
#include "platform/dib/CheckedSize.h"
#include "platform/dib/Decoder.h"
#include "platform/dib/Dib.h"
#include "platform/posix/ReadAt.h"
#include "platform/posix/RegularFile.h"
#include "platform/posix/UniqueFd.h"

namespace vantoria::dib {

namespace {

constexpr std::size_t kFileHeaderBytes = 14;
// Enough for the file header, the largest info header, masks and a full
// 256-entry colour table: all LoadBmpFile reads before the pixels.
constexpr std::size_t kPrefixBytes = 4096;

struct FileLayout {
    DibInfo info;
    Palette palette;
    std::size_t dataOffset = 0;
    std::size_t dataBytes = 0;   // pixel bytes worth reading from dataOffset
};

// The most pixel data the decoder can use. An RLE stream from a sane encoder
// needs at most two bytes a pixel, one end of line a row and the end of the
// bitmap; twice that leaves room for odd encoders.
std::size_t UsefulPixelBytes(const DibInfo& info) {
    if (!info.Rle()) return info.imageBytes;
    const std::size_t perRow = CheckedAdd(CheckedMul(static_cast<std::size_t>(info.width), 2), 2);
    const std::size_t stream = CheckedAdd(CheckedMul(perRow, static_cast<std::size_t>(info.height)), 2);
    return CheckedMul(stream, 2);
}

// `prefix` holds the start of a file of `fileSize` bytes (at least the first
// kPrefixBytes of it, or all of it).
FileLayout ReadLayout(Bytes prefix, std::size_t fileSize, const Limits& limits) {
    if (prefix.size() < 2 || prefix[0] != 'B' || prefix[1] != 'M') {
        throw DibError("not a Windows bitmap");
    }
    if (!Has(prefix, 0, kFileHeaderBytes)) throw DibError("truncated bitmap header");
    FileLayout layout;
    DibInfo& info = layout.info;
    info = ReadDibHeader(prefix.subspan(kFileHeaderBytes), limits);

    const std::size_t offBits = U32(prefix, 10);
    const std::size_t tableBegin = kFileHeaderBytes + info.colorTableOffset;
    const std::size_t tableEnd = CheckedAdd(kFileHeaderBytes, info.infoBytes);
    if (offBits > fileSize) {
        throw DibError("pixel data offset " + std::to_string(offBits) +
                       " lies beyond the end of the file (" + std::to_string(fileSize) +
                       " bytes)");
    }
    // An offset into the headers (often 0) is a writer's mistake; the pixels
    // then follow the colour table, as in a packed DIB. An offset inside the
    // colour table means the table is shorter than declared.
    layout.dataOffset = offBits < tableBegin ? tableEnd : offBits;
    if (layout.dataOffset >= fileSize) throw DibError("truncated bitmap: no pixel data");

    const std::size_t paletteEnd = std::min({tableEnd, layout.dataOffset, prefix.size()});
    layout.palette = ReadPalette(info, tableBegin <= paletteEnd
                                           ? prefix.subspan(tableBegin, paletteEnd - tableBegin)
                                           : Bytes());
    layout.dataBytes = std::min(fileSize - layout.dataOffset, UsefulPixelBytes(info));
    return layout;
}

std::string SystemError(const std::string& what, const std::string& path) {
    return "cannot " + what + " " + path + ": " + std::strerror(errno);
}

// Reads up to `count` bytes at `offset`; fewer only at the end of the file.
std::size_t ReadAt(int fd, std::uint8_t* data, std::size_t count, std::size_t offset,
                   const std::string& path) {
    const std::optional<std::size_t> done = vantoria::ReadAt(fd, data, count, offset);
    if (!done) throw DibError(SystemError("read", path));
    return *done;
}

// Anonymous memory faulted in at once: reading a large file into it takes
// about half the time of reading into fresh heap memory, whose pages the
// read would fault in one by one.
raster::Bitmap::Block AllocatePixelBlock(std::size_t bytes, const std::string& path) {
    const std::size_t length = std::max<std::size_t>(bytes, 1);
    void* p = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE,
                     -1, 0);
    if (p == MAP_FAILED) throw DibError("not enough memory to read " + path);
    return {static_cast<std::uint8_t*>(p), [length](std::uint8_t* q) { ::munmap(q, length); }};
}

}  // namespace

raster::Bitmap DecodeBmp(std::span<const std::uint8_t> file, const Limits& limits) {
    const FileLayout layout = ReadLayout(file, file.size(), limits);
    return DecodePixels(layout.info, layout.palette,
                        file.subspan(layout.dataOffset, layout.dataBytes));
}

void DecodeBmpInto(std::span<const std::uint8_t> file, raster::Bitmap& out, const Limits& limits) {
    const FileLayout layout = ReadLayout(file, file.size(), limits);
    DecodePixelsInto(layout.info, layout.palette, file.subspan(layout.dataOffset, layout.dataBytes), out);
}

raster::Bitmap LoadBmpFile(const std::string& path, const Limits& limits) {
    struct stat st {};
    const UniqueFd fd = OpenRegularFile(path.c_str(), &st);
    if (!fd) throw DibError(OpenFailure(path));
    const auto fileSize = static_cast<std::size_t>(st.st_size);

    std::vector<std::uint8_t> prefix(std::min(fileSize, kPrefixBytes));
    prefix.resize(ReadAt(fd.Get(), prefix.data(), prefix.size(), 0, path));
    const FileLayout layout = ReadLayout(prefix, fileSize, limits);

    // The pixels go into a block of their own, which a 24-bit bitmap adopts
    // as it is.
    raster::Bitmap::Block block = AllocatePixelBlock(layout.dataBytes, path);
    std::uint8_t* data = block.data;
    HeldBits bits(OwnedBits{std::move(block), layout.dataBytes});
    bits.KeepFirst(ReadAt(fd.Get(), data, layout.dataBytes, layout.dataOffset, path));
    return DecodePixels(layout.info, layout.palette, bits);
}

}  // namespace vantoria::dib
