#include "platform/registry/RegistryStore.h"

#include <mutex>
#include <set>
#include <utility>

#include "platform/registry/RegistryError.h"
#include "platform/registry/RegistryPath.h"

namespace vantoria::registry {

namespace {

// Every accessor reads the file afresh; the user hears of one problem with
// one file once in the life of the process, not at each reading.
void ReportOnce(const std::string& problem) {
    static std::mutex mutex;
    static std::set<std::string> reported;
    const std::lock_guard<std::mutex> guard(mutex);
    if (reported.insert(problem).second) PrintRegistryMessage(problem);
}

}  // namespace

RegistryStore::RegistryStore(std::filesystem::path file) : file_(std::move(file)) {
    RegistrySnapshot snapshot = ReadRegistryFile(file_);
    if (!snapshot.problem.empty()) ReportOnce(snapshot.problem);
    model_ = std::move(snapshot.model);
    SeedUserProfile(model_);
}

bool RegistryStore::KeyExists(std::string_view key) const {
    return ParentKeyPath(key).empty() || model_.HasKey(key);
}

std::optional<std::string> RegistryStore::Value(std::string_view key, std::string_view name) const {
    return model_.Value(key, name);
}

void RegistryStore::CreateKey(std::string_view key) {
    if (KeyExists(key)) return;  // opening an existing key changes nothing
    model_.CreateKey(key);
    pending_.CreateKey(std::string(key));
}

void RegistryStore::SetValue(std::string_view key, std::string_view name, std::string data) {
    model_.SetValue(key, name, data);
    pending_.SetValue(std::string(key), std::string(name), std::move(data));
}

void RegistryStore::EraseKey(std::string_view key) {
    if (ParentKeyPath(key).empty()) return;  // a hive cannot be erased
    model_.EraseKey(key);
    pending_.EraseKey(std::string(key));
}

void RegistryStore::Save() {
    if (pending_.Empty()) return;
    const RegistryChanges changes = std::exchange(pending_, RegistryChanges());
    model_ = SaveRegistryChanges(file_, changes);
}

}  // namespace vantoria::registry
