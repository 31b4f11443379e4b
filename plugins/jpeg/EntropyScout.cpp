#include "EntropyScout.h"

#include <algorithm>
#include <cstring>

namespace vantoria::spi {
namespace {

// Bits looked up at once: a DC category, and up to a few AC symbols (most
// of a photograph's symbols are short).
constexpr int kDcBits = 9;
constexpr int kAcBits = 11;
constexpr std::uint32_t kAcMask = (1u << kAcBits) - 1;

// The canonical codes of a table, as libjpeg makes them; false when the
// lengths overfill the code space (libjpeg refuses such a table too).
bool CanonicalCodes(const HuffmanTable& table, std::array<std::uint16_t, 256>& code,
                    std::array<std::uint8_t, 256>& length, int& total) {
    total = 0;
    for (int l = 1; l <= 16; ++l) {
        if (total + table.counts[l] > 256) return false;
        for (int i = 0; i < table.counts[l]; ++i) length[static_cast<std::size_t>(total++)] = static_cast<std::uint8_t>(l);
    }
    std::uint32_t next = 0;
    int l = 1;
    for (int p = 0; p < total; ++next) {
        while (length[static_cast<std::size_t>(p)] > l) {
            next <<= 1;
            ++l;
        }
        if (next >= (1u << l)) return false;
        code[static_cast<std::size_t>(p++)] = static_cast<std::uint16_t>(next);
    }
    return true;
}

// The code tables libjpeg's decoder uses for codes too long to look up.
struct LongCodes {
    std::array<std::int32_t, 18> maxcode{};
    std::array<std::int32_t, 18> offset{};
    std::array<std::uint8_t, 256> symbols{};
    int total = 0;
};

}  // namespace

bool HuffmanCodes::Build(const HuffmanTable& table) {
    std::array<std::uint16_t, 256> codes{};
    std::array<std::uint8_t, 256> lengths{};
    int total = 0;
    if (!CanonicalCodes(table, codes, lengths, total)) return false;
    length.fill(0);
    for (int p = 0; p < total; ++p) {
        const std::uint8_t symbol = table.symbols[static_cast<std::size_t>(p)];
        if (length[symbol] != 0) continue;  // a symbol listed twice: the first code is as good
        code[symbol] = codes[static_cast<std::size_t>(p)];
        length[symbol] = lengths[static_cast<std::size_t>(p)];
    }
    return true;
}

struct EntropyScout::Tables {
    struct Dc {
        std::array<std::uint16_t, 1u << kDcBits> fast{};  // length << 8 | category; 0: longer
        LongCodes slow;
    };
    // An AC entry covers the symbols whose codes lie within the bits looked
    // up (a value may run past them only in the last): all of them (how many
    // bits, how far along the block, whether the last ends it) and the first
    // alone.
    struct Ac {
        std::array<std::uint32_t, 1u << kAcBits> fast{};
        LongCodes slow;
    };
    std::array<Dc, 4> dc;
    std::array<Ac, 4> ac;
    bool usable = false;

    static constexpr std::uint32_t AllBits(std::uint32_t e) { return e & 31; }
    static constexpr std::uint32_t AllAdvance(std::uint32_t e) { return (e >> 5) & 127; }
    static constexpr bool AllEnd(std::uint32_t e) { return (e >> 12) & 1; }
    static constexpr std::uint32_t FirstBits(std::uint32_t e) { return (e >> 13) & 31; }
    static constexpr std::uint32_t FirstAdvance(std::uint32_t e) { return (e >> 18) & 127; }
    static constexpr bool FirstEnd(std::uint32_t e) { return (e >> 25) & 1; }
};

namespace {

bool BuildLong(const HuffmanTable& table, LongCodes& out, std::array<std::uint16_t, 256>& code,
               std::array<std::uint8_t, 256>& length) {
    if (!CanonicalCodes(table, code, length, out.total)) return false;
    out.symbols = table.symbols;
    int p = 0;
    for (int l = 1; l <= 16; ++l) {
        if (table.counts[l] != 0) {
            out.offset[static_cast<std::size_t>(l)] = p - code[static_cast<std::size_t>(p)];
            p += table.counts[l];
            out.maxcode[static_cast<std::size_t>(l)] = code[static_cast<std::size_t>(p - 1)];
        } else {
            out.maxcode[static_cast<std::size_t>(l)] = -1;
        }
    }
    out.maxcode[17] = INT32_MAX;
    return true;
}

// The symbol whose code starts `window` (16 bits, first bit highest), and
// its length; length 0 when no code of the table starts so.
std::pair<int, int> DecodeLong(const LongCodes& t, std::uint32_t window, int shortest = 1) {
    for (int l = shortest; l <= 16; ++l) {
        const auto c = static_cast<std::int32_t>(window >> (16 - l));
        if (c <= t.maxcode[static_cast<std::size_t>(l)]) {
            const std::int32_t at = c + t.offset[static_cast<std::size_t>(l)];
            if (at < 0 || at >= t.total) return {0, 0};
            return {t.symbols[static_cast<std::size_t>(at)], l};
        }
    }
    return {0, 0};
}

void BuildAcFast(const LongCodes& slow, std::array<std::uint32_t, 1u << kAcBits>& fast) {
    for (std::uint32_t i = 0; i <= kAcMask; ++i) {
        int pos = 0;
        std::uint32_t advance = 0;
        bool end = false;
        std::uint32_t first = 0;
        for (int n = 0; pos < kAcBits && !end; ++n) {
            const auto window = static_cast<std::uint32_t>((i << pos) & kAcMask) << (16 - kAcBits);
            const auto [symbol, length] = DecodeLong(slow, window);
            const int r = symbol >> 4, s = symbol & 15;
            const int bits = length + s;
            if (length == 0 || length > kAcBits - pos) break;
            const std::uint32_t step = s != 0 ? std::uint32_t(r + 1) : r == 15 ? 16u : 0u;
            const bool ends = s == 0 && r != 15;
            // A symbol needs only its code within the bits looked up: its
            // value bits, passed over unread, may run past them (and then
            // it is the entry's last).
            if (n == 0) first = std::uint32_t(bits) << 13 | step << 18 | std::uint32_t(ends) << 25;
            if (n > 0 && advance + step >= 63) break;
            pos += bits;
            advance += step;
            end = ends;
        }
        // No symbol whole within the bits: the first alone (all bits 0).
        fast[i] = first == 0 ? 0 : first | std::uint32_t(pos) | advance << 5 | std::uint32_t(end) << 12;
    }
}

constexpr bool HasFF(std::uint64_t w) {
    const std::uint64_t v = ~w;
    return ((v - 0x0101010101010101ull) & ~v & 0x8080808080808080ull) != 0;
}

inline std::uint64_t LoadBigEndian(const std::uint8_t* p) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    return __builtin_bswap64(w);
}

inline std::int32_t Extend(std::uint32_t value, int s) {
    return static_cast<std::int32_t>(value) - (value < (1u << (s - 1)) ? static_cast<std::int32_t>((1u << s) - 1) : 0);
}

}  // namespace

// The coded bytes in a window read from the file in large pieces, keeping a
// few bytes before the reading point so that a row's start can be found
// back; bits are taken highest first from a 64-bit register.
class EntropyScout::BitReader {
public:
    BitReader(const Source& source, std::uint64_t start) : source_(source), base_(start) {}

    std::uint64_t acc = 0;  // the next bits, highest first
    int n = 0;              // how many of them are valid
    std::size_t p = 0;      // next byte of the window to load
    std::size_t end = 0;

    const std::uint8_t* Data() const { return window_.data(); }

    // At least 32 valid bits, unless the data ends: false then.
    bool Fill() {
        if (end - p >= 8) {
            const std::uint64_t w = LoadBigEndian(window_.data() + p);
            if (!HasFF(w)) {
                acc |= w >> n;
                p += static_cast<std::size_t>((63 - n) >> 3);
                n |= 56;
                return true;
            }
        }
        return FillSlowly();
    }

    // The start of the data byte holding the next bit, found back from the
    // loading point: `whole` data bytes of the register lie between.
    bool Back(std::size_t& q, std::uint8_t* value) const {
        if (q == 0) return false;
        const std::uint8_t last = window_[q - 1];
        if (last == 0x00 && q >= 2 && window_[q - 2] == 0xFF) {
            q -= 2;  // FF 00 is one FF (padding before it never gets this far)
            if (value) *value = 0xFF;
            return true;
        }
        if (last == 0xFF) return false;
        --q;
        if (value) *value = last;
        return true;
    }
    std::uint64_t Offset(std::size_t q) const { return base_ + q; }

private:
    static constexpr std::size_t kPiece = 256 * 1024;
    static constexpr std::size_t kKeep = 64;

    int NextByte() {
        if (p == end && !Load()) return -1;
        return window_[p++];
    }
    bool Load() {
        if (window_.empty()) window_.resize(kKeep + kPiece);
        const std::size_t keepFrom = p > kKeep ? p - kKeep : 0;
        std::memmove(window_.data(), window_.data() + keepFrom, end - keepFrom);
        base_ += keepFrom;
        p -= keepFrom;
        end -= keepFrom;
        const std::size_t got = source_.ReadAt(base_ + end, window_.data() + end, window_.size() - end);
        end += got;
        return got != 0;
    }
    bool FillSlowly() {
        while (n <= 56) {
            int c = NextByte();
            if (c < 0) return false;
            // FF 00 is a data byte FF; FF and anything else is a marker (or
            // the end), where the data stops. So is FF FF: libjpeg reads
            // padding there, but what it decodes around it depends on how
            // its source hands it the bytes, so no decoder starting further
            // on could be held to it.
            if (c == 0xFF && NextByte() != 0) return false;
            acc |= std::uint64_t(c) << (56 - n);
            n += 8;
        }
        return true;
    }

    const Source& source_;
    std::uint64_t base_;  // the file offset of window_[0]
    std::vector<std::uint8_t> window_;
};

EntropyScout::EntropyScout(const Source& source, std::uint64_t dataStart, const ScanShape& shape)
    : shape_(shape), tables_(std::make_unique<Tables>()), bits_(std::make_unique<BitReader>(source, dataStart)) {
    const bool shaped = !shape.blocks.empty() && shape.blocks.size() <= 10 && shape.components >= 1 &&
                        shape.components <= 4 && shape.mcusPerRow > 0 && shape.mcuRows > 0;
    tables_->usable = shaped;
    std::array<std::uint16_t, 256> code{};
    std::array<std::uint8_t, 256> length{};
    for (std::size_t t = 0; t < 4 && tables_->usable; ++t) {
        if (const HuffmanTable* table = shape.dc[t]) {
            Tables::Dc& dc = tables_->dc[t];
            if (!BuildLong(*table, dc.slow, code, length)) tables_->usable = false;
            for (int p = 0; p < dc.slow.total; ++p) {
                const int l = length[static_cast<std::size_t>(p)];
                const int s = table->symbols[static_cast<std::size_t>(p)];
                if (s > 15) tables_->usable = false;  // libjpeg refuses such DC tables
                if (l > kDcBits) continue;
                const std::uint32_t from = std::uint32_t(code[static_cast<std::size_t>(p)]) << (kDcBits - l);
                for (std::uint32_t i = 0; i < (1u << (kDcBits - l)); ++i)
                    dc.fast[from + i] = static_cast<std::uint16_t>(l << 8 | s);
            }
        }
        if (const HuffmanTable* table = shape.ac[t]) {
            Tables::Ac& ac = tables_->ac[t];
            if (!BuildLong(*table, ac.slow, code, length)) tables_->usable = false;
            BuildAcFast(ac.slow, ac.fast);
        }
    }
    for (const ScanShape::Block& b : shape.blocks)
        if (b.component < 0 || b.component >= shape.components || b.dcTable < 0 || b.dcTable > 3 || b.acTable < 0 ||
            b.acTable > 3 || !shape.dc[static_cast<std::size_t>(b.dcTable)] ||
            !shape.ac[static_cast<std::size_t>(b.acTable)])
            tables_->usable = false;
    here_.row = 0;
    here_.resume = dataStart;
    spent_ = !tables_->usable;
}

EntropyScout::~EntropyScout() = default;

bool EntropyScout::Usable() const { return tables_->usable; }

bool EntropyScout::SkipTo(int row) {
    if (spent_ || row > shape_.mcuRows) return false;
    while (row_ < row) {
        if (!SkipRow()) {
            spent_ = true;
            return false;
        }
        ++row_;
        MarkRowStart();
    }
    return true;
}

const RowStart* EntropyScout::StartOf(int row) const {
    if (row == row_) return here_.row == row ? &here_ : nullptr;
    if (row < 0 || static_cast<std::size_t>(row) >= starts_.size()) return nullptr;
    const RowStart& start = starts_[static_cast<std::size_t>(row)];
    return start.row == row ? &start : nullptr;
}

bool EntropyScout::MarkRowStart() {
    starts_.push_back(here_);
    here_ = RowStart{};
    here_.dc = dc_;
    const BitReader& b = *bits_;
    std::size_t q = b.p;
    for (int i = 0; i < b.n / 8; ++i)
        if (!b.Back(q, nullptr)) return false;
    if (b.n % 8 != 0) {
        std::size_t at = q;
        if (!b.Back(at, &here_.partial)) return false;
        here_.usedBits = 8 - b.n % 8;
    }
    here_.resume = b.Offset(q);
    here_.row = row_;
    return true;
}

bool EntropyScout::SkipRow() {
    BitReader& b = *bits_;
    const Tables& t = *tables_;
    std::uint64_t acc = b.acc;
    int n = b.n;
    // Registers back to the reader around its slow paths.
    std::size_t p = b.p;
    // Topped up before every look-up, without a test of how many bits are
    // left (which no branch predictor can guess): eight bytes with no FF
    // among them go straight in.
    const auto fill = [&]() {
        if (b.end - p >= 8) {
            const std::uint64_t w = LoadBigEndian(b.Data() + p);
            if (!HasFF(w)) [[likely]] {
                acc |= w >> n;
                p += static_cast<std::size_t>((63 - n) >> 3);
                n |= 56;
                return true;
            }
        }
        if (n >= 32) return true;
        b.acc = acc, b.n = n, b.p = p;
        const bool ok = b.Fill();
        acc = b.acc, n = b.n, p = b.p;
        return ok;
    };
    const auto take = [&](int count) {
        acc <<= count;
        n -= count;
    };
    for (int m = 0; m < shape_.mcusPerRow; ++m) {
        for (const ScanShape::Block& block : shape_.blocks) {
            // The DC difference: its category, then that many bits.
            if (!fill()) return false;
            const Tables::Dc& dc = t.dc[static_cast<std::size_t>(block.dcTable)];
            int length, s;
            if (const std::uint16_t e = dc.fast[acc >> (64 - kDcBits)]; e != 0) {
                length = e >> 8, s = e & 0xFF;
            } else {
                const auto decoded = DecodeLong(dc.slow, static_cast<std::uint32_t>(acc >> 48), kDcBits + 1);
                s = decoded.first, length = decoded.second;
                if (length == 0) return false;
            }
            take(length);
            if (s != 0) {
                const auto value = static_cast<std::uint32_t>(acc >> (64 - s));
                take(s);
                dc_[static_cast<std::size_t>(block.component)] += static_cast<std::uint32_t>(Extend(value, s));
            }
            // The AC symbols, up to the end of block or the 63rd coefficient.
            const Tables::Ac& ac = t.ac[static_cast<std::size_t>(block.acTable)];
            for (std::uint32_t k = 1;;) {
                if (!fill()) return false;
                const std::uint32_t e = ac.fast[acc >> (64 - kAcBits)];
                if (Tables::AllBits(e) != 0 && k + Tables::AllAdvance(e) < 64) {
                    take(static_cast<int>(Tables::AllBits(e)));
                    k += Tables::AllAdvance(e);
                    if (Tables::AllEnd(e)) break;
                    continue;
                }
                if (e != 0) {
                    take(static_cast<int>(Tables::FirstBits(e)));
                    if (Tables::FirstEnd(e)) break;
                    k += Tables::FirstAdvance(e);
                } else {
                    const auto [symbol, codeLength] =
                        DecodeLong(ac.slow, static_cast<std::uint32_t>(acc >> 48), kAcBits + 1);
                    if (codeLength == 0) return false;
                    take(codeLength);
                    const int r = symbol >> 4, size = symbol & 15;
                    if (size != 0) {
                        take(size);
                        k += static_cast<std::uint32_t>(r) + 1;
                    } else if (r == 15) {
                        k += 16;
                    } else {
                        break;
                    }
                }
                if (k >= 64) break;
            }
        }
    }
    b.acc = acc, b.n = n, b.p = p;
    return true;
}

}  // namespace vantoria::spi
