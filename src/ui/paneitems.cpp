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
    const bool isFolder = size < 0;
    const FileListView::Kind kind = name == QLatin1String("..") ? FileListView::ParentEntry
                                    : isFolder                  ? FileListView::FolderEntry
                                                                : FileListView::FileEntry;
    const QDate modified = date == -1 ? QDate::currentDate() : DosDateTimeToDate(date);
    QString typeName = folderTypeName();
    QIcon icon = icons.closedFolder();
    if (!isFolder)
        icons.describe(name, &typeName, &icon);
    // A single entry (a file arriving, a folder made) goes to its sorted place; a fill appends
    // and sorts once at its end.
    const QString sizeText = isFolder ? QString() : FormatSize(size, true);
    const qint64 bytes = isFolder ? -1 : size;
    return noDupCheck ? list->addItem(name, kind, sizeText, typeName, modified, icon, {}, bytes)
                      : list->insertSorted(name, kind, sizeText, typeName, modified, icon, bytes);
}

} // namespace PaneItems
