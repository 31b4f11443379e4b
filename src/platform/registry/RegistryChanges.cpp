#include "platform/registry/RegistryChanges.h"

#include <utility>

namespace vantoria::registry {

void RegistryChanges::CreateKey(std::string key) {
    changes_.push_back({Kind::CreateKey, std::move(key), {}, {}});
}

void RegistryChanges::SetValue(std::string key, std::string name, std::string data) {
    changes_.push_back({Kind::SetValue, std::move(key), std::move(name), std::move(data)});
}

void RegistryChanges::EraseKey(std::string key) {
    changes_.push_back({Kind::EraseKey, std::move(key), {}, {}});
}

void RegistryChanges::ApplyTo(RegistryModel& model) const {
    for (const Change& change : changes_) {
        switch (change.kind) {
            case Kind::CreateKey: model.CreateKey(change.key); break;
            // A key that another process erased since we read it comes back:
            // the later writer wins, as with the registry itself.
            case Kind::SetValue: model.SetValue(change.key, change.name, change.data); break;
            case Kind::EraseKey: model.EraseKey(change.key); break;
        }
    }
}

}  // namespace vantoria::registry
