#include "platform/i18n/MessageCatalogue.h"

#include <cstdint>
#include <fstream>

namespace vantoria::i18n {
namespace {

constexpr std::uint32_t kMagic = 0x950412de;
// Ours hold a few dozen texts; anything near this is not one of ours.
constexpr std::size_t kMaxFileBytes = 4u << 20;

std::uint32_t Word(std::string_view bytes, std::size_t at, bool swapped) {
    const auto b = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])); };
    return swapped ? b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3) : b(3) << 24 | b(2) << 16 | b(1) << 8 | b(0);
}

// String `index` of the table at `table`: its length and offset, both checked
// against the bytes (and the NUL msgfmt writes after every string).
std::optional<std::string_view> Entry(std::string_view bytes, std::uint64_t table, std::uint32_t index, bool swapped) {
    const std::uint64_t at = table + std::uint64_t{index} * 8;
    if (at + 8 > bytes.size()) return std::nullopt;
    const std::uint64_t length = Word(bytes, static_cast<std::size_t>(at), swapped);
    const std::uint64_t offset = Word(bytes, static_cast<std::size_t>(at + 4), swapped);
    if (offset + length >= bytes.size()) return std::nullopt;
    std::string_view text = bytes.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(length));
    return text.substr(0, text.find('\0'));  // the singular of a plural entry
}

}  // namespace

std::optional<MessageCatalogue> MessageCatalogue::Parse(std::string_view bytes) {
    if (bytes.size() < 20) return std::nullopt;
    bool swapped = false;
    if (Word(bytes, 0, false) != kMagic) {
        if (Word(bytes, 0, true) != kMagic) return std::nullopt;
        swapped = true;
    }
    // Revisions 0 and 1 share the plain tables; 1 only adds optional parts.
    if (Word(bytes, 4, swapped) >> 16 > 1) return std::nullopt;
    const std::uint32_t count = Word(bytes, 8, swapped);
    const std::uint64_t originals = Word(bytes, 12, swapped);
    const std::uint64_t translations = Word(bytes, 16, swapped);
    if (originals + std::uint64_t{count} * 8 > bytes.size() || translations + std::uint64_t{count} * 8 > bytes.size())
        return std::nullopt;
    MessageCatalogue catalogue;
    for (std::uint32_t i = 0; i < count; ++i) {
        const auto source = Entry(bytes, originals, i, swapped);
        const auto translation = Entry(bytes, translations, i, swapped);
        if (!source || !translation) return std::nullopt;
        if (source->empty() || translation->empty()) continue;  // the header; untranslated
        catalogue.texts_.emplace(*source, *translation);
    }
    return catalogue;
}

std::optional<MessageCatalogue> MessageCatalogue::Read(const std::string& path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) return std::nullopt;
    const std::streamoff size = file.tellg();
    if (size < 0 || static_cast<std::uint64_t>(size) > kMaxFileBytes) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    file.seekg(0);
    if (!file.read(bytes.data(), size)) return std::nullopt;
    return Parse(bytes);
}

const std::string* MessageCatalogue::Find(std::string_view source) const {
    const auto it = texts_.find(std::string(source));
    return it == texts_.end() ? nullptr : &it->second;
}

}  // namespace vantoria::i18n
