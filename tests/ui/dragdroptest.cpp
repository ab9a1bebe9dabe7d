// Drops on the main window's views turn into transfer-queue entries: between the panes, from
// other applications onto the host side, refused onto the local side; against vsftpd.
#include "dragdropdriver.h"
#include "ui/hostpane.h"
#include "ui/localpane.h"
#include "ui/taskpanel.h"

#include "ui/tdropsource.h"

#include <QMessageBox>

using ovtest::VsftpdServer;

TEST(DragDrop, HostItemsDroppedOnTheLocalListAreReceivedIntoTheShownFolder)
{
    VsftpdServer server;
    ASSERT_TRUE(server.start());
    server.createUserFile("a.txt", "alpha");
    server.createUserFile("b.bin", QByteArray(5000, 'b'));
    server.createUserFile("sub/c.txt", "gamma");
    server.createUserFile("sub/deep/d.txt", "delta");
    DragDropWindow c;
    ASSERT_TRUE(c.connect(server, {"a.txt", "b.bin", "sub"}));
    TForm1 &form = *c.form;
    DragDrop *dnd = form.dragDrop();

    // Dragging the host list's items: the drag carries the host paths, its data stays unasked
    // because the drop lands on our own pane.
    QStringList entries;
    const QMimeData *dragged = nullptr;
    DragDropResult result;
    dnd->setDragLoop([&](QDrag *drag) {
        dragged = drag->mimeData();
        EXPECT_EQ(dnd->dragState(), DragDrop::FromRWin);
        EXPECT_EQ(dnd->internalDragList(), QStringList({"\\sub\\", "\\a.txt"}));
        // Queue held until the entries are seen.
        c.engine->toggleQueueStop();
        result = dragOver(listViewport(form.localPane()->lWin()),
                          inside(listViewport(form.localPane()->lWin())),
                          dragged,
                          true);
        entries = c.engine->transferQueue().entries();
        c.engine->toggleQueueStop();
        c.engine->Pass();
    });
    focusList(form.hostPane()->rWin());
    selectOnly(form.hostPane()->rWin(), {"a.txt", "sub"});
    pressAndMove(form.hostPane()->rWin(), rowOf(form.hostPane()->rWin(), "a.txt"));
    ASSERT_NE(dragged, nullptr);
    EXPECT_EQ(dnd->dragState(), DragDrop::NoDrag);
    EXPECT_TRUE(result.moveAccepted);
    EXPECT_TRUE(result.dropAccepted);
    const QString target = NativeToLocal(c.local.path() + "/");
    EXPECT_EQ(entries,
              QStringList({"b*\\sub\\*" + target + "sub\\*!download",
                           "d*\\a.txt*" + target + "a.txt"}));
    ASSERT_TRUE(QTest::qWaitFor(
            [&] { return QFileInfo(c.local.filePath("sub/deep/d.txt")).size() == 5; }, 20000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo(c.local.filePath("a.txt")).size() == 5; },
                                20000));
    EXPECT_EQ(localFiles(c.local.filePath("sub")), QStringList({"c.txt", "deep/"}));
    // Nothing went to the drag-and-drop folder and no please-wait dialog showed.
    EXPECT_FALSE(static_cast<const tDropSource *>(dragged)->dropAsked());
    EXPECT_EQ(localFiles(c.dragDropFolder()), QStringList());
    // The received file shows in the local list.
    EXPECT_TRUE(
            QTest::qWaitFor([&] { return rowOf(form.localPane()->lWin(), "a.txt") >= 0; }, 5000));

    // At the top level (Desktop and drives) the local list refuses the drop.
    form.ChangeLocalFolder("\\");
    dnd->setDragLoop([&](QDrag *drag) {
        result = dragOver(listViewport(form.localPane()->lWin()),
                          inside(listViewport(form.localPane()->lWin())),
                          drag->mimeData(),
                          true);
        entries = c.engine->transferQueue().entries();
    });
    focusList(form.hostPane()->rWin());
    selectOnly(form.hostPane()->rWin(), {"b.bin"});
    pressAndMove(form.hostPane()->rWin(), rowOf(form.hostPane()->rWin(), "b.bin"));
    EXPECT_FALSE(result.moveAccepted);
    EXPECT_FALSE(result.dropAccepted);
    EXPECT_EQ(entries, QStringList());

    // A tree node takes the drop into its folder, highlighted while the drag is over it.
    form.ChangeLocalFolder(target);
    QTreeWidgetItem *node = form.localPane()->LPathTree()->currentItem();
    ASSERT_NE(node, nullptr);
    QTreeWidgetItem *highlighted = nullptr;
    dnd->setDragLoop([&](QDrag *drag) {
        QWidget *viewport = form.localPane()->LPathTree()->viewport();
        const QPoint at = form.localPane()->LPathTree()->visualItemRect(node).center();
        QDragEnterEvent enter(at, Qt::CopyAction, drag->mimeData(), Qt::LeftButton, {});
        QCoreApplication::sendEvent(viewport, &enter);
        QDragMoveEvent move(at, Qt::CopyAction, drag->mimeData(), Qt::LeftButton, {});
        QCoreApplication::sendEvent(viewport, &move);
        result.moveAccepted = move.isAccepted();
        highlighted = dnd->dropHighlight(form.localPane()->LPathTree());
        QDropEvent drop(QPointF(at), Qt::CopyAction, drag->mimeData(), Qt::LeftButton, {});
        QCoreApplication::sendEvent(viewport, &drop);
        result.dropAccepted = drop.isAccepted();
    });
    focusList(form.hostPane()->rWin());
    selectOnly(form.hostPane()->rWin(), {"b.bin"});
    pressAndMove(form.hostPane()->rWin(), rowOf(form.hostPane()->rWin(), "b.bin"));
    EXPECT_TRUE(result.moveAccepted);
    EXPECT_EQ(highlighted, node);
    EXPECT_EQ(dnd->dropHighlight(form.localPane()->LPathTree()), nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo(c.local.filePath("b.bin")).size() == 5000; },
                                20000));
}

TEST(DragDrop, LocalItemsDroppedOnTheHostListAreSent)
{
    VsftpdServer server;
    ASSERT_TRUE(server.start());
    server.createUserFile("old.txt", "old");
    DragDropWindow c;
    ASSERT_TRUE(QDir(c.local.path()).mkpath("tree/inner"));
    {
        QFile f(c.local.filePath("one.txt"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("one");
    }
    for (const QString &name : {QString("tree/t.txt"), QString("tree/inner/i.txt")}) {
        QFile f(c.local.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(name.toUtf8());
    }
    ASSERT_TRUE(c.connect(server, {"old.txt"}));
    TForm1 &form = *c.form;
    DragDrop *dnd = form.dragDrop();
    const QString local = NativeToLocal(c.local.path() + "/");
    ASSERT_TRUE(
            QTest::qWaitFor([&] { return rowOf(form.localPane()->lWin(), "tree") >= 0; }, 5000));

    // ".." alone starts no drag.
    int drags = 0;
    dnd->setDragLoop([&](QDrag *) { ++drags; });
    focusList(form.localPane()->lWin());
    ASSERT_EQ(form.localPane()->lWin()->kind(0), FileListView::ParentEntry);
    selectOnly(form.localPane()->lWin(), {".."});
    pressAndMove(form.localPane()->lWin(), 0);
    EXPECT_EQ(drags, 0);

    // A file and a folder dragged onto the host list: the folder is made, then its tree sent.
    QStringList entries;
    QList<QUrl> urls;
    DragDropResult result;
    dnd->setDragLoop([&](QDrag *drag) {
        ++drags;
        urls = drag->mimeData()->urls();
        c.engine->toggleQueueStop();
        result = dragOver(listViewport(form.hostPane()->rWin()),
                          inside(listViewport(form.hostPane()->rWin())),
                          drag->mimeData(),
                          true);
        entries = c.engine->transferQueue().entries();
        c.engine->toggleQueueStop();
        c.engine->Pass();
    });
    focusList(form.localPane()->lWin());
    selectOnly(form.localPane()->lWin(), {"one.txt", "tree"});
    pressAndMove(form.localPane()->lWin(), rowOf(form.localPane()->lWin(), "one.txt"));
    EXPECT_EQ(drags, 1);
    EXPECT_TRUE(result.moveAccepted);
    EXPECT_TRUE(result.dropAccepted);
    // Other applications get the real local paths.
    EXPECT_EQ(urls,
              QList<QUrl>({QUrl::fromLocalFile(c.local.filePath("tree")),
                           QUrl::fromLocalFile(c.local.filePath("one.txt"))}));
    EXPECT_EQ(entries,
              QStringList({"c*mkd \\tree\\",
                           "c*mkd \\tree\\inner\\",
                           "u*" + local + "tree\\inner\\i.txt*\\tree\\inner\\i.txt",
                           "u*" + local + "tree\\t.txt*\\tree\\t.txt",
                           "u*" + local + "one.txt*\\one.txt"}));
    ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return QFileInfo(server.userPath("tree/inner/i.txt")).size() == 16
                       && QFileInfo(server.userPath("tree/t.txt")).size() == 10
                       && QFileInfo(server.userPath("one.txt")).size() == 3;
            },
            20000));

    // From another application: file URLs dropped on the host list are sent; the local side
    // refuses them.
    QTemporaryDir outside;
    ASSERT_TRUE(outside.isValid());
    {
        QFile f(outside.filePath("from-desktop.txt"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("desktop");
    }
    QMimeData desktop;
    desktop.setUrls({QUrl::fromLocalFile(outside.filePath("from-desktop.txt"))});
    result = dragOver(listViewport(form.localPane()->lWin()),
                      inside(listViewport(form.localPane()->lWin())),
                      &desktop,
                      true);
    EXPECT_FALSE(result.moveAccepted);
    EXPECT_FALSE(result.dropAccepted);
    result = dragOver(form.localPane()->LPathTree()->viewport(),
                      form.localPane()
                              ->LPathTree()
                              ->visualItemRect(form.localPane()->LPathTree()->currentItem())
                              .center(),
                      &desktop,
                      true);
    EXPECT_FALSE(result.moveAccepted);
    EXPECT_EQ(c.engine->transferQueue().count(), 0);
    result = dragOver(listViewport(form.hostPane()->rWin()),
                      inside(listViewport(form.hostPane()->rWin())),
                      &desktop,
                      true);
    EXPECT_TRUE(result.moveAccepted);
    EXPECT_TRUE(result.dropAccepted);
    ASSERT_TRUE(QTest::qWaitFor(
            [&] { return QFileInfo(server.userPath("from-desktop.txt")).size() == 7; }, 20000));
    EXPECT_EQ(QFileInfo(c.local.filePath("from-desktop.txt")).exists(), false);
}

TEST(DragDrop, ConfirmTransferNoDropsTheNamedPart)
{
    VsftpdServer server;
    ASSERT_TRUE(server.start());
    server.createUserFile("f.txt", "eff");
    server.createUserFile("dir/g.txt", "gee");
    DragDropWindow c;
    ASSERT_TRUE(c.connect(server, {"f.txt", "dir"}));
    TForm1 &form = *c.form;
    DragDrop *dnd = form.dragDrop();
    form.options().ConfirmTransfer = true;
    c.engine->toggleQueueStop(); // the entries stay to be looked at

    dnd->setDragLoop([&](QDrag *drag) {
        dragOver(listViewport(form.localPane()->lWin()),
                 inside(listViewport(form.localPane()->lWin())),
                 drag->mimeData(),
                 true);
    });

    // Files only: No drops them.
    {
        DragDropQuestions questions({QMessageBox::No});
        focusList(form.hostPane()->rWin());
        selectOnly(form.hostPane()->rWin(), {"f.txt"});
        pressAndMove(form.hostPane()->rWin(), rowOf(form.hostPane()->rWin(), "f.txt"));
        EXPECT_TRUE(questions.allAnswered());
        EXPECT_EQ(questions.asked, QStringList({"Copy dragged file(s) to local computer?"}));
    }
    EXPECT_EQ(c.engine->transferQueue().count(), 0);

    // Files and folders: No drops both; Yes queues both.
    {
        DragDropQuestions questions({QMessageBox::No, QMessageBox::Yes});
        focusList(form.hostPane()->rWin());
        selectOnly(form.hostPane()->rWin(), {"f.txt", "dir"});
        pressAndMove(form.hostPane()->rWin(), rowOf(form.hostPane()->rWin(), "f.txt"));
        EXPECT_EQ(c.engine->transferQueue().count(), 0);
        selectOnly(form.hostPane()->rWin(), {"f.txt", "dir"});
        pressAndMove(form.hostPane()->rWin(), rowOf(form.hostPane()->rWin(), "dir"));
        EXPECT_TRUE(questions.allAnswered());
        EXPECT_EQ(questions.asked,
                  QStringList({"Copy dragged file(s) and folder(s) to local computer?",
                               "Copy dragged file(s) and folder(s) to local computer?"}));
    }
    EXPECT_EQ(c.engine->transferQueue().count(), 2);
    c.engine->transferQueue().clear();

    // A folder from another application onto the host side: its own question.
    QTemporaryDir outside;
    ASSERT_TRUE(QDir(outside.path()).mkpath("up"));
    QMimeData desktop;
    desktop.setUrls({QUrl::fromLocalFile(outside.filePath("up"))});
    {
        DragDropQuestions questions({QMessageBox::No});
        const DragDropResult result = dragOver(listViewport(form.hostPane()->rWin()),
                                               inside(listViewport(form.hostPane()->rWin())),
                                               &desktop,
                                               true);
        EXPECT_TRUE(result.dropAccepted);
        EXPECT_TRUE(questions.allAnswered());
        EXPECT_EQ(questions.asked, QStringList({"Copy dragged folder(s) to host?"}));
    }
    EXPECT_EQ(c.engine->transferQueue().count(), 0);
}

TEST(DragDrop, TreesBookmarksAndTheQueueTakeDropsIntoTheirFolders)
{
    VsftpdServer server;
    ASSERT_TRUE(server.start());
    server.createUserFile("h.txt", "host");
    server.createUserFile("pub/p.txt", "pub");
    server.createUserFile("marked/m.txt", "mark");
    DragDropWindow c;
    QTemporaryDir downloads;
    ASSERT_TRUE(downloads.isValid());
    ASSERT_TRUE(c.connect(server, {"h.txt", "pub", "marked"}));
    TForm1 &form = *c.form;
    DragDrop *dnd = form.dragDrop();
    c.engine->toggleQueueStop(); // the entries stay to be looked at
    const QString local = NativeToLocal(c.local.path() + "/");
    const QString downloadFolder = NativeToLocal(downloads.path() + "/");

    // The queue view receives into the download folder of the options.
    form.options().DownLoadFolder = downloadFolder;
    DragDropResult result;
    QWidget *target = nullptr;
    QPoint at;
    dnd->setDragLoop([&](QDrag *drag) { result = dragOver(target, at, drag->mimeData(), true); });
    const auto dragHostFile = [&] {
        focusList(form.hostPane()->rWin());
        selectOnly(form.hostPane()->rWin(), {"h.txt"});
        pressAndMove(form.hostPane()->rWin(), rowOf(form.hostPane()->rWin(), "h.txt"));
    };
    target = form.taskPanel()->QueueView()->viewport();
    at = inside(target);
    dragHostFile();
    EXPECT_TRUE(result.dropAccepted);
    EXPECT_EQ(c.engine->transferQueue().entries(),
              QStringList({"d*\\h.txt*" + downloadFolder + "h.txt"}));
    c.engine->transferQueue().clear();

    // Without one it receives into the shown local folder.
    form.options().DownLoadFolder.clear();
    dragHostFile();
    EXPECT_EQ(c.engine->transferQueue().entries(), QStringList({"d*\\h.txt*" + local + "h.txt"}));
    c.engine->transferQueue().clear();

    // The local bookmark button takes drops only while a bookmark is selected.
    target = form.localPane()->lbookmark();
    at = inside(target);
    dragHostFile();
    EXPECT_FALSE(result.moveAccepted);
    EXPECT_EQ(c.engine->transferQueue().count(), 0);
    c.engine->localBookmarks() << QStringLiteral("dl\r") + downloadFolder;
    form.localPane()->lbookmark()->setProperty("tag", 0);
    dragHostFile();
    EXPECT_TRUE(result.dropAccepted);
    EXPECT_EQ(c.engine->transferQueue().entries(),
              QStringList({"d*\\h.txt*" + downloadFolder + "h.txt"}));
    c.engine->transferQueue().clear();

    // Files from another application: onto a host tree node (highlighted while over it) and
    // onto the selected host bookmark.
    QTemporaryDir outside;
    ASSERT_TRUE(outside.isValid());
    {
        QFile f(outside.filePath("x.txt"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    QMimeData desktop;
    desktop.setUrls({QUrl::fromLocalFile(outside.filePath("x.txt"))});
    QTreeWidgetItem *pub = form.FindFolderNode(form.hostPane()->RPathTree(), "\\pub\\");
    ASSERT_NE(pub, nullptr);
    form.hostPane()->RPathTree()->scrollToItem(pub);
    at = form.hostPane()->RPathTree()->visualItemRect(pub).center();
    {
        QDragEnterEvent enter(at, Qt::CopyAction, &desktop, Qt::LeftButton, {});
        QCoreApplication::sendEvent(form.hostPane()->RPathTree()->viewport(), &enter);
        QDragMoveEvent move(at, Qt::CopyAction, &desktop, Qt::LeftButton, {});
        QCoreApplication::sendEvent(form.hostPane()->RPathTree()->viewport(), &move);
        EXPECT_TRUE(move.isAccepted());
        EXPECT_EQ(dnd->dropHighlight(form.hostPane()->RPathTree()), pub);
        QDropEvent drop(QPointF(at), Qt::CopyAction, &desktop, Qt::LeftButton, {});
        QCoreApplication::sendEvent(form.hostPane()->RPathTree()->viewport(), &drop);
        EXPECT_TRUE(drop.isAccepted());
        EXPECT_EQ(dnd->dropHighlight(form.hostPane()->RPathTree()), nullptr);
    }
    const QString x = NativeToLocal(outside.filePath("x.txt"));
    EXPECT_EQ(c.engine->transferQueue().entries(), QStringList({"u*" + x + "*\\pub\\x.txt"}));
    c.engine->transferQueue().clear();

    result = dragOver(
            form.hostPane()->rbookmark(), inside(form.hostPane()->rbookmark()), &desktop, true);
    EXPECT_FALSE(result.moveAccepted);
    // A folder the root's listing shows is not made again.
    c.engine->hostBookmarks() << QStringLiteral("m\r\\marked\\");
    form.hostPane()->rbookmark()->setProperty("tag", 0);
    result = dragOver(
            form.hostPane()->rbookmark(), inside(form.hostPane()->rbookmark()), &desktop, true);
    EXPECT_TRUE(result.dropAccepted);
    EXPECT_EQ(c.engine->transferQueue().entries(), QStringList({"u*" + x + "*\\marked\\x.txt"}));
    c.engine->transferQueue().clear();
    c.engine->toggleQueueStop();

    // A folder tree onto a bookmark two folders below what exists arrives whole.
    ASSERT_TRUE(QDir(outside.path()).mkpath("tree/in"));
    {
        QFile f(outside.filePath("tree/in/t.txt"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("tree");
    }
    QMimeData folder;
    folder.setUrls({QUrl::fromLocalFile(outside.filePath("tree"))});
    c.engine->hostBookmarks() << QStringLiteral("n\r\\new\\deeper\\");
    form.hostPane()->rbookmark()->setProperty("tag", 1);
    result = dragOver(
            form.hostPane()->rbookmark(), inside(form.hostPane()->rbookmark()), &folder, true);
    EXPECT_TRUE(result.dropAccepted);
    const QString arrived = server.userHome() + "/new/deeper/tree/in/t.txt";
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFileInfo(arrived).size() == 4; }, 20000))
            << c.engine->log()->lines().join("\n").toStdString();
}

TEST(DragDrop, FolderTreesDragTheirFolder)
{
    VsftpdServer server;
    ASSERT_TRUE(server.start());
    server.createUserFile("pub/p.txt", "pub");
    DragDropWindow c;
    ASSERT_TRUE(QDir(c.local.path()).mkpath("send/in"));
    {
        QFile f(c.local.filePath("send/in/s.txt"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("sent");
    }
    ASSERT_TRUE(c.connect(server, {"pub"}));
    TForm1 &form = *c.form;
    DragDrop *dnd = form.dragDrop();
    c.engine->toggleQueueStop();
    const QString local = NativeToLocal(c.local.path() + "/");

    // The host tree: a press that expanded a node starts no drag (the mark is used up), the
    // next press drags the node's folder.
    QTreeWidgetItem *pub = form.FindFolderNode(form.hostPane()->RPathTree(), "\\pub\\");
    ASSERT_NE(pub, nullptr);
    int drags = 0;
    QStringList internal;
    dnd->setDragLoop([&](QDrag *drag) {
        ++drags;
        internal = dnd->internalDragList();
        dragOver(listViewport(form.localPane()->lWin()),
                 inside(listViewport(form.localPane()->lWin())),
                 drag->mimeData(),
                 true);
    });
    form.hostPane()->RPathTree()->setFocus(Qt::MouseFocusReason);
    form.hostPane()->RPathTree()->setCurrentItem(pub);
    form.hostPane()->RPathTree()->setProperty("tag", 1);
    pressAndMoveNode(form.hostPane()->RPathTree(), pub);
    EXPECT_EQ(drags, 0);
    EXPECT_EQ(form.hostPane()->RPathTree()->property("tag").toInt(), 0);
    form.hostPane()->RPathTree()->setCurrentItem(pub);
    pressAndMoveNode(form.hostPane()->RPathTree(), pub);
    EXPECT_EQ(drags, 1);
    EXPECT_EQ(internal, QStringList({"\\pub\\"}));
    EXPECT_EQ(c.engine->transferQueue().entries(),
              QStringList({"b*\\pub\\*" + local + "pub\\*!download"}));
    c.engine->transferQueue().clear();

    // The local tree: an ordinary folder, whose path travels as the drag's file URL.
    form.ChangeLocalFolder(local + "send\\");
    QTreeWidgetItem *send = form.localPane()->LPathTree()->currentItem();
    ASSERT_NE(send, nullptr);
    QList<QUrl> urls;
    dnd->setDragLoop([&](QDrag *drag) {
        ++drags;
        urls = drag->mimeData()->urls();
        EXPECT_EQ(dnd->internalDragList(), QStringList());
        dragOver(listViewport(form.hostPane()->rWin()),
                 inside(listViewport(form.hostPane()->rWin())),
                 drag->mimeData(),
                 true);
    });
    form.localPane()->LPathTree()->setFocus(Qt::MouseFocusReason);
    pressAndMoveNode(form.localPane()->LPathTree(), send);
    EXPECT_EQ(drags, 2);
    EXPECT_EQ(urls, QList<QUrl>({QUrl::fromLocalFile(c.local.filePath("send"))}));
    EXPECT_EQ(c.engine->transferQueue().entries(),
              QStringList({"c*mkd \\send\\",
                           "c*mkd \\send\\in\\",
                           "u*" + local + "send\\in\\s.txt*\\send\\in\\s.txt"}));
    c.engine->toggleQueueStop();
    ASSERT_TRUE(QTest::qWaitFor(
            [&] { return QFileInfo(server.userPath("send/in/s.txt")).size() == 4; }, 20000));

    // The drives and the Desktop are not dragged.
    QTreeWidgetItem *drive = form.localPane()->LPathTree()->topLevelItem(0)->child(1);
    ASSERT_NE(drive, nullptr);
    form.localPane()->LPathTree()->setCurrentItem(drive);
    pressAndMoveNode(form.localPane()->LPathTree(), drive);
    EXPECT_EQ(drags, 2);
}
