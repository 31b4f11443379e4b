#pragma once
// INI-style access to one key under HKEY_CURRENT_USER: a section is a subkey,
// an entry a string value of it.
//
// Writes are collected and saved in one locked read-modify-write by
// UpdateFile() or, failing that, by the destructor, which prints a failure
// as one line on standard error instead of throwing. Reads see this
// object's own writes at once.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/registry/RegistryStore.h"

namespace vantoria::registry {

class TRegIniFile {
public:
    // Opens `keyPath` (relative to HKEY_CURRENT_USER, e.g. "Software\\Brightmoss"),
    // creating it when absent; the creation is saved like any write.
    explicit TRegIniFile(std::string_view keyPath, std::filesystem::path file = RegistryFilePath());
    ~TRegIniFile();
    TRegIniFile(const TRegIniFile&) = delete;
    TRegIniFile& operator=(const TRegIniFile&) = delete;

    std::string ReadString(std::string_view section, std::string_view name, std::string_view def) const;
    // A value that is not a decimal int32 (surrounding blanks allowed) reads as `def`.
    std::int32_t ReadInteger(std::string_view section, std::string_view name, std::int32_t def) const;

    void WriteString(std::string_view section, std::string_view name, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view name, std::int32_t value);  // decimal text

    // Removes the section's subkey with all its values and subkeys; the
    // object's own key stays. An empty section name does nothing.
    void EraseSection(std::string_view section);

    // Saves the pending writes now. Throws RegistryError.
    void UpdateFile();

private:
    std::string SectionPath(std::string_view section) const;

    RegistryStore store_;
    std::string key_;  // full path
};

// Parses decimal text as written by WriteInteger; nothing else is a number.
[[nodiscard]] bool ParseDecimalInt32(std::string_view text, std::int32_t& value);

}  // namespace vantoria::registry
