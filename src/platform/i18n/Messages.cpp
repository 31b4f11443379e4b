#include "platform/i18n/Messages.h"

#include "platform/i18n/MessageCatalogue.h"

#include <filesystem>
#include <optional>

namespace vantoria::i18n {
namespace {

std::optional<MessageCatalogue>& Loaded() {
    static std::optional<MessageCatalogue> catalogue;
    return catalogue;
}

}  // namespace

std::string LocaleFolder() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    return (self.parent_path() / VANTORIA_LOCALE_FROM_BIN).lexically_normal().string();
}

void LoadMessages(Language language, const std::string& localeFolder) {
    Loaded().reset();
    const std::string_view name = CatalogueName(language);
    if (name.empty() || localeFolder.empty()) return;
    Loaded() = MessageCatalogue::Read(localeFolder + "/" + std::string(name) + "/LC_MESSAGES/vantoria.mo");
}

void LoadMessages() { LoadMessages(ChooseLanguage(UserLanguages()), LocaleFolder()); }

const char* Translate(const char* source) {
    if (!Loaded()) return source;
    const std::string* translation = Loaded()->Find(source);
    return translation ? translation->c_str() : source;
}

}  // namespace vantoria::i18n
