// The reader of a plug-in's declared heads: a sound declaration reads back
// as written, and every way a file may lie or break gives none (so that the
// plug-in is loaded as before), without a read outside the file.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "imaging/PluginHeads.h"

using namespace vantoria::imaging;

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put(Bytes& file, std::size_t at, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) file[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Where the parts of the small ELF file below lie.
constexpr std::size_t kNames = 64, kTable = 96, kSections = 512;
constexpr char kNameTable[] = "\0.shstrtab\0.susie_heads\0";   // names at 1 and 11

// A shared object with three sections (none, names, heads) holding one
// declaration of `patterns` patterns, each "AB" at offset 2 then "C" at 10.
Bytes ElfWithHeads(std::uint32_t patterns = 2) {
    Bytes file(kSections + 3 * 64);
    std::memcpy(file.data(), "\x7f" "ELF\x02\x01\x01", 7);
    Put(file, 16, 3, 2);            // shared object
    Put(file, 18, 62, 2);           // x86-64
    Put(file, 20, 1, 4);
    Put(file, 40, kSections, 8);    // section headers
    Put(file, 52, 64, 2);
    Put(file, 58, 64, 2);
    Put(file, 60, 3, 2);
    Put(file, 62, 1, 2);            // names are section 1
    std::memcpy(file.data() + kNames, kNameTable, sizeof kNameTable);
    std::memcpy(file.data() + kTable, SUSIE_HEADS_MAGIC, 8);
    Put(file, kTable + 8, SUSIE_HEADS_VERSION, 4);
    Put(file, kTable + 12, patterns, 4);
    for (std::uint32_t i = 0; i < patterns; ++i) {
        const std::size_t p = kTable + 16 + i * sizeof(SusieHeadPattern);
        Put(file, p, i == 0 ? 2 : 10, 2);
        file[p + 2] = i == 0 ? 2 : 1;
        std::memcpy(file.data() + p + 4, i == 0 ? "AB" : "C", i == 0 ? 2 : 1);
        std::memset(file.data() + p + 4 + SUSIE_HEAD_PATTERN_BYTES, 0xFF, i == 0 ? 2 : 1);
    }
    const auto section = [&file](int index, std::uint32_t name, std::uint32_t type, std::uint64_t offset,
                                 std::uint64_t size) {
        const std::size_t s = kSections + index * 64;
        Put(file, s, name, 4);
        Put(file, s + 4, type, 4);
        Put(file, s + 24, offset, 8);
        Put(file, s + 32, size, 8);
    };
    section(1, 1, 3, kNames, sizeof kNameTable);
    section(2, 11, 1, kTable, 16 + patterns * sizeof(SusieHeadPattern));
    return file;
}

// Parses `file`, failing the test on any read outside it.
std::optional<DeclaredHeads> Parse(const Bytes& file) {
    return ParseDeclaredHeads(
        [&file](std::uint64_t offset, std::uint8_t* to, std::size_t n) -> long long {
            EXPECT_LE(offset, file.size());
            EXPECT_LE(n, 64u * 1024) << "a read larger than a declaration needs";
            if (offset >= file.size()) return 0;
            const std::size_t got = std::min<std::size_t>(n, file.size() - offset);
            std::memcpy(to, file.data() + offset, got);
            return static_cast<long long>(got);
        },
        file.size());
}

std::size_t SectionField(int index, std::size_t field) { return kSections + index * 64 + field; }

}  // namespace

TEST(DeclaredHeads, ReadsASoundDeclarationAndNothingFromABrokenOne) {
    const std::optional<DeclaredHeads> sound = Parse(ElfWithHeads());
    ASSERT_TRUE(sound);
    ASSERT_EQ(sound->Patterns().size(), 2u);
    const auto admits = [&sound](const std::string& head) {
        return sound->Admits({reinterpret_cast<const std::uint8_t*>(head.data()), head.size()});
    };
    EXPECT_TRUE(admits("..AB"));
    EXPECT_TRUE(admits("..........C"));
    EXPECT_FALSE(admits("..A"));          // too short for either pattern
    EXPECT_FALSE(admits("..AC......D"));

    const std::uint64_t kHuge = ~std::uint64_t{0} - 8;
    const struct Case {
        const char* what;
        std::function<void(Bytes&)> breakIt;
    } cases[] = {
        {"empty", [](Bytes& f) { f.clear(); }},
        {"cut in the ELF header", [](Bytes& f) { f.resize(40); }},
        {"cut in the section headers", [](Bytes& f) { f.resize(kSections + 100); }},
        {"not ELF", [](Bytes& f) { f[1] = 'X'; }},
        {"32-bit", [](Bytes& f) { f[4] = 1; }},
        {"big-endian", [](Bytes& f) { f[5] = 2; }},
        {"not a shared object", [](Bytes& f) { Put(f, 16, 2, 2); }},
        {"section headers beyond the end", [](Bytes& f) { Put(f, 40, f.size() - 64, 8); }},
        {"section headers at a huge offset", [kHuge](Bytes& f) { Put(f, 40, kHuge, 8); }},
        {"section headers over the ELF header", [](Bytes& f) { Put(f, 40, 0, 8); }},
        {"odd section header size", [](Bytes& f) { Put(f, 58, 40, 2); }},
        {"no sections", [](Bytes& f) { Put(f, 60, 0, 2); }},
        {"too many sections", [](Bytes& f) { Put(f, 60, 0xFFFF, 2); }},
        {"names past the last section", [](Bytes& f) { Put(f, 62, 3, 2); }},
        {"names not a string table", [](Bytes& f) { Put(f, SectionField(1, 4), 1, 4); }},
        {"names beyond the end", [kHuge](Bytes& f) { Put(f, SectionField(1, 24), kHuge, 8); }},
        {"names of a huge size", [kHuge](Bytes& f) { Put(f, SectionField(1, 32), kHuge, 8); }},
        {"name offset out of the table", [](Bytes& f) { Put(f, SectionField(2, 0), 4000, 4); }},
        {"name unterminated", [](Bytes& f) { Put(f, SectionField(1, 32), sizeof kNameTable - 2, 8); }},
        {"two such sections", [](Bytes& f) { Put(f, SectionField(0, 0), 11, 4), Put(f, SectionField(0, 4), 1, 4); }},
        {"heads with no bytes in the file", [](Bytes& f) { Put(f, SectionField(2, 4), 8, 4); }},
        {"heads beyond the end", [](Bytes& f) { Put(f, SectionField(2, 24), f.size() - 8, 8); }},
        {"heads at a huge offset", [kHuge](Bytes& f) { Put(f, SectionField(2, 24), kHuge, 8); }},
        {"heads over the ELF header", [](Bytes& f) { Put(f, SectionField(2, 24), 8, 8); }},
        {"heads over the section headers", [](Bytes& f) { Put(f, SectionField(2, 24), kSections, 8); }},
        {"heads of a huge size", [kHuge](Bytes& f) { Put(f, SectionField(2, 32), kHuge, 8); }},
        {"heads shorter than their count", [](Bytes& f) { Put(f, SectionField(2, 32), 16 + 52, 8); }},
        {"two tables in one section", [](Bytes& f) { Put(f, kTable + 12, 1, 4); }},
        {"bad magic", [](Bytes& f) { f[kTable] = 's'; }},
        {"later version", [](Bytes& f) { Put(f, kTable + 8, 2, 4); }},
        {"no patterns", [](Bytes& f) { Put(f, kTable + 12, 0, 4), Put(f, SectionField(2, 32), 16, 8); }},
        {"pattern of no bytes", [](Bytes& f) { f[kTable + 16 + 2] = 0; }},
        {"pattern too long", [](Bytes& f) { f[kTable + 16 + 2] = SUSIE_HEAD_PATTERN_BYTES + 1; }},
        {"pattern beyond the bytes read", [](Bytes& f) { Put(f, kTable + 16, SUSIE_HEADS_MAX_END - 1, 2); }},
        {"reserved byte set", [](Bytes& f) { f[kTable + 16 + 3] = 1; }},
    };
    for (const Case& c : cases) {
        Bytes file = ElfWithHeads();
        c.breakIt(file);
        EXPECT_FALSE(Parse(file)) << c.what;
    }
    // A file that ends or fails while it is read.
    const Bytes file = ElfWithHeads();
    EXPECT_FALSE(ParseDeclaredHeads([](std::uint64_t, std::uint8_t*, std::size_t) { return -1LL; }, file.size()));
    EXPECT_FALSE(ParseDeclaredHeads(
        [&file](std::uint64_t offset, std::uint8_t* to, std::size_t n) -> long long {
            if (offset >= kTable) return 0;   // shrunk since its size was taken
            std::memcpy(to, file.data() + offset, n);
            return static_cast<long long>(n);
        },
        file.size()));
}
