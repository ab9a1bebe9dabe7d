#include "widgets/filelistview.h"
#include "widgets/paintpacer.h"

#include "support/eventwait.h"

#include <QHeaderView>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

namespace {

int Needed(const FileListView &list, int row, int column)
{
    QAbstractItemView *view = list.detailsView();
    return view->sizeHintForIndex(list.model()->index(row, column)).width();
}

void AddFile(FileListView &list, const QString &name, const QString &type)
{
    list.insertSorted(
            name, FileListView::FileEntry, QStringLiteral("1KB"), type, QDate(2024, 5, 1), {});
}

// Files arriving one by one into a shown list, with texts seen before and new longer ones: the
// columns widen to the longest text of the rows that came, a column sized by hand stays as the
// user left it.
TEST(ArrivalWidths, ColumnsWidenToArrivingTextsUnlessSizedByHand)
{
    FileListView list;
    list.resize(900, 400);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    for (int i = 0; i < 30; ++i)
        AddFile(list, QStringLiteral("f%1").arg(i), QStringLiteral("BIN"));
    QCoreApplication::processEvents();
    const int typeBefore = list.columnWidth(FileListView::TypeColumn);

    const QString longType = QStringLiteral("A type name long enough to need a wider column");
    AddFile(list, QStringLiteral("g1"), longType);
    AddFile(list, QStringLiteral("g2"), QStringLiteral("BIN"));
    QTest::qWait(1);
    const int row = list.findCaption(QStringLiteral("g1"), Qt::CaseSensitive);
    EXPECT_TRUE(ovtest::waitFor([&] {
        return list.columnWidth(FileListView::TypeColumn)
               >= Needed(list, row, FileListView::TypeColumn);
    }));
    EXPECT_GT(list.columnWidth(FileListView::TypeColumn), typeBefore);

    // The same long text again in a new size column, then a longer size text.
    list.detailsView()->header()->resizeSection(FileListView::TypeColumn, 40);
    const int sizeBefore = list.columnWidth(FileListView::SizeColumn);
    list.insertSorted(QStringLiteral("h"),
                      FileListView::FileEntry,
                      QStringLiteral("123,456,789,012KB"),
                      longType + longType,
                      QDate(2024, 5, 1),
                      {});
    const int hRow = list.findCaption(QStringLiteral("h"), Qt::CaseSensitive);
    EXPECT_TRUE(ovtest::waitFor([&] {
        return list.columnWidth(FileListView::SizeColumn)
               >= Needed(list, hRow, FileListView::SizeColumn);
    }));
    EXPECT_GT(list.columnWidth(FileListView::SizeColumn), sizeBefore);
    ovtest::spinFor(50);
    EXPECT_EQ(list.columnWidth(FileListView::TypeColumn), 40);
}

// A window painted at a bounded rate still paints every change: the last one shows once the
// interval is over, without anything else happening.
TEST(PaintPacer, HeldBackChangesArePaintedAfterTheInterval)
{
    struct Canvas : QWidget
    {
        int paints = 0;
        QString text;    // what the next paint shows
        QString painted; // what the last paint showed
        void paintEvent(QPaintEvent *) override
        {
            ++paints;
            painted = text;
        }
    };
    Canvas canvas;
    canvas.resize(100, 100);
    new PaintPacer(&canvas, 200);
    canvas.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&canvas));
    QElapsedTimer clock;
    clock.start();
    const int before = canvas.paints;
    for (int i = 0; i < 30; ++i) {
        canvas.text = QString::number(i);
        canvas.update();
        QTest::qWait(5);
    }
    EXPECT_TRUE(ovtest::waitFor([&] { return canvas.painted == QStringLiteral("29"); }, 2000));
    EXPECT_LE(canvas.paints - before, 2 + clock.elapsed() / 200);
}

} // namespace
