#pragma once
// A pass over a baseline JPEG's Huffman-coded data that decodes no
// coefficients: it only follows the codes, to learn where each row of blocks
// starts and what each component's DC prediction is there. That is what a
// second decoder needs to start in the middle of a picture, and it costs a
// fraction of libjpeg's own entropy decoding (which also works out every
// coefficient's value).
//
// It follows libjpeg's reading exactly for data as the tables describe it;
// anything else (a code no table holds, a marker or padding inside the
// data, the file's end) makes it stop, and the caller decodes without it.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "Source.h"

namespace vantoria::spi {

// One Huffman table as a file defines it: how many codes of each length
// (counts[1..16]) and the symbols in code order.
struct HuffmanTable {
    std::array<std::uint8_t, 17> counts{};
    std::array<std::uint8_t, 256> symbols{};
};

// The layout of a single interleaved scan.
struct ScanShape {
    struct Block {
        int component = 0;  // index into the scan's components
        int dcTable = 0;    // 0..3
        int acTable = 0;
    };
    std::vector<Block> blocks;  // of one MCU, in order (at most 10)
    int components = 0;         // in the scan, at most 4
    int mcusPerRow = 0;
    int mcuRows = 0;
    std::array<const HuffmanTable*, 4> dc{};  // null where the scan uses none
    std::array<const HuffmanTable*, 4> ac{};
};

// Where the coded data stands at the start of one row of MCUs.
struct RowStart {
    int row = -1;
    // The first byte of the file whose bits are all still to come.
    std::uint64_t resume = 0;
    // Bits of the data byte just before it already used (0..7); the rest
    // of that byte (`partial`) starts the row.
    int usedBits = 0;
    std::uint8_t partial = 0;
    // Each scan component's DC prediction (libjpeg keeps them as int and
    // lets them wrap).
    std::array<std::uint32_t, 4> dc{};
};

// Canonical Huffman codes of one table, for writing with it.
struct HuffmanCodes {
    std::array<std::uint16_t, 256> code{};
    std::array<std::uint8_t, 256> length{};  // 0: the table has no such symbol
    // Throws nothing; a table that overfills its code space gives false.
    bool Build(const HuffmanTable& table);
};

class EntropyScout {
public:
    // `dataStart` is where the scan's coded data starts in `source`. The
    // shape must come from a decoder that accepted the tables.
    EntropyScout(const Source& source, std::uint64_t dataStart, const ScanShape& shape);
    ~EntropyScout();
    EntropyScout(const EntropyScout&) = delete;
    EntropyScout& operator=(const EntropyScout&) = delete;

    // False when the tables could not be used.
    bool Usable() const;
    // Follows the data to the start of MCU row `row` (not before the current
    // one). False when it cannot (see above); the scout is then spent.
    bool SkipTo(int row);
    // The start of the row reached (row -1 when it could not be told).
    const RowStart& Here() const { return here_; }
    // The start of any row reached so far; null when it could not be told.
    const RowStart* StartOf(int row) const;

private:
    struct Tables;
    class BitReader;
    bool SkipRow();
    bool MarkRowStart();

    const ScanShape& shape_;
    std::unique_ptr<Tables> tables_;
    std::unique_ptr<BitReader> bits_;
    std::array<std::uint32_t, 4> dc_{};
    int row_ = 0;
    bool spent_ = false;
    RowStart here_;
    std::vector<RowStart> starts_;  // of every row passed (row -1 where unknown)
};

}  // namespace vantoria::spi
