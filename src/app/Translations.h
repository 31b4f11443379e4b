#pragma once
// The forms' language. The texts in the sources are Japanese and are what a
// Japanese or C locale reads; for English the program's catalogue replaces
// them. Qt's own catalogue follows the same choice, so that its stock
// dialogs and buttons (file dialogs, message box buttons) speak the
// program's language, Japanese included.

#include "platform/i18n/Language.h"

#include <QString>
#include <QTranslator>
#include <string>
#include <vector>

namespace vantoria {

// The user's languages as Qt reads them (QLocale::system().uiLanguages()),
// except in a C or POSIX locale, where LANGUAGE means nothing to the C
// library either: the forms then say what the command line says.
std::vector<std::string> UiLanguageTags();

// The folder of the program's catalogues: "translations" beside the program
// in the build tree, "../share/vantoria/translations" once installed; empty
// when neither is there.
QString FindTranslationsFolder(const QString& programDir);

// Installs the catalogues for `language` into the application object, which
// must exist, for as long as this object lives; made before any form.
class Translations {
public:
    explicit Translations(i18n::Language language, const QString& programDir);
    ~Translations();
    Translations(const Translations&) = delete;
    Translations& operator=(const Translations&) = delete;

    i18n::Language Language() const { return language_; }
    // Whether the program's own catalogue, and Qt's, were found and installed.
    bool OwnLoaded() const { return ownLoaded_; }
    bool QtLoaded() const { return qtLoaded_; }

private:
    i18n::Language language_;
    QTranslator own_, qt_;
    bool ownLoaded_ = false, qtLoaded_ = false;
};

}  // namespace vantoria
