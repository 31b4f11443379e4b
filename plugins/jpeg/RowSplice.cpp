#include "RowSplice.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace vantoria::spi {
namespace {

// Bits written highest first into bytes, with no stuffing yet.
class BitWriter {
public:
    void Put(std::uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            current_ = static_cast<std::uint8_t>(current_ << 1 | ((value >> i) & 1));
            if (++bits_ % 8 == 0) {
                bytes_.push_back(current_);
                current_ = 0;
            }
        }
    }
    std::uint64_t Bits() const { return bits_; }
    const std::vector<std::uint8_t>& Whole() const { return bytes_; }
    // The bits after the last whole byte, at the top of a byte.
    std::uint8_t Tail() const {
        const int left = static_cast<int>(bits_ % 8);
        return left == 0 ? 0 : static_cast<std::uint8_t>(current_ << (8 - left));
    }

private:
    std::vector<std::uint8_t> bytes_;
    std::uint8_t current_ = 0;
    std::uint64_t bits_ = 0;
};

int Category(std::int64_t v) {
    std::uint64_t m = static_cast<std::uint64_t>(v < 0 ? -v : v);
    int c = 0;
    while (m != 0) m >>= 1, ++c;
    return c;
}

// DC differences for `blocks` blocks of one component, each of a category
// the table can write, adding up to `target`; empty when none are found.
std::vector<std::int32_t> PlanDc(const HuffmanCodes& codes, std::int64_t target, int blocks) {
    std::vector<std::int32_t> diffs;
    diffs.reserve(static_cast<std::size_t>(blocks));
    const auto has = [&](int category) { return category <= 15 && codes.length[static_cast<std::size_t>(category)] != 0; };
    std::int64_t left = target;
    for (int i = 0; i < blocks; ++i) {
        std::int64_t d = 0;
        if (left != 0) {
            const int want = Category(left);
            const std::int64_t sign = left < 0 ? -1 : 1;
            int below = std::min(want, 15);
            while (below >= 1 && !has(below)) --below;
            if (below == want) {
                d = left;
            } else if (below >= 1) {
                d = sign * ((std::int64_t{1} << below) - 1);
            } else {
                int above = want + 1;
                while (above <= 15 && !has(above)) ++above;
                if (above > 15) return {};
                d = sign * (std::int64_t{1} << (above - 1));
            }
        } else if (!has(0)) {
            return {};
        }
        diffs.push_back(static_cast<std::int32_t>(d));
        left -= d;
    }
    if (left != 0) return {};
    return diffs;
}

// A difference or coefficient's value bits.
std::uint32_t ValueBits(std::int32_t v, int category) {
    return category == 0 ? 0 : static_cast<std::uint32_t>(v < 0 ? v - 1 : v) & ((1u << category) - 1);
}

class SmallReader {
public:
    explicit SmallReader(const Source& source) : source_(source) {}
    // The byte at `pos`, or -1 past the end.
    int At(std::uint64_t pos) {
        if (pos < start_ || pos >= start_ + got_) {
            start_ = pos;
            got_ = source_.ReadAt(pos, buffer_.data(), buffer_.size());
            if (got_ == 0) return -1;
        }
        return buffer_[static_cast<std::size_t>(pos - start_)];
    }

private:
    const Source& source_;
    std::array<std::uint8_t, 512> buffer_{};
    std::uint64_t start_ = 0;
    std::size_t got_ = 0;
};

}  // namespace

std::optional<HeaderPlaces> FindHeaderPlaces(const Source& source, std::uint64_t limit) {
    SmallReader in(source);
    if (in.At(0) != 0xFF || in.At(1) != 0xD8) return std::nullopt;
    HeaderPlaces places;
    std::uint64_t pos = 2;
    for (int segments = 0; segments < 100000 && pos < limit; ++segments) {
        if (in.At(pos) != 0xFF) return std::nullopt;
        while (in.At(pos) == 0xFF && pos < limit) ++pos;  // fill before a marker
        const int marker = in.At(pos);
        if (marker < 0) return std::nullopt;
        const int hi = in.At(pos + 1), lo = in.At(pos + 2);
        if (hi < 0 || lo < 0) return std::nullopt;
        const std::uint64_t length = std::uint64_t(hi) << 8 | std::uint64_t(lo);
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD9) || length < 2) return std::nullopt;
        if (marker == 0xC0 || marker == 0xC1) {
            if (places.height != 0 || length < 8) return std::nullopt;
            places.height = pos + 4;  // after the length and the precision
        } else if (marker >= 0xC2 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            return std::nullopt;  // progressive, lossless or arithmetic
        } else if (marker == 0xDA) {
            if (places.height == 0) return std::nullopt;
            places.data = pos + 1 + length;
            return places;
        }
        pos += 1 + length;
    }
    return std::nullopt;
}

std::unique_ptr<SpliceBase> SpliceBaseOf(const jpeg_decompress_struct& cinfo, const Source& source,
                                         std::uint64_t dataStart) {
    const int comps = cinfo.comps_in_scan;
    if (cinfo.progressive_mode || cinfo.arith_code || cinfo.restart_interval != 0 || cinfo.data_precision != 8 ||
        comps < 1 || comps > 4 || comps != cinfo.num_components || cinfo.blocks_in_MCU > 10)
        return nullptr;
    if (comps == 1 && cinfo.cur_comp_info[0]->v_samp_factor != 1) return nullptr;
    const std::optional<HeaderPlaces> places = FindHeaderPlaces(source, dataStart);
    if (!places || places->data != dataStart) return nullptr;
    auto base = std::make_unique<SpliceBase>();
    base->places = *places;
    base->height = static_cast<int>(cinfo.image_height);
    base->mcuRowPixels = comps == 1 ? DCTSIZE : cinfo.max_v_samp_factor * DCTSIZE;
    ScanShape& shape = base->shape;
    shape.components = comps;
    shape.mcusPerRow = static_cast<int>(cinfo.MCUs_per_row);
    shape.mcuRows = static_cast<int>(cinfo.MCU_rows_in_scan);
    const auto copy = [](const JHUFF_TBL* from, HuffmanTable& to) {
        std::copy(std::begin(from->bits), std::end(from->bits), to.counts.begin());
        std::copy(std::begin(from->huffval), std::end(from->huffval), to.symbols.begin());
    };
    for (int b = 0; b < cinfo.blocks_in_MCU; ++b) {
        const int c = cinfo.MCU_membership[b];
        if (c < 0 || c >= comps) return nullptr;
        const jpeg_component_info* comp = cinfo.cur_comp_info[c];
        const int dc = comp->dc_tbl_no, ac = comp->ac_tbl_no;
        if (dc < 0 || dc > 3 || ac < 0 || ac > 3 || !cinfo.dc_huff_tbl_ptrs[dc] || !cinfo.ac_huff_tbl_ptrs[ac])
            return nullptr;
        const auto d = static_cast<std::size_t>(dc), a = static_cast<std::size_t>(ac);
        copy(cinfo.dc_huff_tbl_ptrs[dc], base->dcTables[d]);
        copy(cinfo.ac_huff_tbl_ptrs[ac], base->acTables[a]);
        shape.dc[d] = &base->dcTables[d];
        shape.ac[a] = &base->acTables[a];
        shape.blocks.push_back({c, dc, ac});
    }
    return base;
}

std::optional<RowSplice> RowSplice::Make(const Source& source, const SpliceBase& base, const RowStart& at) {
    const ScanShape& shape = base.shape;
    if (at.row < 0 || at.row >= shape.mcuRows || base.mcuRowPixels <= 0) return std::nullopt;
    const std::int64_t height = std::int64_t{base.height} - std::int64_t{at.row - 1} * base.mcuRowPixels;
    if (height <= 0 || height > 0xFFFF) return std::nullopt;

    std::array<HuffmanCodes, 4> dc, ac;
    for (std::size_t t = 0; t < 4; ++t) {
        if (shape.dc[t] && !dc[t].Build(*shape.dc[t])) return std::nullopt;
        if (shape.ac[t] && !ac[t].Build(*shape.ac[t])) return std::nullopt;
    }
    const int across = shape.mcusPerRow;
    // Each component's DC differences over the row.
    std::array<std::vector<std::int32_t>, 4> diffs;
    for (int c = 0; c < shape.components; ++c) {
        int perMcu = 0, table = 0;
        for (const ScanShape::Block& b : shape.blocks)
            if (b.component == c) ++perMcu, table = b.dcTable;
        if (perMcu == 0) return std::nullopt;
        const auto target = static_cast<std::int64_t>(static_cast<std::int32_t>(at.dc[static_cast<std::size_t>(c)]));
        diffs[static_cast<std::size_t>(c)] = PlanDc(dc[static_cast<std::size_t>(table)], target, perMcu * across);
        if (diffs[static_cast<std::size_t>(c)].empty()) return std::nullopt;
    }
    // The row's length without extras, and the extras that can bring it to
    // the bit the real row starts at: one AC coefficient before the end of
    // block in some blocks (each in an MCU of its own).
    std::uint64_t bits = 0;
    {
        std::array<std::size_t, 4> used{};
        for (int m = 0; m < across; ++m)
            for (const ScanShape::Block& b : shape.blocks) {
                const auto c = static_cast<std::size_t>(b.component);
                const std::int32_t d = diffs[c][used[c]++];
                const int category = Category(d);
                bits += dc[static_cast<std::size_t>(b.dcTable)].length[static_cast<std::size_t>(category)] + category;
                const std::uint8_t end = ac[static_cast<std::size_t>(b.acTable)].length[0];
                if (end == 0) return std::nullopt;  // the table cannot end a block early
                bits += end;
            }
    }
    struct Extra {
        int block = -1;
        int symbol = 0;
    };
    std::array<Extra, 8> byResidue;  // one extra per residue of its length
    for (int b = 0; b < static_cast<int>(shape.blocks.size()); ++b) {
        const HuffmanCodes& codes = ac[static_cast<std::size_t>(shape.blocks[static_cast<std::size_t>(b)].acTable)];
        for (int symbol = 1; symbol < 256; ++symbol) {
            const int size = symbol & 15, run = symbol >> 4;
            if (size == 0 || run > 14 || codes.length[static_cast<std::size_t>(symbol)] == 0) continue;
            Extra& slot = byResidue[static_cast<std::size_t>((codes.length[static_cast<std::size_t>(symbol)] + size) % 8)];
            if (slot.block < 0) slot = {b, symbol};
        }
    }
    // Fewest extras (at most seven, one per MCU) whose lengths make up the
    // missing bits modulo 8: a search over residues.
    const int need = static_cast<int>((static_cast<std::uint64_t>(at.usedBits) + 8 - bits % 8) % 8);
    std::array<int, 8> via{};     // residue reached from
    std::array<int, 8> extra{};   // by the extra of this residue
    std::array<int, 8> steps{};
    steps.fill(-1);
    steps[0] = 0;
    for (int round = 0; round < 7; ++round)
        for (int r = 0; r < 8; ++r)
            if (steps[static_cast<std::size_t>(r)] == round)
                for (int e = 1; e < 8; ++e)
                    if (byResidue[static_cast<std::size_t>(e)].block >= 0) {
                        const int to = (r + e) % 8;
                        if (steps[static_cast<std::size_t>(to)] < 0) {
                            steps[static_cast<std::size_t>(to)] = round + 1;
                            via[static_cast<std::size_t>(to)] = r;
                            extra[static_cast<std::size_t>(to)] = e;
                        }
                    }
    if (steps[static_cast<std::size_t>(need)] < 0 || steps[static_cast<std::size_t>(need)] > across) return std::nullopt;
    std::vector<Extra> extras;  // the extra of MCU i
    for (int r = need; r != 0; r = via[static_cast<std::size_t>(r)])
        extras.push_back(byResidue[static_cast<std::size_t>(extra[static_cast<std::size_t>(r)])]);

    BitWriter row;
    std::array<std::size_t, 4> used{};
    for (int m = 0; m < across; ++m)
        for (int b = 0; b < static_cast<int>(shape.blocks.size()); ++b) {
            const ScanShape::Block& block = shape.blocks[static_cast<std::size_t>(b)];
            const auto c = static_cast<std::size_t>(block.component);
            const std::int32_t d = diffs[c][used[c]++];
            const int category = Category(d);
            const HuffmanCodes& dcCodes = dc[static_cast<std::size_t>(block.dcTable)];
            row.Put(dcCodes.code[static_cast<std::size_t>(category)], dcCodes.length[static_cast<std::size_t>(category)]);
            row.Put(ValueBits(d, category), category);
            const HuffmanCodes& acCodes = ac[static_cast<std::size_t>(block.acTable)];
            if (static_cast<std::size_t>(m) < extras.size() && extras[static_cast<std::size_t>(m)].block == b) {
                const auto symbol = static_cast<std::size_t>(extras[static_cast<std::size_t>(m)].symbol);
                row.Put(acCodes.code[symbol], acCodes.length[symbol]);
                row.Put((1u << (symbol & 15)) - 1, static_cast<int>(symbol & 15));
            }
            row.Put(acCodes.code[0], acCodes.length[0]);
        }
    if (static_cast<int>(row.Bits() % 8) != at.usedBits) return std::nullopt;

    RowSplice splice(source);
    const auto h = static_cast<std::uint16_t>(height);
    splice.made_ = {static_cast<std::uint8_t>(h >> 8), static_cast<std::uint8_t>(h & 0xFF)};
    const auto stuffed = [&](std::uint8_t byte) {
        splice.made_.push_back(byte);
        if (byte == 0xFF) splice.made_.push_back(0x00);
    };
    for (std::uint8_t byte : row.Whole()) stuffed(byte);
    if (at.usedBits != 0)
        stuffed(static_cast<std::uint8_t>(row.Tail() | (at.partial & ((1u << (8 - at.usedBits)) - 1))));

    const HeaderPlaces& places = base.places;
    if (places.height + 2 > places.data || at.resume < places.data || at.resume > source.Size()) return std::nullopt;
    splice.pieces_ = {{0, places.height, false},
                      {0, 2, true},
                      {places.height + 2, places.data - places.height - 2, false},
                      {2, splice.made_.size() - 2, true},
                      {at.resume, source.Size() - at.resume, false}};
    for (const Piece& piece : splice.pieces_) splice.size_ += piece.size;
    return splice;
}

std::size_t RowSplice::ReadAt(std::uint64_t pos, void* dst, std::size_t n) const {
    auto* out = static_cast<std::uint8_t*>(dst);
    std::size_t done = 0;
    std::uint64_t start = 0;
    for (const Piece& piece : pieces_) {
        if (done == n) break;
        const std::uint64_t end = start + piece.size;
        if (pos < end) {
            const std::uint64_t within = pos - start;
            const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(piece.size - within, n - done));
            std::size_t got = count;
            if (piece.made)
                std::memcpy(out + done, made_.data() + piece.from + within, count);
            else
                got = source_->ReadAt(piece.from + within, out + done, count);
            done += got;
            pos += got;
            if (got < count) break;  // the file ends early (it shrank): as the file's own reading would
        }
        start = end;
    }
    return done;
}

}  // namespace vantoria::spi
