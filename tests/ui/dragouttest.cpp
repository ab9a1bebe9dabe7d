// Host items dragged out to another application: received into the drag-and-drop folder
// behind the please-wait dialog, handed out only once every item has arrived; against vsftpd.
#include "dragdropdriver.h"

#include <QPushButton>

using ovtest::VsftpdServer;

TEST(DragDrop, HostItemsDraggedOutArriveBeforeTheirUrlsAreHandedOut)
{
    VsftpdServer server;
    server.setOption("local_max_rate", "400000");
    ASSERT_TRUE(server.start());
    server.createUserFile("big1.bin", QByteArray(300000, '1'));
    server.createUserFile("big2.bin", QByteArray(200000, '2'));
    server.createUserFile("sub/s1.bin", QByteArray(150000, 's'));
    server.createUserFile("sub/deep/s2.bin", QByteArray(100000, 'd'));
    server.createUserFile("skip.txt", "not dragged");
    DragDropWindow c;
    ASSERT_TRUE(c.connect(server, {"big1.bin", "big2.bin", "sub", "skip.txt"}, 3));
    TForm1 &form = *c.form;
    const QString dnd = QDir::cleanPath(c.dragDropFolder());

    const QMimeData *data = dragOut(form, {"big1.bin", "big2.bin", "sub"});
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(form.dragDrop()->dragState(), DragDrop::NoDrag);
    EXPECT_FALSE(form.dragDrop()->dropOnSelf());
    // Nothing is received before the data is asked for.
    EXPECT_EQ(c.engine->transferQueue().count(), 0);
    EXPECT_EQ(localFiles(dnd), QStringList());

    const auto sizes = [&] {
        return QList<qint64>({QFileInfo(dnd + "/big1.bin").size(),
                              QFileInfo(dnd + "/big2.bin").size(),
                              QFileInfo(dnd + "/sub/s1.bin").size(),
                              QFileInfo(dnd + "/sub/deep/s2.bin").size()});
    };
    const QList<qint64> full{300000, 200000, 150000, 100000};
    bool sawUp = false;
    bool sawPartial = false;
    QString caption;
    QList<qint64> atClose;
    Tdragdropdialog *seen = nullptr;
    const QList<QUrl> urls = askAsAnotherApplication(data, [&](Tdragdropdialog *dialog) {
        if (!seen) {
            seen = dialog;
            QObject::connect(dialog, &QDialog::finished, [&] { atClose = sizes(); });
        }
        sawUp = true;
        caption = dialog->windowTitle();
        sawPartial = sawPartial || sizes() != full;
    });
    EXPECT_TRUE(sawUp);
    EXPECT_TRUE(sawPartial);
    EXPECT_EQ(caption, "Orvane FTP - Please Wait...");
    // The dialog closed only when every item had arrived, the tree included.
    EXPECT_EQ(atClose, full);
    ASSERT_NE(seen, nullptr);
    EXPECT_FALSE(seen->isVisible());
    EXPECT_EQ(urls,
              QList<QUrl>({QUrl::fromLocalFile(dnd + "/sub"),
                           QUrl::fromLocalFile(dnd + "/big1.bin"),
                           QUrl::fromLocalFile(dnd + "/big2.bin")}));
    EXPECT_EQ(localFiles(dnd), QStringList({"big1.bin", "big2.bin", "sub/"}));
    EXPECT_TRUE(logHas(c.engine, "Successfully received drag-and-drop file: 'big1.bin'."));
    // Should the other application have stopped waiting, the log says where the files are.
    EXPECT_TRUE(logHas(c.engine, "  : The dragged files are in '" + dnd + "/'."));

    // Asked again, the same URLs come without receiving anything again.
    sawUp = false;
    EXPECT_EQ(askAsAnotherApplication(data, [&](Tdragdropdialog *) { sawUp = true; }), urls);
    EXPECT_FALSE(sawUp);
}

TEST(DragDrop, DragOutEndsOnAFailedItemOrCancel)
{
    VsftpdServer server;
    server.setOption("local_max_rate", "50000");
    ASSERT_TRUE(server.start());
    server.createUserFile("ok.txt", "fine");
    server.createUserFile("gone.txt", "soon deleted");
    server.createUserFile("slow.bin", QByteArray(1000000, 'w'));
    DragDropWindow c;
    ASSERT_TRUE(c.connect(server, {"ok.txt", "gone.txt", "slow.bin"}, 2));
    TForm1 &form = *c.form;

    // A host file deleted after the listing cannot arrive: the drop is cancelled, naming it.
    ASSERT_TRUE(QFile::remove(server.userPath("gone.txt")));
    const QMimeData *data = dragOut(form, {"ok.txt", "gone.txt"});
    ASSERT_NE(data, nullptr);
    // The dialog may come and go between two looks: its closes are counted.
    int closed = 0;
    QObject::connect(form.dragDrop()->dragdropdialog(), &QDialog::finished, [&](int result) {
        EXPECT_EQ(result, QDialog::Rejected);
        ++closed;
    });
    EXPECT_EQ(askAsAnotherApplication(data, [](Tdragdropdialog *) {}), QList<QUrl>());
    EXPECT_EQ(closed, 1);
    EXPECT_TRUE(logHas(c.engine,
                       " !: Drag-and-drop operation canceled: 'gone.txt' could not be received."));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // Cancel empties the queue and resets the sessions.
    c.engine->log()->clear();
    data = dragOut(form, {"slow.bin"});
    ASSERT_NE(data, nullptr);
    int tasksWhileUp = -1;
    const QList<QUrl> urls = askAsAnotherApplication(data, [&](Tdragdropdialog *dialog) {
        if (QFileInfo(c.dragDropFolder() + "/slow.bin").size() > 0 && dialog->isVisible()) {
            tasksWhileUp = c.engine->taskList().count();
            QTest::mouseClick(dialog->btnCancel, Qt::LeftButton);
        }
    });
    EXPECT_EQ(urls, QList<QUrl>());
    EXPECT_EQ(tasksWhileUp, 2); // the main session and the one receiving
    EXPECT_TRUE(logHas(c.engine, " !: Drag-and-drop operation canceled. Resetting Connection."));
    EXPECT_EQ(c.engine->transferQueue().count(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return c.engine->taskList().count() == 1; }, 10000));
    EXPECT_LT(QFileInfo(c.dragDropFolder() + "/slow.bin").size(), 1000000);
}

TEST(DragDrop, DragOutOfAVanishedFolderIsCancelledNamingIt)
{
    VsftpdServer server;
    ASSERT_TRUE(server.start());
    server.createUserFile("keep/k.txt", "kept");
    server.createUserFile("lost/l.txt", "lost");
    DragDropWindow c;
    ASSERT_TRUE(c.connect(server, {"keep", "lost"}, 2));
    TForm1 &form = *c.form;
    ASSERT_TRUE(QDir(server.userPath("lost")).removeRecursively());

    // A copy left by an earlier drag does not pass for the folder.
    ASSERT_TRUE(QDir(c.dragDropFolder()).mkpath("lost"));
    const QMimeData *data = dragOut(form, {"keep", "lost"});
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(askAsAnotherApplication(data, [](Tdragdropdialog *) {}), QList<QUrl>());
    EXPECT_TRUE(logHas(c.engine,
                       " !: Drag-and-drop operation canceled: 'lost/' could not be received."))
            << c.engine->log()->lines().join("\n").toStdString();
}
