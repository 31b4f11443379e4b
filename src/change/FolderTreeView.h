#pragma once
// The chooser's folder tree as a user can read it: the current folder comes
// into view as soon as the rows above it are there (the model reads folders
// in the background and sorts them late, which moves rows after any early
// scroll), and names deeper than the narrow column stay readable, through a
// horizontal scroll bar and the full path as the row's tooltip.

class QFileSystemModel;
class QTreeView;

namespace vantoria {

// Sets `tree` up once, after its model is `model`.
void MakeFolderTreeReadable(QTreeView& tree, QFileSystemModel& model);

// Brings the tree's current folder into view now and again while the model
// is still loading or sorting, until the user scrolls or clicks in the tree.
void FollowCurrentFolder(QTreeView& tree);

}  // namespace vantoria
