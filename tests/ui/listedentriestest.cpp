// Host rows that read their entries where the listing buffer keeps them.
#include "ui/listedentries.h"
#include "util/fieldstring.h"
#include "widgets/filelistview.h"

#include <gtest/gtest.h>

namespace {

using Row = FileListModel::Row;

QStringList Texts(const FileListView &list)
{
    QStringList texts;
    for (int row = 0; row < list.rowCount(); ++row) {
        for (int column = 0; column < 4; ++column)
            texts << list.text(row, column);
    }
    return texts;
}

// Sorted, found and counted as rows with names of their own are, and unchanged while the
// buffer adds to the folder, lists it anew with other names and drops it.
TEST(ListedEntries, RowsReadTheBufferedEntriesAndOutliveChangesToTheBuffer)
{
    const QString folder = QStringLiteral("\\pub\\");
    const QStringList names
            = QString("readme|README|b.txt|B.txt|Äpfel|apfel.c|10|9|zeta|Sub|sub").split('|');
    ListingBuffer buffer;
    ListingBuffer::EntryList listed;
    for (int i = 0; i < names.size(); ++i)
        listed.append({QLatin1String(i % 4 == 3 ? "d" : "f") + names.at(i), {}});
    buffer.store(folder, listed);

    auto source = std::make_shared<const ListedEntries>(*buffer.entries(folder));
    QList<Row> shown;
    QList<Row> own;
    for (int i = 0; i < source->count(); ++i) {
        Row row;
        row.entry = i;
        const bool file = source->at(i).key.startsWith('f');
        row.kind = file ? FileListModel::FileEntry : FileListModel::FolderEntry;
        row.bytes = file ? (i * 7919) % 5000 * 1024 : -1;
        row.modified = QDate(2020, 1, 1).addDays(i % 3);
        row.type = file ? QStringLiteral("File") : QStringLiteral("Folder");
        shown.append(row);
        row.entry = -1;
        row.name = source->name(i).toString();
        row.size = file ? FormatSize(row.bytes, true) : QString();
        own.append(row);
    }
    FileListView view;
    FileListView mirror;
    view.model()->setRows(shown, source);
    mirror.model()->setRows(own);
    for (const auto column : {FileListView::SizeColumn, FileListView::NameColumn}) {
        view.sortItems(column);
        mirror.sortItems(column);
        ASSERT_EQ(Texts(view), Texts(mirror)) << "column " << column;
    }
    for (const QString &name : {"README", "readme", "Readme", "sub", "B.TXT"}) {
        EXPECT_EQ(view.findCaption(name, Qt::CaseSensitive),
                  mirror.findCaption(name, Qt::CaseSensitive));
        EXPECT_EQ(view.findCaption(name, Qt::CaseInsensitive),
                  mirror.findCaption(name, Qt::CaseInsensitive));
    }
    const QStringList before = Texts(view);
    buffer.addEntry(folder, QStringLiteral("fnew.txt"), QStringLiteral("5*0"));
    EXPECT_EQ(Texts(view), before);
    ListingBuffer::EntryList other;
    for (int i = 0; i < names.size(); ++i)
        other.append({QStringLiteral("fother%1").arg(i), {}});
    buffer.store(folder, other);
    EXPECT_EQ(Texts(view), before);
    buffer.clear();
    EXPECT_EQ(Texts(view), before);

    // A file arriving goes to its sorted place among the entries, a removed entry is no longer
    // found; the list shown anew lets the entries go.
    for (FileListView *list : {&view, &mirror}) {
        list->setTag(1);
        list->insertSorted("c.txt", FileListModel::FileEntry, "1KB", "File", QDate(2020, 1, 1), {});
        list->removeRow(list->findCaption("README", Qt::CaseSensitive));
    }
    EXPECT_EQ(Texts(view), Texts(mirror));
    EXPECT_EQ(view.findCaption("README", Qt::CaseSensitive), -1);
    const std::weak_ptr<const FileListModel::Source> old = source;
    source.reset();
    view.model()->setRows({});
    EXPECT_TRUE(old.expired());
}

} // namespace
