#pragma once

#include "widgets/filelistmodel.h"

#include <QIcon>
#include <QString>
#include <Qt>

class FileIcons;
class FileListView;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

// What the local and the host pane build their trees and lists from.
namespace PaneItems {

// The text a tree node is known by when paths are built; the label shown may differ ("/").
constexpr int NodeTextRole = Qt::UserRole + 1;
// True on a node that stands for an ordinary folder (not a drive, the Desktop or a root).
constexpr int OrdinaryFolderRole = Qt::UserRole + 2;

QString nodeText(const QTreeWidgetItem *node);
QTreeWidgetItem *addFolderNode(QTreeWidgetItem *parent,
                               const QString &text,
                               const QString &label,
                               const QIcon &icon,
                               bool ordinary);
// A folder tree as both panes show it: no header, one column, indent 19, read-only.
QTreeWidget *newFolderTree(QWidget *parent, const char *name);
// The type name the lists show for folders.
QString folderTypeName();

// The row of a list entry: date is an MS-DOS date-time, -1 for today; size -1 marks a folder.
// With entry, the row shows that entry of the list's source and keeps no name or Size text of
// its own.
FileListModel::Row makeRow(
        FileIcons &icons, qint64 date, qint64 size, const QString &name, int entry = -1);

// Adds one row to a list: date is an MS-DOS date-time, -1 for today; size -1 marks a folder.
// Without noDupCheck a row with the same caption (compared with cs) is replaced first.
int addListItem(FileListView *list,
                FileIcons &icons,
                bool noDupCheck,
                Qt::CaseSensitivity cs,
                qint64 date,
                qint64 size,
                const QString &name);

} // namespace PaneItems
