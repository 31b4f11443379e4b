#pragma once
// The program's own help window: the help document "Runo.hlp" (HTML) with
// its contents list, one entry a chapter, beside it.

#include "platform/i18n/Language.h"

#include <QWidget>
#include <string>
#include <vector>

class QListWidget;
class QTextBrowser;

namespace vantoria {

// Where the help document is: beside the program (a build tree), else in
// the installed data folder "../share/vantoria" relative to the program.
// In each folder the edition in the user's language ("Runo.en.hlp" for
// English) comes first, then the document itself, which is Japanese.
// Empty when neither folder has one.
QString FindHelpFile(const QString& programDir, const QString& name,
                     i18n::Language language = i18n::ChooseLanguage(i18n::UserLanguages()));

// The name of a document's edition in `language`: "Runo.hlp" itself for
// Japanese, "Runo.en.hlp" for English.
QString HelpEditionName(const QString& name, i18n::Language language);

// The chapters of an HTML document: every <h2 id="..."> with its text.
struct HelpChapter {
    QString anchor;
    QString title;
};
std::vector<HelpChapter> HelpChapters(const QString& html);

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Loads the document; false (and nothing shown) when it cannot be read.
    bool Load(const QString& path);

private:
    QListWidget* contents_;   // owned by this window
    QTextBrowser* browser_;   // owned by this window
    std::vector<HelpChapter> chapters_;
};

}  // namespace vantoria
