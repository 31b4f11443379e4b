#pragma once

#include <string>
#include <string_view>
#include <vector>

// Which of the program's languages the user reads. The program's texts are
// written in Japanese and that is the source language; English is the one
// translation. Every part of the program (the forms, the command line, the
// help) asks this one rule, so that they never disagree.
namespace vantoria::i18n {

enum class Language { Japanese, English };

// The user's languages, most wanted first, from the environment the way the
// C library and Qt read it: LANGUAGE's colon-separated list (ignored when the
// locale itself is C or POSIX, as gettext does), then the first non-empty of
// LC_ALL, LC_MESSAGES and LANG. Encodings and modifiers are dropped
// ("en_GB.UTF-8@euro" gives "en_GB"). Empty when nothing is set.
[[nodiscard]] std::vector<std::string> UserLanguages();

// The same from explicit values, for callers that have them (and tests).
[[nodiscard]] std::vector<std::string> UserLanguages(std::string_view language, std::string_view lcAll,
                                                     std::string_view lcMessages, std::string_view lang);

// The choice for a list of language tags, most wanted first ("ja_JP",
// "en-US", "C"; either separator): walked in order, "C" or "POSIX" or a
// Japanese tag gives Japanese, an English tag gives English, any other
// language is passed over. A list of only other languages gives English,
// which such a user reads sooner than Japanese; an empty list is the C
// locale and gives Japanese.
[[nodiscard]] Language ChooseLanguage(const std::vector<std::string>& tags);

// The catalogue suffix of a choice: "" for the source texts, "en".
[[nodiscard]] std::string_view CatalogueName(Language language);

}  // namespace vantoria::i18n
