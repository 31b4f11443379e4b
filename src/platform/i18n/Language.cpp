#include "platform/i18n/Language.h"

#include <cstdlib>

namespace vantoria::i18n {
namespace {

std::string_view Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string_view(value) : std::string_view();
}

// "en_GB.UTF-8@euro" -> "en_GB".
std::string StripLocale(std::string_view name) {
    const auto end = name.find_first_of(".@");
    return std::string(name.substr(0, end));
}

bool IsCLocale(std::string_view tag) { return tag == "C" || tag == "POSIX"; }

// The language part of a tag, lower case: "en" of "en_US" or "EN-us".
std::string Primary(std::string_view tag) {
    std::string primary(tag.substr(0, tag.find_first_of("_-")));
    for (char& c : primary)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return primary;
}

}  // namespace

std::vector<std::string> UserLanguages(std::string_view language, std::string_view lcAll,
                                       std::string_view lcMessages, std::string_view lang) {
    const std::string_view locale = !lcAll.empty() ? lcAll : !lcMessages.empty() ? lcMessages : lang;
    const std::string localeName = StripLocale(locale);
    std::vector<std::string> tags;
    if (!localeName.empty() && !IsCLocale(localeName)) {
        while (!language.empty()) {
            const auto colon = language.find(':');
            std::string tag = StripLocale(language.substr(0, colon));
            if (!tag.empty()) tags.push_back(std::move(tag));
            language = colon == std::string_view::npos ? std::string_view() : language.substr(colon + 1);
        }
    }
    if (!localeName.empty()) tags.push_back(localeName);
    return tags;
}

std::vector<std::string> UserLanguages() {
    return UserLanguages(Env("LANGUAGE"), Env("LC_ALL"), Env("LC_MESSAGES"), Env("LANG"));
}

Language ChooseLanguage(const std::vector<std::string>& tags) {
    for (const std::string& tag : tags) {
        if (IsCLocale(tag)) return Language::Japanese;
        const std::string primary = Primary(tag);
        if (primary == "ja") return Language::Japanese;
        if (primary == "en") return Language::English;
    }
    return tags.empty() ? Language::Japanese : Language::English;
}

std::string_view CatalogueName(Language language) {
    return language == Language::English ? std::string_view("en") : std::string_view();
}

}  // namespace vantoria::i18n
