// Which commands the window enables, after each change of focus and selection and after the
// engine's session events: one row per state, the commands listed on (or "!" off).
#include "windowdriver.h"

#include "ftp/tcftp.h"
#include "ui/taskpanel.h"
#include "ui/tlogin.h"

#include <QTcpServer>

namespace {

void connectTo(TForm1 &form, quint16 port)
{
    ConnectRequest request;
    request.session = {"127.0.0.1", QString::number(port), "anonymous", "guest@"};
    form.engine()->connectMain(request);
}

// The window's commands by name: "Menu_Open !Menu_Rename" means Open on and Rename off.
void expectEnabled(TForm1 &form, const QString &states, const char *where)
{
    for (QString name : states.split(' ', Qt::SkipEmptyParts)) {
        const bool on = !name.startsWith('!');
        auto *action = form.findChild<QAction *>(name.remove('!'));
        ASSERT_NE(action, nullptr) << name.toStdString();
        EXPECT_EQ(action->isEnabled(), on) << where << ": " << name.toStdString();
    }
}

// A window showing a local folder with one subfolder and two files, and a host folder "\pub\"
// as the engine leaves it after a listing.
struct UpdateInterface : ::testing::Test
{
    QTemporaryDir dir;
    std::unique_ptr<TForm1> form;
    QTcpServer silent; // takes the connection and never greets: the login goes on and on

    void SetUp() override
    {
        ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
        ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
        ASSERT_TRUE(ovtest::writeFile(dir.filePath("a.txt"), "a")
                    && ovtest::writeFile(dir.filePath("b.txt"), "b"));
        form = showForm();
        form->ChangeLocalFolder(NativeToLocal(dir.path() + "/"));
        form->hostPane()->setShown(true);
        form->engine()->setCurrentHostFolder("\\pub\\");
        auto *root = new QTreeWidgetItem(form->hostPane()->RPathTree(), QStringList{"\\"});
        form->hostPane()->RPathTree()->setCurrentItem(
                form->FindFolderNode(form->hostPane()->RPathTree(), "\\pub\\"));
        root->setExpanded(true);
        for (const auto &[size, name] : std::initializer_list<std::pair<int, const char *>>{
                     {-1, ".."}, {-1, "incoming"}, {100, "readme.txt"}})
            form->AddFileItem(true, host(), -1, size, name, "\\pub\\");
        form->SortListView(host(), 1);
    }
    FileListView *local() const { return form->localPane()->lWin(); }
    FileListView *host() const { return form->hostPane()->rWin(); }
    void loggedIn(bool in)
    {
        if (in) {
            connectTo(*form, silent.serverPort());
            ASSERT_TRUE(QTest::qWaitFor(
                    [&] { return form->engine()->MainFTP()->State() == csWaitForReply; }, 5000));
        } else {
            form->engine()->logOff();
            ASSERT_TRUE(QTest::qWaitFor(
                    [&] { return form->engine()->MainFTP()->State() == csNotConnected; }, 5000));
        }
    }
    // The main session finished its login (it has become idle once).
    void finishLogin()
    {
        form->engine()->MainFTP()->setIdles(1);
        form->UpdateInterface();
    }
};

} // namespace

TEST_F(UpdateInterface, FocusSelectionAndSessionDecideTheCommands)
{
    // clang-format off
    struct Row { const char *where; std::function<void()> step; const char *states; };
    const Row rows[] = {
        {"log focused", [&] { focusOn(form->logPanel()); }, "!Menu_Open !Menu_NewFolder !Menu_ChangeFolder !Menu_Reload !Menu_ViewBookmarks !Menu_ViewDetails !Menu_View !Menu_Transfer !Menu_Buffer !Menu_Delete !Menu_Rename Menu_QuickConnect !Menu_Disconnect !Menu_ShowLoginInfo !tbBtn_Open !tbBtn_Stop !tbBtn_Reload !tbBtn_Delete !tbBtn_MkFolder"},
        {"local ..", [&] { clickRow(local(), rowOf(local(), "..")); }, "Menu_Open Menu_NewFolder Menu_ChangeFolder Menu_Reload Menu_ViewBookmarks Menu_ViewList !Menu_Rename !Menu_View !Menu_Delete !Menu_Transfer !Menu_Buffer tbBtn_Open tbBtn_MkFolder tbBtn_Reload !tbBtn_Delete !tbBtn_Upload !tbBtn_Download"},
        {"local file", [&] { clickRow(local(), rowOf(local(), "a.txt")); }, "Menu_View Menu_Rename Menu_Delete !Menu_Transfer tbBtn_Delete !tbBtn_Upload"},
        {".. after a file", [&] { clickRow(local(), rowOf(local(), ".."), Qt::ControlModifier); }, "!Menu_View Menu_Rename Menu_Delete"},
        {"local folder", [&] { clickRow(local(), rowOf(local(), "sub")); }, "!Menu_View Menu_Rename Menu_Delete"},
        {"host file", [&] { clickRow(host(), rowOf(host(), "readme.txt")); }, "Menu_Transfer Menu_View Menu_Rename Menu_Delete Menu_Buffer tbBtn_Download !tbBtn_Upload"},
        {"host ..", [&] { clickRow(host(), rowOf(host(), "..")); }, "!Menu_Transfer !Menu_Rename !Menu_Delete Menu_Buffer !tbBtn_Download"},
        {"host folder", [&] { clickRow(host(), rowOf(host(), "incoming")); }, "!Menu_View Menu_Transfer"},
        {"host tree", [&] { clickNode(form->hostPane()->RPathTree(), form->hostPane()->RPathTree()->currentItem()); }, "Menu_Buffer Menu_Delete Menu_Transfer !Menu_Rename tbBtn_Download"},
        {"logging in", [&] { clickRow(local(), rowOf(local(), "b.txt")); loggedIn(true); }, "!Menu_Transfer !tbBtn_Upload !Menu_QuickConnect Menu_Disconnect tbBtn_Stop"},
        {"logged in", [&] { finishLogin(); }, "Menu_Transfer tbBtn_Upload"},
        {"local tree", [&] { clickNode(form->localPane()->LPathTree(), form->localPane()->LPathTree()->currentItem()); }, "Menu_Delete !Menu_Rename !Menu_View Menu_Transfer Menu_Open !Menu_Buffer tbBtn_Upload !tbBtn_Download"},
        {"offline", [&] { loggedIn(false); }, "!Menu_Transfer !tbBtn_Upload !tbBtn_Stop Menu_QuickConnect"},
        {"top level", [&] { form->ChangeLocalFolder("\\"); clickRow(local(), rowOf(local(), "Desktop")); }, "!Menu_Rename !Menu_Delete !Menu_View !Menu_Transfer Menu_Open"},
    };
    // clang-format on
    for (const Row &row : rows) {
        row.step();
        expectEnabled(*form, row.states, row.where);
    }
}

TEST_F(UpdateInterface, EngineReportsInEveryTurnTabStopsAndReconnectCountdown)
{
    // The engine's reports update the commands at the end of the turn they came in, every turn:
    // the log-in text offers its command only while it holds lines.
    for (const bool lines : {true, false, true}) {
        lines ? form->LogIn->addLine("220 welcome") : form->LogIn->clearLines();
        for (int i = 0; i < 50; ++i)
            Q_EMIT form->engine()->interfaceChanged();
        EXPECT_TRUE(QTest::qWaitFor([&] { return form->Menu_ShowLoginInfo->isEnabled() == lines; },
                                    5000))
                << "log-in lines " << lines;
    }

    // Tab stops: the host side only while connected, the task lists only in task view.
    EXPECT_EQ(host()->detailsView()->focusPolicy(), Qt::ClickFocus);
    loggedIn(true);
    EXPECT_EQ(host()->detailsView()->focusPolicy(), Qt::StrongFocus);
    form->SetGUI(form->Menu_ViewTask);
    EXPECT_EQ(form->taskPanel()->TaskView()->focusPolicy(), Qt::StrongFocus);
    loggedIn(false);

    // A host that refuses the connection: Stop stays enabled while the engine counts down to the
    // next attempt, and stops it.
    quint16 refusing = 0;
    {
        QTcpServer closed;
        ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
        refusing = closed.serverPort();
    }
    InterfaceWatch watch(*form);
    form->options().Reconnect = 12;
    connectTo(*form, refusing);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->engine()->ReconnectCountdown() > 0; }, 5000));
    EXPECT_TRUE(form->tbBtn_Stop->isEnabled());
    form->tbBtn_StopClick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->engine()->ReconnectCountdown() == 0; }, 5000));
    EXPECT_FALSE(form->tbBtn_Stop->isEnabled());
}
