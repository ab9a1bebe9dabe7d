// Host rows that read their entries where the listing buffer keeps them.
#include "ui/listedentries.h"
#include "util/fieldstring.h"
#include "widgets/filelistview.h"

#include <gtest/gtest.h>

namespace {

QStringList Texts(const FileListView &list)
{
    QStringList texts;
    for (int row = 0; row < list.rowCount(); ++row) {
        for (int column = 0; column < 3; ++column)
            texts << list.text(row, column);
    }
    return texts;
}

// Sorted, found, placed and counted as rows with names of their own are, and unchanged while
// the buffer adds to the folder, lists it anew with other names and drops it.
TEST(ListedEntries, RowsReadTheBufferedEntriesAndOutliveChangesToTheBuffer)
{
    const QString folder = QStringLiteral("\\pub\\");
    ListingBuffer buffer;
    ListingBuffer::EntryList listed;
    for (const QString &key :
         QString("freadme|fREADME|dB.txt|fb.txt|fÄpfel|d9|f10|fSub|dsub").split('|'))
        listed.append({key, {}, false, {}});
    buffer.store(folder, listed);
    auto source = std::make_shared<const ListedEntries>(*buffer.entries(folder));
    QList<FileListModel::Row> shown;
    QList<FileListModel::Row> own;
    for (int i = 0; i < source->count(); ++i) {
        FileListModel::Row row;
        row.entry = i;
        row.kind = source->at(i).key.startsWith('f') ? FileListModel::FileEntry
                                                     : FileListModel::FolderEntry;
        row.bytes = row.kind == FileListModel::FileEntry ? (i * 7919) % 5000 * 1024 : -1;
        shown.append(row);
        row.entry = -1;
        row.name = source->name(i).toString();
        row.size = row.bytes < 0 ? QString() : FormatSize(row.bytes, true);
        own.append(row);
    }
    FileListView view;
    FileListView mirror;
    view.model()->setRows(shown, source);
    mirror.model()->setRows(own);
    for (FileListView *list : {&view, &mirror}) {
        list->sortItems(FileListView::NameColumn);
        list->insertSorted("c.txt", FileListModel::FileEntry, "1KB", "", {}, {});
        list->removeRow(list->findCaption("README", Qt::CaseSensitive));
    }
    ASSERT_EQ(Texts(view), Texts(mirror));
    for (const char *name : {"README", "readme", "Readme", "sub", "B.TXT"}) {
        EXPECT_EQ(view.findCaption(name, Qt::CaseSensitive),
                  mirror.findCaption(name, Qt::CaseSensitive));
        EXPECT_EQ(view.findCaption(name, Qt::CaseInsensitive),
                  mirror.findCaption(name, Qt::CaseInsensitive));
    }

    buffer.addEntry(folder, QStringLiteral("fnew.txt"), QStringLiteral("5*0"));
    EXPECT_EQ(Texts(view), Texts(mirror));
    for (ListingBuffer::Entry &entry : listed)
        entry.key += QLatin1String("-other");
    buffer.store(folder, listed);
    EXPECT_EQ(Texts(view), Texts(mirror));
    buffer.clear();
    EXPECT_EQ(Texts(view), Texts(mirror));
    // The list shown anew lets the entries go.
    const std::weak_ptr<const FileListModel::Source> old = source;
    source.reset();
    view.model()->setRows({});
    EXPECT_TRUE(old.expired());
}

} // namespace
