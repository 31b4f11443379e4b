#pragma once
// This process's own changes to the registry, in the order they were made.
// A save applies them to a freshly read copy of the file under the lock, so
// keys that another process saved in the meantime survive.

#include <string>
#include <vector>

#include "platform/registry/RegistryModel.h"

namespace vantoria::registry {

class RegistryChanges {
public:
    void CreateKey(std::string key);
    void SetValue(std::string key, std::string name, std::string data);
    void EraseKey(std::string key);

    bool Empty() const { return changes_.empty(); }
    void Clear() { changes_.clear(); }

    void ApplyTo(RegistryModel& model) const;

private:
    enum class Kind { CreateKey, SetValue, EraseKey };
    struct Change {
        Kind kind;
        std::string key;
        std::string name;
        std::string data;
    };
    std::vector<Change> changes_;
};

}  // namespace vantoria::registry
