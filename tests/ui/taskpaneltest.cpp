// The task panel and the status bar while real downloads run: the rows are the engine's task
// and queue captions, the status bar counts the sessions and the queue, Stop Queue holds the
// queue and Kill removes queue entries.
#include "ui/taskpanel.h"
#include "formdriver.h"
#include "quickconnectdriver.h"
#include "ui/localpane.h"

#include "platform/localpath.h"
#include "support/vsftpdserver.h"
#include "tasks/taskengine.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>

using ovtest::VsftpdServer;

namespace {

QStringList rows(QTreeView *view)
{
    QStringList captions;
    const QAbstractItemModel *model = view->model();
    for (int row = 0; row < model->rowCount(); ++row)
        captions << model->index(row, 0).data().toString();
    return captions;
}

bool anyStartsWith(const QStringList &lines, const QString &prefix)
{
    for (const QString &line : lines) {
        if (line.startsWith(prefix))
            return true;
    }
    return false;
}

constexpr int FileSize = 300 * 1024;

} // namespace

TEST(TaskPanel, ShowsRunningDownloadsAndTheStatusBarCountsThem)
{
    VsftpdServer server;
    // Slow enough that every download is seen running for a few seconds.
    server.setOption("local_max_rate", "120000");
    ASSERT_TRUE(server.start());
    const QStringList names{"big1.bin", "big2.bin", "big3.bin", "big4.bin"};
    for (const QString &name : names)
        server.createUserFile(name, QByteArray(FileSize, 'x'));
    QTemporaryDir local;
    ASSERT_TRUE(local.isValid());

    auto form = showForm();
    form->ChangeLocalFolder(NativeToLocal(local.path() + "/"));
    TaskEngine *engine = form->engine();
    engine->startTimers();
    form->SetGUI(form->Menu_ViewTask);
    quickConnect(*form, {server.port(), VsftpdServer::userName(), VsftpdServer::password(), {}, 3});
    ASSERT_TRUE(waitForHostList(*form, "\\", names));
    EXPECT_EQ(form->taskPanel()->TasksLabel()->text(), "03");
    EXPECT_EQ(form->taskPanel()->Tasks()->value(), 3);

    // With the queue stopped the entries wait, one row each.
    QTest::mouseClick(form->taskPanel()->Btn_QueueStop(), Qt::LeftButton);
    EXPECT_EQ(form->taskPanel()->Btn_QueueStop()->text(), "Queue &Stopped");
    EXPECT_TRUE(form->taskPanel()->Btn_QueueStop()->isChecked());
    for (const QString &name : names)
        engine->transferQueue().append(
                TransferQueue::DownloadEntry("\\" + name, NativeToLocal(local.filePath(name))));
    engine->Pass();
    EXPECT_EQ(rows(form->taskPanel()->QueueView()),
              QStringList({"Download: big1.bin",
                           "Download: big2.bin",
                           "Download: big3.bin",
                           "Download: big4.bin"}));
    EXPECT_EQ(form->statPanels[1]->text(), "Queue Items: 4");

    // The user removes the last entry: a press in the queue names the kill button for it.
    const QModelIndex last = form->taskPanel()->QueueView()->model()->index(3, 0);
    QTest::mouseClick(form->taskPanel()->QueueView()->viewport(),
                      Qt::LeftButton,
                      {},
                      form->taskPanel()->QueueView()->visualRect(last).center());
    EXPECT_EQ(form->taskPanel()->Btn_TaskKill()->text(), "&Kill Selected Actions");
    ASSERT_TRUE(form->taskPanel()->Btn_TaskKill()->isEnabled());
    QTest::mouseClick(form->taskPanel()->Btn_TaskKill(), Qt::LeftButton);
    EXPECT_EQ(rows(form->taskPanel()->QueueView()).size(), 3);
    EXPECT_EQ(form->statPanels[1]->text(), "Queue Items: 3");

    // Released, the queue runs: task sessions start and show their transfers.
    QTest::mouseClick(form->taskPanel()->Btn_QueueStop(), Qt::LeftButton);
    EXPECT_EQ(form->taskPanel()->Btn_QueueStop()->text(), "&Stop Queue");
    int mostRows = 0;
    bool sawDownloading = false;
    bool sawTotals = false;
    bool sawThreeTasks = false;
    const auto allReceived = [&] {
        for (const QString &name : names.mid(0, 3)) {
            if (QFileInfo(local.filePath(name)).size() != FileSize)
                return false;
        }
        return true;
    };
    const bool done = QTest::qWaitFor(
            [&] {
                const QStringList tasks = rows(form->taskPanel()->TaskView());
                mostRows = qMax(mostRows, int(tasks.size()));
                sawDownloading = sawDownloading || anyStartsWith(tasks, "Downloading : big");
                sawTotals = sawTotals || form->statPanels[2]->text().startsWith("Transfering ");
                sawThreeTasks = sawThreeTasks || form->statPanels[0]->text() == "Tasks: 3 of 3";
                return allReceived() && engine->taskList().count() == 1
                       && rows(form->taskPanel()->TaskView()).size() == 1;
            },
            60000);
    ASSERT_TRUE(done) << rows(form->taskPanel()->TaskView()).join(" | ").toStdString();
    EXPECT_EQ(mostRows, 3); // the main session and two task sessions
    EXPECT_TRUE(sawDownloading);
    EXPECT_TRUE(sawTotals);
    EXPECT_TRUE(sawThreeTasks);
    EXPECT_FALSE(QFileInfo::exists(local.filePath("big4.bin")));
    // Each received file joined the local list showing its folder.
    for (const QString &name : names.mid(0, 3)) {
        const int row = rowOf(form->localPane()->lWin(), name);
        ASSERT_GE(row, 0) << name.toStdString();
        EXPECT_EQ(form->localPane()->lWin()->text(row, FileListView::SizeColumn), "300KB");
    }
    EXPECT_EQ(rowOf(form->localPane()->lWin(), "big4.bin"), -1);
    ASSERT_TRUE(
            QTest::qWaitFor([&] { return form->statPanels[0]->text() == "Tasks: 1 of 3"; }, 3000));
    EXPECT_EQ(form->statPanels[1]->text(), "Queue Items: 0");
    EXPECT_EQ(rows(form->taskPanel()->QueueView()), QStringList());
    EXPECT_TRUE(rows(form->taskPanel()->TaskView()).value(0).startsWith("Idling for "));

    // Going offline sets the task maximum back to one.
    form->tbBtn_Quick->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->taskPanel()->TasksLabel()->text() == "01"; },
                                10000));
    EXPECT_EQ(form->taskPanel()->Tasks()->value(), 1);
}

namespace {

// Answers the next question box: Yes or No; returns its text through text.
void answerQuestion(QMessageBox::StandardButton answer, QString *text)
{
    QTimer::singleShot(0, [answer, text] {
        QMessageBox *box = nullptr;
        const bool shown = QTest::qWaitFor(
                [&box] {
                    box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                    return box != nullptr;
                },
                3000);
        if (!shown) {
            ADD_FAILURE() << "no question was asked";
            return;
        }
        *text = box->text();
        QTest::mouseClick(box->button(answer), Qt::LeftButton);
    });
}

} // namespace

TEST(TaskPanel, DisconnectingWhileTasksRunAsksFirstWhenSetUpSo)
{
    VsftpdServer server;
    server.setOption("local_max_rate", "50000");
    ASSERT_TRUE(server.start());
    server.createUserFile("slow.bin", QByteArray(FileSize, 'y'));
    QTemporaryDir local;
    ASSERT_TRUE(local.isValid());

    auto form = showForm();
    TaskEngine *engine = form->engine();
    engine->startTimers();
    form->options().ConfirmDisconnect = true;
    quickConnect(*form, {server.port(), VsftpdServer::userName(), VsftpdServer::password(), {}, 2});
    ASSERT_TRUE(waitForHostList(*form, "\\", {"slow.bin"}));
    engine->transferQueue().append(
            TransferQueue::DownloadEntry("\\slow.bin", NativeToLocal(local.filePath("slow.bin"))));
    engine->Pass();
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine->taskList().count() == 2; }, 10000));

    // No keeps everything running.
    QString question;
    answerQuestion(QMessageBox::No, &question);
    form->tbBtn_Quick->trigger();
    EXPECT_EQ(question, "One or more tasks are active. Do you still want to disconnect?");
    EXPECT_EQ(form->tbBtn_Quick->text(), "Log Off");
    EXPECT_EQ(engine->taskList().count(), 2);
    EXPECT_EQ(engine->MainFTP()->State() == csNotConnected, false);

    // Yes disconnects the tasks and the main session.
    question.clear();
    answerQuestion(QMessageBox::Yes, &question);
    form->tbBtn_Quick->trigger();
    EXPECT_FALSE(question.isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->tbBtn_Quick->text() == "Connect"; }, 10000));
    EXPECT_EQ(engine->taskList().count(), 1);
    // The rows follow at the scheduler's next pass.
    EXPECT_TRUE(
            QTest::qWaitFor([&] { return rows(form->taskPanel()->TaskView()).size() == 1; }, 3000));
}
