#pragma once
// One open view of the registry file: what was read when the view was made,
// with this view's own changes applied, plus the list of those changes for
// the next save. The accessor classes (TRegIniFile, TRegistry) build on it.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/registry/RegistryChanges.h"
#include "platform/registry/RegistryFile.h"
#include "platform/registry/RegistryModel.h"

namespace vantoria::registry {

class RegistryStore {
public:
    // Reads the file now. A damaged or unreadable file is reported with one
    // line on standard error, once per process for the same problem with the
    // same file, and the view holds what could be read, with
    // the user profile's keys seeded where missing (see SeedUserProfile).
    explicit RegistryStore(std::filesystem::path file = RegistryFilePath());

    const std::filesystem::path& File() const { return file_; }

    // Keys are full paths ("HKEY_CURRENT_USER\\Software"); a hive always exists.
    bool KeyExists(std::string_view key) const;
    std::optional<std::string> Value(std::string_view key, std::string_view name) const;

    void CreateKey(std::string_view key);
    void SetValue(std::string_view key, std::string_view name, std::string data);  // creates the key
    void EraseKey(std::string_view key);  // with its values and subkeys; the parent stays

    bool HasPendingChanges() const { return !pending_.Empty(); }

    // Saves the pending changes (see SaveRegistryChanges) and refreshes the
    // view with what the file now holds. Throws RegistryError; the changes
    // are dropped either way, so that a failure is reported only once.
    void Save();

private:
    std::filesystem::path file_;
    RegistryModel model_;
    RegistryChanges pending_;
};

}  // namespace vantoria::registry
