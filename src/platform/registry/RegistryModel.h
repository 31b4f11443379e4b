#pragma once
// The registry's contents in memory: keys in a stable order, each with its
// string values in a stable order. A plain value type; reading and writing
// the file is RegistryText/RegistryFile's job.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vantoria::registry {

struct RegistryValue {
    std::string name;   // empty: the key's default value ("@" in the file)
    std::string data;
    bool operator==(const RegistryValue&) const = default;
};

// One key block. Value names compare ignoring ASCII case, like key paths.
class RegistryKey {
public:
    explicit RegistryKey(std::string path) : path_(std::move(path)) {}

    const std::string& Path() const { return path_; }
    const std::vector<RegistryValue>& Values() const { return values_; }

    const std::string* Find(std::string_view name) const;
    // A new name goes to the end; an existing one keeps its place and spelling.
    void Set(std::string_view name, std::string data);

    bool operator==(const RegistryKey& other) const {
        return path_ == other.path_ && values_ == other.values_;
    }

private:
    std::string path_;
    std::vector<RegistryValue> values_;
    std::unordered_map<std::string, std::size_t> index_;  // folded name -> position
};

// Lookups are hashed so that a large (hostile) file loads in linear time.
class RegistryModel {
public:
    const std::vector<RegistryKey>& Keys() const { return keys_; }

    bool HasKey(std::string_view path) const { return FindKey(path) != nullptr; }
    const RegistryKey* FindKey(std::string_view path) const;

    // Creates the key and every missing ancestor below the hive, each
    // appended at the end; an existing key is left as it is.
    RegistryKey& CreateKey(std::string_view path);

    // Removes the key with all its values and every key below it. The parent
    // stays. Returns whether anything was removed.
    bool EraseKey(std::string_view path);

    std::optional<std::string> Value(std::string_view key, std::string_view name) const;
    // Creates the key when missing.
    void SetValue(std::string_view key, std::string_view name, std::string data);

    bool operator==(const RegistryModel& other) const { return keys_ == other.keys_; }

private:
    RegistryKey* FindKeyMutable(std::string_view path);
    RegistryKey& AppendKey(std::string_view path);

    std::vector<RegistryKey> keys_;
    std::unordered_map<std::string, std::size_t> index_;  // folded path -> position
};

}  // namespace vantoria::registry
