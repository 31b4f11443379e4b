#pragma once
// A JPEG file remade to start at one row of MCUs of a baseline picture, for
// a second libjpeg decoder: the file's own header with a smaller height, one
// row of blocks of our own that brings every DC prediction to its value at
// that row and ends where the row's first bit falls within its byte, then
// the file's own coded bytes from there to the end. libjpeg's rows of it,
// after that first row of ours, are exactly its rows of the whole file from
// the row on.

#include <array>
#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <memory>
#include <optional>
#include <vector>

#include <jpeglib.h>

#include "EntropyScout.h"
#include "Source.h"

namespace vantoria::spi {

// Where a baseline file's header holds the picture's height, and where the
// coded data of its (first) scan starts, looked for no further than `limit`;
// nothing for a header of anything but plain segments up to that scan.
struct HeaderPlaces {
    std::uint64_t height = 0;
    std::uint64_t data = 0;
};
std::optional<HeaderPlaces> FindHeaderPlaces(const Source& source, std::uint64_t limit = UINT64_MAX);

// What the remade file needs to know of the picture. The shape points into
// the tables held here, so it is made in place and never copied.
struct SpliceBase {
    SpliceBase() = default;
    SpliceBase(const SpliceBase&) = delete;
    SpliceBase& operator=(const SpliceBase&) = delete;

    HeaderPlaces places;
    int height = 0;        // the picture's, in pixels
    int mcuRowPixels = 0;  // pixel rows of one row of MCUs
    std::array<HuffmanTable, 4> dcTables, acTables;
    ScanShape shape;
};

// What a decoder starting mid-picture needs, from a decompressor that has
// started (so its tables are checked): for a baseline picture of one
// interleaved scan, or of one component of plain sampling, with no restart
// markers, whose scan's coded data starts at `dataStart`; nothing for any
// other.
std::unique_ptr<SpliceBase> SpliceBaseOf(const jpeg_decompress_struct& cinfo, const Source& source,
                                         std::uint64_t dataStart);

class RowSplice {
public:
    // The file from row `at.row` on (one row of ours first), or nothing when
    // the tables cannot write such a row or the height would not fit.
    static std::optional<RowSplice> Make(const Source& source, const SpliceBase& base, const RowStart& at);

    // Its size, and its bytes as Source::ReadAt gives the file's.
    std::uint64_t Size() const { return size_; }
    std::size_t ReadAt(std::uint64_t pos, void* dst, std::size_t n) const;

private:
    struct Piece {
        std::uint64_t from = 0;  // in the file, or in `made_`
        std::uint64_t size = 0;
        bool made = false;
    };
    explicit RowSplice(const Source& source) : source_(&source) {}

    const Source* source_;
    std::vector<std::uint8_t> made_;
    std::vector<Piece> pieces_;
    std::uint64_t size_ = 0;
};

}  // namespace vantoria::spi
