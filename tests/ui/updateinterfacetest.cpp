#include "formdriver.h"
#include "ui/logpanel.h"

#include "ftp/tcftp.h"
#include "platform/localpath.h"
#include "settings/options.h"
#include "tasks/taskengine.h"
#include "ui/hostpane.h"
#include "ui/localpane.h"
#include "ui/taskpanel.h"
#include "ui/tlogin.h"
#include "widgets/logview.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QListView>
#include <QPushButton>
#include <QSplitter>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>

namespace {

// A loopback host that takes the connection and never greets: the window's main session stays
// connected and logging in for as long as the test needs.
struct SilentHost
{
    QTcpServer server;
    QList<QTcpSocket *> held;

    SilentHost()
    {
        EXPECT_TRUE(server.listen(QHostAddress::LocalHost));
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket *socket = server.nextPendingConnection())
                held << socket;
        });
    }
    void connect(TForm1 &form)
    {
        ConnectRequest request;
        request.session.Host = QStringLiteral("127.0.0.1");
        request.session.Port = QString::number(server.serverPort());
        request.session.Username = QStringLiteral("anonymous");
        request.session.Password = QStringLiteral("guest@");
        form.engine()->connectMain(request);
        EXPECT_TRUE(QTest::qWaitFor(
                [&form] { return form.engine()->MainFTP()->State() == csWaitForReply; }, 5000));
    }
};

// The main session finished its login (it has become idle once).
void finishLogin(TForm1 &form)
{
    form.engine()->MainFTP()->setIdles(1);
    form.UpdateInterface();
}

void logOff(TForm1 &form)
{
    form.engine()->logOff();
    EXPECT_TRUE(QTest::qWaitFor(
            [&form] { return form.engine()->MainFTP()->State() == csNotConnected; }, 5000));
}

struct State
{
    QAction *item;
    bool enabled;
};

void expectEnabled(std::initializer_list<State> states, const char *where)
{
    for (const State &s : states)
        EXPECT_EQ(s.item->isEnabled(), s.enabled)
                << where << ": " << s.item->objectName().toStdString();
}

// A window showing a local folder with one subfolder and two files, and a host folder "\pub\"
// with the same shape, as the engine leaves it after a listing.
struct Fixture
{
    QTemporaryDir dir;
    std::unique_ptr<TForm1> form;

    Fixture()
    {
        QDir(dir.path()).mkdir("sub");
        for (const char *name : {"a.txt", "b.txt"}) {
            QFile file(dir.filePath(name));
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("data");
        }
        form = showForm();
        form->ChangeLocalFolder(NativeToLocal(dir.path() + "/"));
        form->hostPane()->setShown(true);
        form->engine()->setCurrentHostFolder("\\pub\\");
        auto *root = new QTreeWidgetItem(form->hostPane()->RPathTree(), QStringList{"\\"});
        form->hostPane()->RPathTree()->setCurrentItem(
                form->FindFolderNode(form->hostPane()->RPathTree(), "\\pub\\"));
        root->setExpanded(true);
        FileListView *r = form->hostPane()->rWin();
        form->AddFileItem(true, false, r, -1, -1, "..", "\\pub\\");
        form->AddFileItem(true, false, r, -1, -1, "incoming", "\\pub\\");
        form->AddFileItem(true, false, r, -1, 100, "readme.txt", "\\pub\\");
        form->SortListView(r, 1);
    }
    TForm1 *operator->() const { return form.get(); }
};

TEST(UpdateInterface, NothingFocusedDisablesThePaneCommands)
{
    Fixture f;
    focusOn(f->logPanel());
    expectEnabled({{f->Menu_Open, false},          {f->Menu_NewFolder, false},
                   {f->Menu_ChangeFolder, false},  {f->Menu_Reload, false},
                   {f->Menu_ViewBookmarks, false}, {f->Menu_ViewLarge, false},
                   {f->Menu_ViewSmall, false},     {f->Menu_ViewList, false},
                   {f->Menu_ViewDetails, false},   {f->Menu_View, false},
                   {f->Menu_Transfer, false},      {f->Menu_Buffer, false},
                   {f->Menu_Delete, false},        {f->Menu_Rename, false},
                   {f->Menu_QuickConnect, true},   {f->Menu_Disconnect, false},
                   {f->Menu_ShowLoginInfo, false}, {f->tbBtn_Open, false},
                   {f->tbBtn_Stop, false},         {f->tbBtn_Reload, false},
                   {f->tbBtn_Delete, false},       {f->tbBtn_MkFolder, false}},
                  "log focused");
    for (QAction *style :
         {f->Menu_ViewLarge, f->Menu_ViewSmall, f->Menu_ViewList, f->Menu_ViewDetails})
        EXPECT_FALSE(style->isChecked()) << style->objectName().toStdString();
    EXPECT_FALSE(f->taskPanel()->Btn_TaskKill()->isEnabled());
}

TEST(UpdateInterface, LocalListSelectionDecidesTheItemCommands)
{
    Fixture f;
    FileListView *l = f->localPane()->lWin();

    // Only ".." selected counts as no selection.
    clickRow(l, rowOf(l, ".."));
    ASSERT_TRUE(l->currentView()->hasFocus());
    expectEnabled({{f->Menu_Open, true},
                   {f->Menu_NewFolder, true},
                   {f->Menu_ChangeFolder, true},
                   {f->Menu_Reload, true},
                   {f->Menu_ViewBookmarks, true},
                   {f->Menu_ViewList, true},
                   {f->Menu_Rename, false},
                   {f->Menu_View, false},
                   {f->Menu_Delete, false},
                   {f->Menu_Transfer, false},
                   {f->Menu_Buffer, false},
                   {f->tbBtn_Open, true},
                   {f->tbBtn_MkFolder, true},
                   {f->tbBtn_Reload, true},
                   {f->tbBtn_Delete, false},
                   {f->tbBtn_Upload, false},
                   {f->tbBtn_Download, false}},
                  "only ..");
    EXPECT_TRUE(f->Menu_ViewDetails->isChecked());
    EXPECT_FALSE(f->Menu_ViewList->isChecked());
    EXPECT_TRUE(f->localPane()->lPanelSplit()->handle(1)->property("marked").toBool());
    EXPECT_FALSE(f->hostPane()->rPanelSplit()->handle(1)->property("marked").toBool());

    // A file: View, Rename, Delete; sending waits for a finished login.
    clickRow(l, rowOf(l, "a.txt"));
    expectEnabled({{f->Menu_View, true},
                   {f->Menu_Rename, true},
                   {f->Menu_Delete, true},
                   {f->Menu_Transfer, false},
                   {f->tbBtn_Delete, true},
                   {f->tbBtn_Upload, false}},
                  "a file");

    // ".." with a file: one item counts, but ".." first in the selection rules out View.
    clickRow(l, rowOf(l, ".."), Qt::ControlModifier);
    EXPECT_EQ(l->selectedRows().size(), 2);
    expectEnabled({{f->Menu_View, false}, {f->Menu_Rename, true}, {f->Menu_Delete, true}},
                  ".. and a file");

    // A folder first in the selection: no View.
    clickRow(l, rowOf(l, "sub"));
    expectEnabled({{f->Menu_View, false}, {f->Menu_Rename, true}, {f->Menu_Delete, true}},
                  "a folder");

    // Connected but still logging in, then logged in.
    clickRow(l, rowOf(l, "b.txt"));
    SilentHost host;
    host.connect(*f.form);
    expectEnabled({{f->Menu_Transfer, false},
                   {f->tbBtn_Upload, false},
                   {f->Menu_QuickConnect, false},
                   {f->Menu_Disconnect, true},
                   {f->tbBtn_Stop, true}},
                  "logging in");
    finishLogin(*f.form);
    expectEnabled({{f->Menu_Transfer, true}, {f->tbBtn_Upload, true}}, "logged in");
    logOff(*f.form);
    expectEnabled({{f->Menu_Transfer, false},
                   {f->tbBtn_Upload, false},
                   {f->tbBtn_Stop, false},
                   {f->Menu_QuickConnect, true}},
                  "offline");
}

TEST(UpdateInterface, LocalTreeAndTopLevel)
{
    Fixture f;
    clickNode(f->localPane()->LPathTree(), f->localPane()->LPathTree()->currentItem());
    ASSERT_TRUE(f->localPane()->LPathTree()->hasFocus());
    expectEnabled({{f->Menu_Delete, true},
                   {f->Menu_Rename, false},
                   {f->Menu_View, false},
                   {f->Menu_Transfer, false},
                   {f->Menu_Open, true},
                   {f->Menu_Buffer, false},
                   {f->tbBtn_Upload, false},
                   {f->tbBtn_Download, false}},
                  "local tree");
    EXPECT_TRUE(f->Menu_ViewDetails->isChecked());
    SilentHost host;
    host.connect(*f.form);
    finishLogin(*f.form);
    expectEnabled({{f->Menu_Transfer, true}, {f->tbBtn_Upload, true}}, "local tree, logged in");

    // At the top level nothing in the list counts as selected.
    f->ChangeLocalFolder("\\");
    clickRow(f->localPane()->lWin(), rowOf(f->localPane()->lWin(), "Desktop"));
    EXPECT_EQ(f->localPane()->lWin()->selectedRows().size(), 1);
    expectEnabled({{f->Menu_Rename, false},
                   {f->Menu_Delete, false},
                   {f->Menu_View, false},
                   {f->Menu_Transfer, false},
                   {f->Menu_Open, true}},
                  "top level");
}

TEST(UpdateInterface, HostListAndTree)
{
    Fixture f;
    FileListView *r = f->hostPane()->rWin();
    clickRow(r, rowOf(r, "readme.txt"));
    ASSERT_TRUE(r->currentView()->hasFocus());
    // Receiving needs no finished login in the rule; the list's selection is enough.
    expectEnabled({{f->Menu_Transfer, true},
                   {f->Menu_View, true},
                   {f->Menu_Rename, true},
                   {f->Menu_Delete, true},
                   {f->Menu_Buffer, true},
                   {f->tbBtn_Download, true},
                   {f->tbBtn_Upload, false}},
                  "host file");
    EXPECT_TRUE(f->hostPane()->rPanelSplit()->handle(1)->property("marked").toBool());
    EXPECT_FALSE(f->localPane()->lPanelSplit()->handle(1)->property("marked").toBool());

    clickRow(r, rowOf(r, ".."));
    expectEnabled({{f->Menu_Transfer, false},
                   {f->Menu_Rename, false},
                   {f->Menu_Delete, false},
                   {f->Menu_Buffer, true},
                   {f->tbBtn_Download, false}},
                  "host ..");

    clickRow(r, rowOf(r, "incoming"));
    expectEnabled({{f->Menu_View, false}, {f->Menu_Transfer, true}}, "host folder");

    // The view styles act on the active side's list only.
    f->Menu_ViewList->trigger();
    EXPECT_EQ(r->viewStyle(), FileListView::List);
    EXPECT_EQ(f->localPane()->lWin()->viewStyle(), FileListView::Details);
    EXPECT_TRUE(f->Menu_ViewList->isChecked());
    EXPECT_FALSE(f->Menu_ViewDetails->isChecked());
    clickRow(r, rowOf(r, "readme.txt"));
    EXPECT_TRUE(r->iconView()->hasFocus());
    expectEnabled({{f->Menu_Rename, true}}, "host file in list style");

    clickNode(f->hostPane()->RPathTree(), f->hostPane()->RPathTree()->currentItem());
    ASSERT_TRUE(f->hostPane()->RPathTree()->hasFocus());
    expectEnabled({{f->Menu_Buffer, true},
                   {f->Menu_Delete, true},
                   {f->Menu_Transfer, true},
                   {f->Menu_Rename, false},
                   {f->tbBtn_Download, true}},
                  "host tree");
    EXPECT_TRUE(f->Menu_ViewList->isChecked());
}

TEST(UpdateInterface, TabStopsFollowModeAndConnection)
{
    Fixture f;
    focusOn(f->logPanel());
    EXPECT_EQ(f->localPane()->lWin()->detailsView()->focusPolicy(), Qt::StrongFocus);
    EXPECT_EQ(f->localPane()->LPathTree()->focusPolicy(), Qt::StrongFocus);
    EXPECT_EQ(f->hostPane()->rWin()->detailsView()->focusPolicy(), Qt::ClickFocus);
    EXPECT_EQ(f->hostPane()->RPathTree()->focusPolicy(), Qt::ClickFocus);
    EXPECT_EQ(f->taskPanel()->TaskView()->focusPolicy(), Qt::ClickFocus);
    SilentHost host;
    host.connect(*f.form);
    EXPECT_EQ(f->hostPane()->rWin()->detailsView()->focusPolicy(), Qt::StrongFocus);
    EXPECT_EQ(f->hostPane()->RPathTree()->focusPolicy(), Qt::StrongFocus);
    f->SetGUI(f->Menu_ViewTask);
    EXPECT_EQ(f->localPane()->lWin()->detailsView()->focusPolicy(), Qt::ClickFocus);
    EXPECT_EQ(f->taskPanel()->TaskView()->focusPolicy(), Qt::StrongFocus);
    EXPECT_EQ(f->taskPanel()->QueueView()->focusPolicy(), Qt::StrongFocus);
    // Outside double view the host splitter loses its mark.
    EXPECT_FALSE(f->hostPane()->rPanelSplit()->handle(1)->property("marked").toBool());
}

TEST(UpdateInterface, KillButtonNamesTheFocusedTaskList)
{
    Fixture f;
    f->SetGUI(f->Menu_ViewTask);
    // Models as the engine hands them over, replacing the window's empty ones.
    auto *tasks = new QStandardItemModel(0, 1, f.form.get());
    auto *queue = new QStandardItemModel(0, 1, f.form.get());
    f->taskPanel()->setTaskModels(tasks, queue);
    tasks->appendRow(new QStandardItem("00: idle"));
    queue->appendRow(new QStandardItem("Download: /pub/a"));

    focusOn(f->taskPanel()->TaskView());
    EXPECT_FALSE(f->taskPanel()->Btn_TaskKill()->isEnabled());
    EXPECT_EQ(f->taskPanel()->Btn_TaskKill()->text(), "&Kill Selected Tasks");
    QTest::mouseClick(f->taskPanel()->TaskView()->viewport(),
                      Qt::LeftButton,
                      {},
                      f->taskPanel()->TaskView()->visualRect(tasks->index(0, 0)).center());
    EXPECT_TRUE(f->taskPanel()->Btn_TaskKill()->isEnabled());
    EXPECT_EQ(f->taskPanel()->Btn_TaskKill()->text(), "&Kill Selected Tasks");

    QTest::mouseClick(f->taskPanel()->QueueView()->viewport(),
                      Qt::LeftButton,
                      {},
                      f->taskPanel()->QueueView()->visualRect(queue->index(0, 0)).center());
    EXPECT_TRUE(f->taskPanel()->Btn_TaskKill()->isEnabled());
    EXPECT_EQ(f->taskPanel()->Btn_TaskKill()->text(), "&Kill Selected Actions");

    QTest::mouseClick(f->taskPanel()->TaskView()->viewport(),
                      Qt::LeftButton,
                      {},
                      f->taskPanel()->TaskView()->visualRect(tasks->index(0, 0)).center());
    EXPECT_EQ(f->taskPanel()->Btn_TaskKill()->text(), "&Kill Selected Tasks");
    focusOn(f->logPanel());
    EXPECT_FALSE(f->taskPanel()->Btn_TaskKill()->isEnabled());
    EXPECT_EQ(f->taskPanel()->Btn_TaskKill()->text(), "&Kill Selected Tasks");
}

TEST(UpdateInterface, SessionExtrasAndToolbars)
{
    Fixture f;
    clickRow(f->localPane()->lWin(), 0);
    f->LogIn->addLine("220 Welcome");
    f->UpdateInterface();
    EXPECT_TRUE(f->Menu_ShowLoginInfo->isEnabled());
    f->LogIn->clearLines();
    f->UpdateInterface();
    EXPECT_FALSE(f->Menu_ShowLoginInfo->isEnabled());
    // A host that refuses the connection: the engine counts down to the next attempt, and Stop
    // stays enabled while it does.
    quint16 refusing = 0;
    {
        QTcpServer closed;
        ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
        refusing = closed.serverPort();
    }
    f->options().Reconnect = 12;
    ConnectRequest request;
    request.session.Host = QStringLiteral("127.0.0.1");
    request.session.Port = QString::number(refusing);
    request.session.Username = QStringLiteral("anonymous");
    request.session.Password = QStringLiteral("guest@");
    f->engine()->connectMain(request);
    ASSERT_TRUE(QTest::qWaitFor([&f] { return f->engine()->ReconnectCountdown() > 0; }, 5000));
    EXPECT_TRUE(f->tbBtn_Stop->isEnabled());
    f->tbBtn_StopClick();
    ASSERT_TRUE(QTest::qWaitFor([&f] { return f->engine()->ReconnectCountdown() == 0; }, 5000));
    EXPECT_FALSE(f->tbBtn_Stop->isEnabled());

    // A toolbar closed on its own unchecks its menu item; the bevel shows with no toolbar.
    EXPECT_TRUE(f->Menu_ViewInterfaceCtrl->isChecked());
    EXPECT_FALSE(f->topbevel->isVisible());
    f->TB_Main->hide();
    EXPECT_FALSE(f->Menu_ViewInterfaceCtrl->isChecked());
    f->Menu_ViewGeneralCtrl->trigger();
    EXPECT_FALSE(f->TB_Online->isVisible());
    EXPECT_FALSE(f->Menu_ViewGeneralCtrl->isChecked());
    EXPECT_TRUE(f->topbevel->isVisible());
    f->Menu_ViewGeneralCtrl->trigger();
    EXPECT_TRUE(f->TB_Online->isVisible());
    EXPECT_FALSE(f->topbevel->isVisible());

    // Text labels: caption under the glyph 40 high, or the glyph alone 23 x 22.
    QWidget *quick = f->TB_Online->widgetForAction(f->tbBtn_Quick);
    EXPECT_TRUE(f->Menu_ViewLabels->isChecked());
    EXPECT_EQ(quick->height(), 40);
    EXPECT_GE(quick->width(), 48);
    f->Menu_ViewLabels->trigger();
    EXPECT_FALSE(f->Menu_ViewLabels->isChecked());
    EXPECT_EQ(quick->size(), QSize(23, 22));
    EXPECT_EQ(qobject_cast<QToolButton *>(quick)->toolButtonStyle(), Qt::ToolButtonIconOnly);

    // A disabled toolbar keeps its buttons as they are.
    clickRow(f->localPane()->lWin(), rowOf(f->localPane()->lWin(), "a.txt"));
    EXPECT_TRUE(f->tbBtn_Delete->isEnabled());
    f->TB_Online->setEnabled(false);
    focusOn(f->logPanel());
    EXPECT_FALSE(f->Menu_Delete->isEnabled());
    EXPECT_TRUE(f->tbBtn_Delete->isEnabled());
}

} // namespace
