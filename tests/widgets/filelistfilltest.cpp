#include "widgets/filelistfill.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace {

using Row = FileListModel::Row;

// A list made over several slices ends in the order a sort of the whole list by Name gives:
// ".." first, folders before files, names in locale-aware order, equal names in the order made.
TEST(FileListFill, SlicesEndInTheOrderOfANameSort)
{
    const QStringList stems = {"readme",
                               "README",
                               "a",
                               "B",
                               "b",
                               "Äpfel",
                               "apfel",
                               "10",
                               "9",
                               "_x",
                               "x y",
                               "ümlaut",
                               "Zeta",
                               "zeta"};
    QRandomGenerator random(11);
    QList<Row> made;
    const int count = 3 * FileListFill::RowsPerStep + 123;
    for (int i = 0; i < count; ++i) {
        Row row;
        // Every name several times over: rows that compare equal must keep their order.
        row.name = stems.at(random.bounded(int(stems.size()))) + QString::number(i % 7);
        row.kind = random.bounded(5) == 0 ? FileListModel::FolderEntry : FileListModel::FileEntry;
        row.size = QString::number(count - i);
        made.append(row);
    }
    Row parent;
    parent.name = QStringLiteral("..");
    parent.kind = FileListModel::ParentEntry;

    FileListModel sorted;
    sorted.append(parent);
    for (const Row &row : std::as_const(made))
        sorted.append(row);
    sorted.sort(FileListModel::NameColumn);

    FileListFill fill({parent}, count, [&made](int i) { return made.at(i); });
    int steps = 1;
    while (!fill.step())
        ++steps;
    EXPECT_GE(steps, 4) << "the rows were not made a slice at a time";
    EXPECT_TRUE(fill.done());
    EXPECT_EQ(fill.firstRowAt(), 0);
    const QList<Row> rows = fill.takeRows();
    ASSERT_EQ(rows.size(), sorted.rowCount());
    for (int i = 0; i < rows.size(); ++i) {
        ASSERT_EQ(rows.at(i).name, sorted.row(i).name) << "row " << i;
        ASSERT_EQ(rows.at(i).size, sorted.row(i).size) << "row " << i;
    }

    // Shown, the rows keep what the fill learnt of their names: Name sorts after a Size sort and
    // after a row came in give the order of a comparison of each pair, equal names by size.
    FileListModel shown;
    shown.setRows(rows);
    QList<Row> expected = rows;
    Row late = made.at(5);
    late.size = QStringLiteral("5");
    for (const int column : std::initializer_list<int>{FileListModel::SizeColumn,
                                                       FileListModel::NameColumn,
                                                       -1,
                                                       FileListModel::NameColumn}) {
        if (column < 0) {
            shown.insert(9, late);
            expected.insert(9, late);
            continue;
        }
        shown.sort(column);
        std::stable_sort(expected.begin(), expected.end(), [column](const Row &a, const Row &b) {
            return FileListModel::LessThan(a, b, column);
        });
        for (int i = 0; i < expected.size(); ++i) {
            ASSERT_EQ(shown.row(i).name + shown.row(i).size,
                      expected.at(i).name + expected.at(i).size)
                    << "column " << column << " row " << i;
        }
    }

    // Without a ".." row the first row made is found where the order put it; an empty list is
    // done at once.
    FileListFill plain({}, 3, [](int i) {
        Row row;
        row.name = QStringList{"m", "c", "x"}.at(i);
        return row;
    });
    EXPECT_TRUE(plain.step());
    EXPECT_EQ(plain.firstRowAt(), 1);
    FileListFill empty({}, 0, [](int) { return Row(); });
    EXPECT_TRUE(empty.step());
    EXPECT_TRUE(empty.takeRows().isEmpty());
    EXPECT_EQ(empty.firstRowAt(), -1);
}

} // namespace
