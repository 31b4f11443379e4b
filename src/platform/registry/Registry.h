#pragma once
// Key-at-a-time access under HKEY_CURRENT_USER, for keys outside the
// program's own settings (the desktop's "Control Panel\\desktop").
//
// Writes are saved by CloseKey(), by opening another key, or, failing those,
// by the destructor, which prints a failure as one line on standard error
// instead of throwing. Callers that must stay quiet call CloseKey() and catch.

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/registry/RegistryStore.h"

namespace vantoria::registry {

class TRegistry {
public:
    explicit TRegistry(std::filesystem::path file = RegistryFilePath());
    ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    // A path with a leading backslash starts at HKEY_CURRENT_USER; one without
    // is relative to the open key (or the root when none is open). With
    // canCreate false a missing key is not created and false is returned.
    // Throws RegistryError when saving the previous key's writes fails.
    [[nodiscard]] bool OpenKey(std::string_view path, bool canCreate);
    // Saves pending writes and closes the key. Throws RegistryError.
    void CloseKey();

    bool HasCurrentKey() const { return open_; }
    // Relative to HKEY_CURRENT_USER, e.g. "Control Panel\\desktop".
    std::string CurrentPath() const;

    bool KeyExists(std::string_view path) const;
    bool ValueExists(std::string_view name) const;
    // "" when the value is missing or no key is open.
    std::string ReadString(std::string_view name) const;
    // Throws RegistryError when no key is open.
    void WriteString(std::string_view name, std::string_view value);

private:
    std::string Resolve(std::string_view path) const;

    RegistryStore store_;
    std::string current_;  // full path of the open key
    bool open_ = false;
};

}  // namespace vantoria::registry
