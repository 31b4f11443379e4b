#include "change/FolderTreeView.h"

#include <QEvent>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QHelpEvent>
#include <QScrollBar>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>

namespace vantoria {
namespace {

// The tree's state, kept as a child of the tree.
class Follower : public QObject {
public:
    static constexpr const char* kName = "folderFollower";

    Follower(QTreeView& tree, QFileSystemModel& model) : QObject(&tree), tree_(tree), model_(model) {
        setObjectName(QLatin1String(kName));
        scroll_.setSingleShot(true);
        scroll_.setInterval(0);
        connect(&scroll_, &QTimer::timeout, this, [this] {
            if (following_ && tree_.currentIndex().isValid()) tree_.scrollTo(tree_.currentIndex());
        });
        connect(&model_, &QAbstractItemModel::layoutChanged, this, [this] { Later(); });
        connect(&model_, &QAbstractItemModel::rowsInserted, this, [this] { Later(); });
        connect(&model_, &QFileSystemModel::directoryLoaded, this, [this] { Later(); });
        tree_.viewport()->installEventFilter(this);
        tree_.verticalScrollBar()->installEventFilter(this);
    }

    void Follow() {
        following_ = true;
        Later();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::Wheel:
            following_ = false;  // the user looks elsewhere now
            break;
        case QEvent::ToolTip:
            if (watched == tree_.viewport()) {
                const auto* help = static_cast<QHelpEvent*>(event);
                const QModelIndex index = tree_.indexAt(help->pos());
                if (index.isValid())
                    QToolTip::showText(help->globalPos(), model_.filePath(index), tree_.viewport());
                else
                    QToolTip::hideText();
                return true;
            }
            break;
        default:
            break;
        }
        return false;
    }

private:
    void Later() {
        if (following_) scroll_.start();
    }

    QTreeView& tree_;
    QFileSystemModel& model_;
    QTimer scroll_;  // one scroll for a burst of model changes
    bool following_ = false;
};

}  // namespace

void MakeFolderTreeReadable(QTreeView& tree, QFileSystemModel& model) {
    // The name column as wide as its longest shown name, so that a deep
    // folder scrolls sideways instead of showing as blank indentation.
    tree.header()->setStretchLastSection(false);
    tree.header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    tree.setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    tree.setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    tree.setTextElideMode(Qt::ElideNone);
    new Follower(tree, model);
}

void FollowCurrentFolder(QTreeView& tree) {
    auto* child = tree.findChild<QObject*>(QLatin1String(Follower::kName), Qt::FindDirectChildrenOnly);
    if (child) static_cast<Follower*>(child)->Follow();
}

}  // namespace vantoria
