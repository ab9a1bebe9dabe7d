#include "widgets/filelistview.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace {

using Row = FileListModel::Row;

QStringList Names(const FileListView &list)
{
    QStringList names;
    for (int row = 0; row < list.rowCount(); ++row)
        names << list.text(row, FileListView::NameColumn);
    return names;
}

// A list of the shapes a folder shows: "..", folders and files whose names differ in case
// alone, shared types, sizes of different widths, equal dates.
QList<Row> SampleRows()
{
    QList<Row> rows;
    QRandomGenerator random(7);
    const QStringList stems
            = QString("readme|README|Readme|a|B|b|zeta|Äpfel|apfel|10|9|_x|x y|ümlaut|Zeta")
                      .split('|');
    const QStringList types
            = QString("TXT File|Text document|C source code|TXT File|ZIP File").split('|');
    for (int i = 0; i < 300; ++i) {
        Row row;
        row.name = stems.at(i % stems.size())
                   + (i < int(stems.size()) ? QString() : QString::number(i / 40));
        row.kind = random.bounded(4) == 0 ? FileListModel::FolderEntry : FileListModel::FileEntry;
        if (row.kind == FileListModel::FileEntry) {
            row.size = QStringLiteral("%1KB").arg(QLocale::c().toString(random.bounded(5000000)));
            row.type = types.at(random.bounded(int(types.size())));
        } else {
            row.type = QStringLiteral("File folder");
        }
        row.modified = QDate(2020, 1, 1).addDays(random.bounded(20));
        rows.append(row);
    }
    Row parent;
    parent.name = QStringLiteral("..");
    parent.kind = FileListModel::ParentEntry;
    rows.insert(150, parent);
    return rows;
}

void Fill(FileListView &list, const QList<Row> &rows)
{
    list.beginFill();
    list.clear();
    for (const Row &row : rows)
        list.addItem(row.name, row.kind, row.size, row.type, row.modified, row.icon);
    list.endFill();
}

TEST(FileListModel, SortsByTheListRulesKeepingSelectionAndCountsAndPlacesNewRows)
{
    const QList<Row> rows = SampleRows();
    FileListView list;
    for (int column = 0; column < 4; ++column) {
        Fill(list, rows);
        // Every selected row by name, to see the selection follow its rows.
        QStringList selected;
        for (int row = 0; row < rows.size(); row += 7) {
            list.selectRow(row);
            selected << rows.at(row).name + QLatin1Char('|') + rows.at(row).type;
        }
        list.sortItems(FileListView::Column(column));

        // The order a comparison of each pair by the list's rules gives, equal rows in their
        // old order.
        QList<Row> expected = rows;
        std::stable_sort(expected.begin(), expected.end(), [column](const Row &a, const Row &b) {
            return FileListModel::LessThan(a, b, column);
        });
        ASSERT_EQ(list.rowCount(), expected.size());
        for (int row = 0; row < expected.size(); ++row) {
            ASSERT_EQ(list.text(row, FileListView::NameColumn), expected.at(row).name)
                    << "column " << column << " row " << row;
            ASSERT_EQ(list.text(row, FileListView::TypeColumn), expected.at(row).type);
            ASSERT_EQ(list.text(row, FileListView::SizeColumn), expected.at(row).size);
        }
        EXPECT_EQ(list.text(0, FileListView::NameColumn), "..");
        EXPECT_EQ(list.kind(1), FileListModel::FolderEntry);
        EXPECT_EQ(list.kind(list.rowCount() - 1), FileListModel::FileEntry);

        QStringList stillSelected;
        const QList<int> selectedRows = list.selectedRows();
        for (int row : selectedRows)
            stillSelected << list.text(row, 0) + QLatin1Char('|') + list.text(row, 2);
        std::sort(selected.begin(), selected.end());
        std::sort(stillSelected.begin(), stillSelected.end());
        EXPECT_EQ(stillSelected, selected) << "column " << column;
        EXPECT_EQ(list.selectedCount(), selectedRows.size());
        EXPECT_EQ(list.firstSelectedRow(), selectedRows.first());
        list.selectRow(selectedRows.first(), false);
        EXPECT_EQ(list.selectedCount(), selectedRows.size() - 1);
        EXPECT_EQ(list.firstSelectedRow(), selectedRows.at(1));
        list.removeRow(0);
        EXPECT_EQ(list.firstSelectedRow(), selectedRows.at(1) - 1);

        // A new row goes where sorting the whole list again would put it.
        list.setTag(column + 1);
        for (const QString name : {"readme", "README", "0", "zz", "Ä"}) {
            const int at = list.insertSorted(name,
                                             FileListModel::FileEntry,
                                             QStringLiteral("12KB"),
                                             QStringLiteral("TXT File"),
                                             QDate(2020, 1, 5),
                                             {});
            const QStringList before = Names(list);
            list.sortItems(FileListView::Column(column));
            EXPECT_EQ(Names(list), before) << "column " << column << " name " << name.toStdString();
            EXPECT_EQ(list.text(at, FileListView::NameColumn), name);
        }
    }
}

} // namespace
