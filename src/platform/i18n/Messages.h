#pragma once
// The core's user texts in the user's language. The texts are written in
// Japanese, the source language; the English catalogue (po/en.po, compiled
// to <locale folder>/en/LC_MESSAGES/vantoria.mo) gives their translations.
// The language is the one ChooseLanguage() picks, whatever locales the
// machine has generated, and nothing in the environment is changed, so
// programs started from ours see the user's own settings.

#include "platform/i18n/Language.h"

#include <string>

namespace vantoria::i18n {

// Marks a text for translation where it is defined; the text is its own key.
// The catalogue test collects every text so marked.
constexpr const char* Translatable(const char* source) { return source; }

// Loads the catalogue of the user's language. Called once at start-up,
// before any thread that reports; until then every text is the source text.
void LoadMessages();

// The same for an explicit language and locale folder (tests).
void LoadMessages(Language language, const std::string& localeFolder);

// Where the programs find the catalogues: "../share/locale" from the
// program's folder, the same in the build tree and once installed.
[[nodiscard]] std::string LocaleFolder();

// The translation of a text marked Translatable(), or the text itself when
// the user reads Japanese or the catalogue has none.
[[nodiscard]] const char* Translate(const char* source);

}  // namespace vantoria::i18n
