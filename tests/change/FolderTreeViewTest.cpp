// The chooser's folder tree as a user sees it: a deep current folder in
// view once the model has read its way there, its name readable in the
// narrow column.

#include "change/FolderTreeView.h"
#include "support/Child.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileSystemModel>
#include <QHelpEvent>
#include <QScrollBar>
#include <QToolTip>
#include <QTreeView>
#include <chrono>
#include <filesystem>

using namespace vantoria;
using namespace vantoria::test;

namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "folder_tree_view_test";
    static char* argv[] = {name, nullptr};
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QApplication* app = new QApplication(argc, argv);  // never destroyed, as Qt's globals
    return *app;
}

TEST(FolderTreeViewTest, ADeepCurrentFolderComesIntoViewAndItsNameCanBeRead) {
    App();
    // Many siblings before it at every level, so that it starts far below
    // the first rows.
    TempDir root;
    std::string deep = root.Path();
    for (const char* level : {"level-one", "level-two", "level-three", "level-four", "a-folder-five-levels-down"}) {
        for (int i = 0; i < 30; ++i) std::filesystem::create_directories(deep + "/" + std::to_string(i));
        deep += std::string("/") + level;
    }
    std::filesystem::create_directories(deep);

    QFileSystemModel model;
    model.setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    QTreeView tree;
    tree.setModel(&model);
    tree.setHeaderHidden(true);
    for (int column = 1; column < model.columnCount(); ++column) tree.hideColumn(column);
    tree.setGeometry(8, 36, 129, 161);
    MakeFolderTreeReadable(tree, model);
    tree.show();

    model.setRootPath(QStringLiteral("/"));
    tree.setRootIndex(model.index(QStringLiteral("/")));
    const QModelIndex current = model.index(QString::fromStdString(deep));
    tree.setCurrentIndex(current);
    tree.scrollTo(current);
    FollowCurrentFolder(tree);

    const auto inView = [&] {
        const QRect row = tree.visualRect(tree.currentIndex());
        return row.isValid() && tree.viewport()->rect().contains(QPoint(tree.viewport()->width() / 2, row.center().y()));
    };
    // In view once the model has settled: rows read and sorted late must not
    // push it out again.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    auto settledSince = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (!inView()) settledSince = std::chrono::steady_clock::now();
        if (std::chrono::steady_clock::now() - settledSince > std::chrono::milliseconds(1500)) break;
    }
    EXPECT_TRUE(inView());
    EXPECT_EQ(tree.geometry(), QRect(8, 36, 129, 161));  // the narrow column stays as it is

    // Five levels down the name lies beyond the column: it scrolls sideways,
    // and the row tells its full path.
    EXPECT_GT(tree.horizontalScrollBar()->maximum(), 0);
    const QRect row = tree.visualRect(tree.currentIndex());
    QHelpEvent help(QEvent::ToolTip, QPoint(5, row.center().y()), tree.viewport()->mapToGlobal(QPoint(5, row.center().y())));
    QCoreApplication::sendEvent(tree.viewport(), &help);
    EXPECT_EQ(QToolTip::text(), QString::fromStdString(deep));
}

}  // namespace
