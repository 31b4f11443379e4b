#include "platform/registry/RegistryModel.h"

#include <algorithm>

#include "platform/registry/RegistryPath.h"

namespace vantoria::registry {

const std::string* RegistryKey::Find(std::string_view name) const {
    const auto it = index_.find(FoldCase(name));
    return it == index_.end() ? nullptr : &values_[it->second].data;
}

void RegistryKey::Set(std::string_view name, std::string data) {
    const auto [it, inserted] = index_.try_emplace(FoldCase(name), values_.size());
    if (inserted)
        values_.push_back({std::string(name), std::move(data)});
    else
        values_[it->second].data = std::move(data);
}

const RegistryKey* RegistryModel::FindKey(std::string_view path) const {
    const auto it = index_.find(FoldCase(path));
    return it == index_.end() ? nullptr : &keys_[it->second];
}

RegistryKey* RegistryModel::FindKeyMutable(std::string_view path) {
    const auto it = index_.find(FoldCase(path));
    return it == index_.end() ? nullptr : &keys_[it->second];
}

RegistryKey& RegistryModel::AppendKey(std::string_view path) {
    index_.emplace(FoldCase(path), keys_.size());
    return keys_.emplace_back(std::string(path));
}

RegistryKey& RegistryModel::CreateKey(std::string_view path) {
    if (RegistryKey* key = FindKeyMutable(path)) return *key;
    // Walk up to the nearest existing ancestor (or the hive), then append
    // top-down so that a parent's block precedes its children's. A loop, not
    // recursion: the path comes from the file and may be deep.
    std::vector<std::string_view> missing{path};
    for (std::string_view parent = ParentKeyPath(path);
         !ParentKeyPath(parent).empty() && !FindKeyMutable(parent); parent = ParentKeyPath(parent))
        missing.push_back(parent);
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) AppendKey(*it);
    return keys_.back();
}

bool RegistryModel::EraseKey(std::string_view path) {
    const auto removed = std::remove_if(keys_.begin(), keys_.end(), [&](const RegistryKey& key) {
        return IsSameOrBelow(key.Path(), path);
    });
    if (removed == keys_.end()) return false;
    keys_.erase(removed, keys_.end());
    index_.clear();
    for (std::size_t i = 0; i < keys_.size(); ++i) index_.emplace(FoldCase(keys_[i].Path()), i);
    return true;
}

std::optional<std::string> RegistryModel::Value(std::string_view key, std::string_view name) const {
    const RegistryKey* found = FindKey(key);
    if (!found) return std::nullopt;
    const std::string* data = found->Find(name);
    if (!data) return std::nullopt;
    return *data;
}

void RegistryModel::SetValue(std::string_view key, std::string_view name, std::string data) {
    CreateKey(key).Set(name, std::move(data));
}

}  // namespace vantoria::registry
