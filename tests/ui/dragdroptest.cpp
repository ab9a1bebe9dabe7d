// Drag and drop in the main window, against vsftpd: drags start from the panes with real mouse
// events; the drag itself is carried by the events a desktop would send (enter, move, drop) with
// the drag's own data.
#include "windowdriver.h"

#include "ui/dragdrop.h"
#include "ui/taskpanel.h"
#include "ui/tdropsource.h"

#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

using ovtest::FileTree;

namespace {

struct Dropped
{
    bool moveAccepted = false, dropAccepted = false;
};

// What the desktop sends while a drag crosses a widget and is released over it.
Dropped dragOver(QWidget *target, const QMimeData *data)
{
    const QPoint pos(target->width() / 2, target->height() - 5);
    Dropped result;
    QDragEnterEvent enter(pos, Qt::CopyAction, data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &enter);
    QDragMoveEvent move(pos, Qt::CopyAction, data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &move);
    result.moveAccepted = move.isAccepted();
    QDropEvent drop(QPointF(pos), Qt::CopyAction, data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &drop);
    result.dropAccepted = drop.isAccepted();
    return result;
}

QWidget *viewport(FileListView *list)
{
    return list->currentView()->viewport();
}

// Selects the rows and presses on the first and moves: the drag starts (or not).
void dragRows(FileListView *list, const QStringList &names)
{
    selectRows(list, names);
    const QPoint at = rowCentre(list, rowOf(list, names.first()));
    QTest::mousePress(viewport(list), Qt::LeftButton, {}, at);
    QTest::mouseMove(viewport(list), at + QPoint(4, 2));
    QTest::mouseRelease(viewport(list), Qt::LeftButton, {}, at + QPoint(4, 2));
}

QMimeData *urlsOf(const QStringList &paths)
{
    auto *data = new QMimeData;
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls << QUrl::fromLocalFile(path);
    data->setUrls(urls);
    return data;
}

struct DragDropTest : ::testing::Test
{
    ConnectedWindow c;
    QTemporaryDir outside; // another application's files

    DragDrop *dnd() const { return c.form->dragDrop(); }
    QStringList queue() const { return c.engine()->transferQueue().entries(); }
    bool arrived(const QString &path, qint64 size) const
    {
        return QTest::qWaitFor([&] { return QFileInfo(path).size() == size; }, 20000);
    }
};

} // namespace

TEST_F(DragDropTest, HostItemsDroppedOnTheLocalSideAreReceivedIntoItsFolder)
{
    ASSERT_TRUE(c.connect({"a.txt", "b.bin", "sub/c.txt", "sub/deep/d.txt"},
                          {"a.txt", "b.bin", "sub"}));
    // The drag carries the host paths; its data stays unasked as the drop lands on our own pane.
    const QMimeData *dragged = nullptr;
    Dropped result;
    dnd()->setDragLoop([&](QDrag *drag) {
        dragged = drag->mimeData();
        EXPECT_EQ(dnd()->internalDragList(), QStringList({"\\sub\\", "\\a.txt"}));
        result = dragOver(viewport(c.localList()), dragged);
    });
    dragRows(c.hostList(), {"a.txt", "sub"});
    ASSERT_NE(dragged, nullptr);
    EXPECT_TRUE(result.moveAccepted && result.dropAccepted);
    EXPECT_TRUE(arrived(c.localPath("sub/deep/d.txt"), 14) && arrived(c.localPath("a.txt"), 5));
    EXPECT_EQ(ovtest::readTree(c.localPath("sub")).keys(), QStringList({"c.txt", "deep/d.txt"}));
    EXPECT_FALSE(QFileInfo::exists(c.localPath("b.bin")));
    EXPECT_FALSE(static_cast<const tDropSource *>(dragged)->dropAsked());
    EXPECT_TRUE(QTest::qWaitFor([&] { return rowOf(c.localList(), "a.txt") >= 0; }, 5000));
}

TEST_F(DragDropTest, LocalItemsAndOtherApplicationsFilesDroppedOnTheHostSideAreSent)
{
    ASSERT_TRUE(ovtest::writeTree(
            c.local.path(), {{"one.txt", "one"}, {"tree/t.txt", "t"}, {"tree/inner/i.txt", "i"}}));
    ASSERT_TRUE(c.connect({"old.txt"}, {"old.txt"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return rowOf(c.localList(), "tree") >= 0; }, 5000));

    // ".." alone starts no drag.
    int drags = 0;
    dnd()->setDragLoop([&](QDrag *) { ++drags; });
    dragRows(c.localList(), {".."});
    EXPECT_EQ(drags, 0);

    // A file and a folder: the host has no "tree" yet, so its folders are made before its files go.
    QList<QUrl> urls;
    Dropped result;
    dnd()->setDragLoop([&](QDrag *drag) {
        urls = drag->mimeData()->urls();
        result = dragOver(viewport(c.hostList()), drag->mimeData());
    });
    dragRows(c.localList(), {"one.txt", "tree"});
    EXPECT_TRUE(result.moveAccepted && result.dropAccepted);
    // Other applications get the real local paths.
    EXPECT_EQ(urls,
              QList<QUrl>({QUrl::fromLocalFile(c.localPath("tree")),
                           QUrl::fromLocalFile(c.localPath("one.txt"))}));
    EXPECT_TRUE(arrived(c.home("tree/inner/i.txt"), 1) && arrived(c.home("tree/t.txt"), 1)
                && arrived(c.home("one.txt"), 3));

    // File URLs of another application: the local side refuses them, the host list sends them.
    ASSERT_TRUE(ovtest::writeFile(outside.filePath("from-desktop.txt"), "desktop"));
    std::unique_ptr<QMimeData> desktop(urlsOf({outside.filePath("from-desktop.txt")}));
    EXPECT_FALSE(dragOver(viewport(c.localList()), desktop.get()).moveAccepted);
    EXPECT_EQ(queue(), QStringList());
    EXPECT_TRUE(dragOver(viewport(c.hostList()), desktop.get()).dropAccepted);
    EXPECT_TRUE(arrived(c.home("from-desktop.txt"), 7));
}

TEST_F(DragDropTest, BookmarksAndTheQueueTakeDropsIntoTheirFolders)
{
    ASSERT_TRUE(c.connect({"h.txt", "marked/m.txt"}, {"h.txt", "marked"}));
    QTemporaryDir downloads;
    c.engine()->toggleQueueStop(); // the entries stay to be looked at
    const QString downloadFolder = NativeToLocal(downloads.path() + "/");
    Dropped result;
    QWidget *target = nullptr;
    dnd()->setDragLoop([&](QDrag *drag) { result = dragOver(target, drag->mimeData()); });
    // The queue view receives into the download folder, or without one into the shown folder;
    // the local bookmark button only while a bookmark is selected, into its folder.
    // clang-format off
    struct Row { QWidget *onto; QString downloadFolder; bool taken; QString into; };
    for (const Row &row : {Row{c.form->taskPanel()->QueueView()->viewport(), downloadFolder, true, downloadFolder},
                           Row{c.form->taskPanel()->QueueView()->viewport(), "", true, c.localFolder()},
                           Row{c.form->localPane()->lbookmark(), "", false, ""},
                           Row{nullptr, "", true, downloadFolder}}) {
        // clang-format on
        if (!row.onto) {
            c.engine()->localBookmarks() << "dl\r" + downloadFolder;
            c.form->localPane()->lbookmark()->setProperty("tag", 0);
        }
        target = row.onto ? row.onto : c.form->localPane()->lbookmark();
        c.form->options().DownLoadFolder = row.downloadFolder;
        dragRows(c.hostList(), {"h.txt"});
        EXPECT_TRUE(row.taken ? result.dropAccepted : !result.moveAccepted);
        EXPECT_EQ(queue(),
                  row.taken ? QStringList{"d*\\h.txt*" + row.into + "h.txt"} : QStringList());
        c.engine()->transferQueue().clear();
    }

    // Another application's file onto the selected host bookmark; a folder the root's listing
    // shows is not made again.
    ASSERT_TRUE(ovtest::writeFile(outside.filePath("x.txt"), "x"));
    std::unique_ptr<QMimeData> desktop(urlsOf({outside.filePath("x.txt")}));
    const QString x = NativeToLocal(outside.filePath("x.txt"));
    QPushButton *bookmark = c.form->hostPane()->rbookmark();
    EXPECT_FALSE(dragOver(bookmark, desktop.get()).moveAccepted);
    c.engine()->hostBookmarks() << "m\r\\marked\\";
    bookmark->setProperty("tag", 0);
    EXPECT_TRUE(dragOver(bookmark, desktop.get()).dropAccepted);
    EXPECT_EQ(queue(), QStringList({"u*" + x + "*\\marked\\x.txt"}));
    c.engine()->transferQueue().clear();
    c.engine()->toggleQueueStop();

    // A folder tree onto a bookmark two folders below what exists arrives whole.
    ASSERT_TRUE(ovtest::writeFile(outside.filePath("tree/in/t.txt"), "tree"));
    std::unique_ptr<QMimeData> folder(urlsOf({outside.filePath("tree")}));
    c.engine()->hostBookmarks() << "n\r\\new\\deeper\\";
    bookmark->setProperty("tag", 1);
    EXPECT_TRUE(dragOver(bookmark, folder.get()).dropAccepted);
    EXPECT_TRUE(arrived(c.home("new/deeper/tree/in/t.txt"), 4)) << c.log().toStdString();
}
