#include "app/Translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>

namespace vantoria {

std::vector<std::string> UiLanguageTags() {
    std::vector<std::string> tags = i18n::UserLanguages();
    if (tags.empty() || tags == std::vector<std::string>{"C"} || tags == std::vector<std::string>{"POSIX"}) return tags;
    tags.clear();
    for (const QString& tag : QLocale::system().uiLanguages()) tags.push_back(tag.toStdString());
    return tags;
}

QString FindTranslationsFolder(const QString& programDir) {
    const QDir dir(programDir);
    for (const QString& candidate :
         {dir.filePath(QStringLiteral("translations")), dir.filePath(QStringLiteral("../share/vantoria/translations"))}) {
        if (QFileInfo(candidate).isDir()) return QDir::cleanPath(candidate);
    }
    return {};
}

Translations::Translations(i18n::Language language, const QString& programDir) : language_(language) {
    const QString own = QString::fromLatin1(i18n::CatalogueName(language));
    if (!own.isEmpty()) {
        const QString folder = FindTranslationsFolder(programDir);
        ownLoaded_ = !folder.isEmpty() && own_.load(QStringLiteral("vantoria_") + own, folder) &&
                     QCoreApplication::installTranslator(&own_);
    }
    // English is Qt's source language: only Japanese needs Qt's catalogue.
    if (language == i18n::Language::Japanese) {
        qtLoaded_ = qt_.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
                    QCoreApplication::installTranslator(&qt_);
    }
}

Translations::~Translations() {
    if (ownLoaded_) QCoreApplication::removeTranslator(&own_);
    if (qtLoaded_) QCoreApplication::removeTranslator(&qt_);
}

}  // namespace vantoria
