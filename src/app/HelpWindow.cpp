#include "app/HelpWindow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QListWidget>
#include <QRegularExpression>
#include <QSplitter>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>

namespace vantoria {

QString HelpEditionName(const QString& name, i18n::Language language) {
    const QString suffix = QString::fromUtf8(i18n::CatalogueName(language));
    if (suffix.isEmpty()) return name;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name + QLatin1Char('.') + suffix : name.left(dot + 1) + suffix + name.mid(dot);
}

QString FindHelpFile(const QString& programDir, const QString& name, i18n::Language language) {
    const QDir dir(programDir);
    const QString edition = HelpEditionName(name, language);
    for (const QString& folder : {QString(), QStringLiteral("../share/vantoria/")}) {
        for (const QString& candidate : {dir.filePath(folder + edition), dir.filePath(folder + name)}) {
            if (QFileInfo(candidate).isFile()) return QDir::cleanPath(candidate);
        }
    }
    return {};
}

std::vector<HelpChapter> HelpChapters(const QString& html) {
    static const QRegularExpression heading(QString::fromUtf8(R"re(<h2\s+id="([^"]+)"[^>]*>(.*?)</h2>)re"),
                                            QRegularExpression::CaseInsensitiveOption |
                                                QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    std::vector<HelpChapter> chapters;
    for (auto it = heading.globalMatch(html); it.hasNext();) {
        const auto match = it.next();
        QString title = match.captured(2);
        title.remove(tags);
        chapters.push_back({match.captured(1), title.simplified()});
    }
    return chapters;
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("form_Help"));
    setWindowTitle(tr("Vantoria ヘルプ"));
    auto* splitter = new QSplitter(this);
    contents_ = new QListWidget(splitter);
    contents_->setObjectName(QStringLiteral("lst_Contents"));
    browser_ = new QTextBrowser(splitter);
    browser_->setObjectName(QStringLiteral("txt_Help"));
    browser_->setOpenExternalLinks(true);
    // Long lines (a file mask, a command) wrap, anywhere if they must,
    // rather than widening the page past the window.
    browser_->document()->setDefaultStyleSheet(QStringLiteral("pre { white-space: pre-wrap; }"));
    browser_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({160, 480});
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);
    resize(680, 480);
    connect(contents_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0 && static_cast<std::size_t>(row) < chapters_.size())
            browser_->scrollToAnchor(chapters_[static_cast<std::size_t>(row)].anchor);
    });
}

bool HelpWindow::Load(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QString html = QString::fromUtf8(file.readAll());
    browser_->setSearchPaths({QFileInfo(path).absolutePath()});
    browser_->setHtml(html);
    chapters_ = HelpChapters(html);
    contents_->clear();
    for (const HelpChapter& chapter : chapters_) contents_->addItem(chapter.title);
    return true;
}

}  // namespace vantoria
