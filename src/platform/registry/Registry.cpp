#include "platform/registry/Registry.h"

#include "platform/registry/RegistryError.h"
#include "platform/registry/RegistryPath.h"

namespace vantoria::registry {

TRegistry::TRegistry(std::filesystem::path file) : store_(std::move(file)) {}

TRegistry::~TRegistry() {
    try {
        store_.Save();
    } catch (const RegistryError& error) {
        PrintRegistryMessage(error.what());
    }
}

std::string TRegistry::Resolve(std::string_view path) const {
    const bool absolute = path.starts_with('\\') || !open_;
    return JoinKeyPath(absolute ? std::string(kCurrentUser) : current_, path);
}

bool TRegistry::OpenKey(std::string_view path, bool canCreate) {
    const std::string key = Resolve(path);
    CloseKey();
    if (!store_.KeyExists(key)) {
        if (!canCreate) return false;
        store_.CreateKey(key);
    }
    current_ = key;
    open_ = true;
    return true;
}

void TRegistry::CloseKey() {
    open_ = false;
    current_.clear();
    store_.Save();
}

std::string TRegistry::CurrentPath() const {
    if (!open_ || current_.size() <= kCurrentUser.size()) return {};
    return current_.substr(kCurrentUser.size() + 1);
}

bool TRegistry::KeyExists(std::string_view path) const { return store_.KeyExists(Resolve(path)); }

bool TRegistry::ValueExists(std::string_view name) const {
    return open_ && store_.Value(current_, name).has_value();
}

std::string TRegistry::ReadString(std::string_view name) const {
    if (!open_) return {};
    return store_.Value(current_, name).value_or(std::string());
}

void TRegistry::WriteString(std::string_view name, std::string_view value) {
    if (!open_) throw RegistryError("no registry key is open to write \"" + std::string(name) + "\" to");
    store_.SetValue(current_, name, std::string(value));
}

}  // namespace vantoria::registry
