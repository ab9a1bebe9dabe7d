#include "ui/paneitems.h"

#include "ui/dosdatetime.h"
#include "ui/fileicons.h"
#include "util/fieldstring.h"
#include "widgets/filelistview.h"
#include "widgets/visibletextdelegate.h"

#include <QCoreApplication>
#include <QMimeDatabase>
#include <QTreeWidget>

namespace PaneItems {

QString nodeText(const QTreeWidgetItem *node)
{
    const QVariant text = node->data(0, NodeTextRole);
    return text.isValid() ? text.toString() : node->text(0);
}

QTreeWidgetItem *addFolderNode(QTreeWidgetItem *parent,
                               const QString &text,
                               const QString &label,
                               const QIcon &icon,
                               bool ordinary)
{
    auto *node = new QTreeWidgetItem(parent);
    node->setText(0, label.isEmpty() ? text : label);
    node->setData(0, NodeTextRole, text);
    node->setData(0, OrdinaryFolderRole, ordinary);
    node->setIcon(0, icon);
    return node;
}

QTreeWidget *newFolderTree(QWidget *parent, const char *name)
{
    auto *tree = new QTreeWidget(parent);
    tree->setObjectName(QLatin1String(name));
    tree->setHeaderHidden(true);
    tree->setColumnCount(1);
    tree->setIndentation(19);
    tree->setRootIsDecorated(true);
    tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    tree->setExpandsOnDoubleClick(true);
    tree->setItemDelegate(new VisibleTextDelegate(tree));
    return tree;
}

QString folderTypeName()
{
    static const QString name = [] {
        const QString comment
                = QMimeDatabase().mimeTypeForName(QStringLiteral("inode/directory")).comment();
        return comment.isEmpty() ? QCoreApplication::translate("TForm1", "Folder") : comment;
    }();
    return name;
}

FileListModel::Row makeRow(
        FileIcons &icons, qint64 date, qint64 size, const QString &name, int entry)
{
    const bool isFolder = size < 0;
    FileListModel::Row row;
    row.entry = entry;
    if (entry < 0)
        row.name = name;
    row.kind = name == QLatin1String("..") ? FileListModel::ParentEntry
               : isFolder                  ? FileListModel::FolderEntry
                                           : FileListModel::FileEntry;
    row.modified = date == -1 ? QDate::currentDate() : DosDateTimeToDate(date);
    row.type = folderTypeName();
    row.icon = icons.closedFolder();
    if (!isFolder)
        icons.describe(name, &row.type, &row.icon);
    if (!isFolder) {
        if (entry < 0)
            row.size = FormatSize(size, true);
        row.bytes = size;
    }
    return row;
}

int addListItem(FileListView *list,
                FileIcons &icons,
                bool noDupCheck,
                Qt::CaseSensitivity cs,
                qint64 date,
                qint64 size,
                const QString &name)
{
    if (!noDupCheck) {
        const int existing = list->findCaption(name, cs);
        if (existing >= 0)
            list->removeRow(existing);
    }
    FileListModel::Row row = makeRow(icons, date, size, name);
    // A single entry (a file arriving, a folder made) goes to its sorted place; a fill appends
    // and sorts once at its end.
    return noDupCheck ? list->addItem(
                   row.name, row.kind, row.size, row.type, row.modified, row.icon, {}, row.bytes)
                      : list->insertSorted(row.name,
                                           row.kind,
                                           row.size,
                                           row.type,
                                           row.modified,
                                           row.icon,
                                           row.bytes);
}

} // namespace PaneItems
