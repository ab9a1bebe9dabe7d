#include "formdriver.h"

#include "platform/localpath.h"
#include "widgets/logview.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QListView>
#include <QPushButton>
#include <QSplitter>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>

namespace {

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
        form->setRemotePaneShown(true);
        form->setRootFolder("\\");
        form->setCurrentHostFolder("\\pub\\");
        auto *root = new QTreeWidgetItem(form->RPathTree, QStringList{"\\"});
        form->RPathTree->setCurrentItem(form->FindFolderNode(form->RPathTree, "\\pub\\"));
        root->setExpanded(true);
        FileListView *r = form->rWin;
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
    focusOn(f->logwin);
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
    EXPECT_FALSE(f->Btn_TaskKill->isEnabled());
}

TEST(UpdateInterface, LocalListSelectionDecidesTheItemCommands)
{
    Fixture f;
    FileListView *l = f->lWin;

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
    EXPECT_TRUE(f->lPanelSplit->handle(1)->property("marked").toBool());
    EXPECT_FALSE(f->rPanelSplit->handle(1)->property("marked").toBool());

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
    f->setMainSessionState(true, 0);
    expectEnabled({{f->Menu_Transfer, false},
                   {f->tbBtn_Upload, false},
                   {f->Menu_QuickConnect, false},
                   {f->Menu_Disconnect, true},
                   {f->tbBtn_Stop, true}},
                  "logging in");
    f->setMainSessionState(true, 1);
    expectEnabled({{f->Menu_Transfer, true}, {f->tbBtn_Upload, true}}, "logged in");
    f->setMainSessionState(false, 0);
    expectEnabled({{f->Menu_Transfer, false},
                   {f->tbBtn_Upload, false},
                   {f->tbBtn_Stop, false},
                   {f->Menu_QuickConnect, true}},
                  "offline");
}

TEST(UpdateInterface, LocalTreeAndTopLevel)
{
    Fixture f;
    clickNode(f->LPathTree, f->LPathTree->currentItem());
    ASSERT_TRUE(f->LPathTree->hasFocus());
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
    f->setMainSessionState(true, 1);
    expectEnabled({{f->Menu_Transfer, true}, {f->tbBtn_Upload, true}}, "local tree, logged in");

    // At the top level nothing in the list counts as selected.
    f->ChangeLocalFolder("\\");
    clickRow(f->lWin, rowOf(f->lWin, "Desktop"));
    EXPECT_EQ(f->lWin->selectedRows().size(), 1);
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
    FileListView *r = f->rWin;
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
    EXPECT_TRUE(f->rPanelSplit->handle(1)->property("marked").toBool());
    EXPECT_FALSE(f->lPanelSplit->handle(1)->property("marked").toBool());

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
    EXPECT_EQ(f->lWin->viewStyle(), FileListView::Details);
    EXPECT_TRUE(f->Menu_ViewList->isChecked());
    EXPECT_FALSE(f->Menu_ViewDetails->isChecked());
    clickRow(r, rowOf(r, "readme.txt"));
    EXPECT_TRUE(r->iconView()->hasFocus());
    expectEnabled({{f->Menu_Rename, true}}, "host file in list style");

    clickNode(f->RPathTree, f->RPathTree->currentItem());
    ASSERT_TRUE(f->RPathTree->hasFocus());
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
    focusOn(f->logwin);
    EXPECT_EQ(f->lWin->detailsView()->focusPolicy(), Qt::StrongFocus);
    EXPECT_EQ(f->LPathTree->focusPolicy(), Qt::StrongFocus);
    EXPECT_EQ(f->rWin->detailsView()->focusPolicy(), Qt::ClickFocus);
    EXPECT_EQ(f->RPathTree->focusPolicy(), Qt::ClickFocus);
    EXPECT_EQ(f->TaskView->focusPolicy(), Qt::ClickFocus);
    f->setMainSessionState(true, 1);
    EXPECT_EQ(f->rWin->detailsView()->focusPolicy(), Qt::StrongFocus);
    EXPECT_EQ(f->RPathTree->focusPolicy(), Qt::StrongFocus);
    f->SetGUI(f->Menu_ViewTask);
    EXPECT_EQ(f->lWin->detailsView()->focusPolicy(), Qt::ClickFocus);
    EXPECT_EQ(f->TaskView->focusPolicy(), Qt::StrongFocus);
    EXPECT_EQ(f->QueueView->focusPolicy(), Qt::StrongFocus);
    // Outside double view the host splitter loses its mark.
    EXPECT_FALSE(f->rPanelSplit->handle(1)->property("marked").toBool());
}

TEST(UpdateInterface, KillButtonNamesTheFocusedTaskList)
{
    Fixture f;
    f->SetGUI(f->Menu_ViewTask);
    // Models as the engine hands them over, replacing the window's empty ones.
    auto *tasks = new QStandardItemModel(0, 1, f.form.get());
    auto *queue = new QStandardItemModel(0, 1, f.form.get());
    f->setTaskModels(tasks, queue);
    tasks->appendRow(new QStandardItem("00: idle"));
    queue->appendRow(new QStandardItem("Download: /pub/a"));

    focusOn(f->TaskView);
    EXPECT_FALSE(f->Btn_TaskKill->isEnabled());
    EXPECT_EQ(f->Btn_TaskKill->text(), "&Kill Selected Tasks");
    QTest::mouseClick(f->TaskView->viewport(),
                      Qt::LeftButton,
                      {},
                      f->TaskView->visualRect(tasks->index(0, 0)).center());
    EXPECT_TRUE(f->Btn_TaskKill->isEnabled());
    EXPECT_EQ(f->Btn_TaskKill->text(), "&Kill Selected Tasks");

    QTest::mouseClick(f->QueueView->viewport(),
                      Qt::LeftButton,
                      {},
                      f->QueueView->visualRect(queue->index(0, 0)).center());
    EXPECT_TRUE(f->Btn_TaskKill->isEnabled());
    EXPECT_EQ(f->Btn_TaskKill->text(), "&Kill Selected Actions");

    QTest::mouseClick(f->TaskView->viewport(),
                      Qt::LeftButton,
                      {},
                      f->TaskView->visualRect(tasks->index(0, 0)).center());
    EXPECT_EQ(f->Btn_TaskKill->text(), "&Kill Selected Tasks");
    focusOn(f->logwin);
    EXPECT_FALSE(f->Btn_TaskKill->isEnabled());
    EXPECT_EQ(f->Btn_TaskKill->text(), "&Kill Selected Tasks");
}

TEST(UpdateInterface, SessionExtrasAndToolbars)
{
    Fixture f;
    clickRow(f->lWin, 0);
    f->setLoginInfoLineCount(3);
    EXPECT_TRUE(f->Menu_ShowLoginInfo->isEnabled());
    f->setLoginInfoLineCount(0);
    EXPECT_FALSE(f->Menu_ShowLoginInfo->isEnabled());
    f->setReconnectCountdown(12);
    EXPECT_TRUE(f->tbBtn_Stop->isEnabled());
    f->setReconnectCountdown(0);
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
    clickRow(f->lWin, rowOf(f->lWin, "a.txt"));
    EXPECT_TRUE(f->tbBtn_Delete->isEnabled());
    f->TB_Online->setEnabled(false);
    focusOn(f->logwin);
    EXPECT_FALSE(f->Menu_Delete->isEnabled());
    EXPECT_TRUE(f->tbBtn_Delete->isEnabled());
}

} // namespace
