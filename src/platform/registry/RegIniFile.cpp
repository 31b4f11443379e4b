#include "platform/registry/RegIniFile.h"

#include <charconv>

#include "platform/registry/RegistryError.h"
#include "platform/registry/RegistryPath.h"

namespace vantoria::registry {

bool ParseDecimalInt32(std::string_view text, std::int32_t& value) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    if (text.size() > 1 && text[0] == '+' && text[1] != '-') text.remove_prefix(1);  // from_chars takes only '-'
    if (text.empty()) return false;
    std::int32_t parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size()) return false;
    value = parsed;
    return true;
}

TRegIniFile::TRegIniFile(std::string_view keyPath, std::filesystem::path file)
    : store_(std::move(file)), key_(JoinKeyPath(kCurrentUser, keyPath)) {
    store_.CreateKey(key_);
}

TRegIniFile::~TRegIniFile() {
    try {
        store_.Save();
    } catch (const RegistryError& error) {
        PrintRegistryMessage(error.what());
    }
}

std::string TRegIniFile::SectionPath(std::string_view section) const { return JoinKeyPath(key_, section); }

std::string TRegIniFile::ReadString(std::string_view section, std::string_view name,
                                    std::string_view def) const {
    auto value = store_.Value(SectionPath(section), name);
    return value ? std::move(*value) : std::string(def);
}

std::int32_t TRegIniFile::ReadInteger(std::string_view section, std::string_view name,
                                      std::int32_t def) const {
    const auto text = store_.Value(SectionPath(section), name);
    std::int32_t value = def;
    if (text && ParseDecimalInt32(*text, value)) return value;
    return def;
}

void TRegIniFile::WriteString(std::string_view section, std::string_view name, std::string_view value) {
    store_.SetValue(SectionPath(section), name, std::string(value));
}

void TRegIniFile::WriteInteger(std::string_view section, std::string_view name, std::int32_t value) {
    store_.SetValue(SectionPath(section), name, std::to_string(value));
}

void TRegIniFile::EraseSection(std::string_view section) {
    const std::string path = SectionPath(section);
    if (path.size() == key_.size()) return;  // no subkey named
    store_.EraseKey(path);
}

void TRegIniFile::UpdateFile() { store_.Save(); }

}  // namespace vantoria::registry
