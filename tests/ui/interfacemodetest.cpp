#include "formdriver.h"
#include "ui/hostpane.h"
#include "ui/localpane.h"
#include "ui/taskpanel.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QSplitter>
#include <QToolBar>

namespace {

QList<int> columns(FileListView *list)
{
    return {list->columnWidth(0), list->columnWidth(1), list->columnWidth(2), list->columnWidth(3)};
}

void setColumns(FileListView *list, const QList<int> &widths)
{
    for (int i = 0; i < 4; ++i)
        list->setColumnWidth(i, widths.at(i));
}

void clickToolButton(QToolBar *bar, QAction *action)
{
    QWidget *button = bar->widgetForAction(action);
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
}

TEST(InterfaceMode, OpensWithTheDefaultLayout)
{
    auto form = showForm();
    EXPECT_EQ(form->size(), QSize(640, 452));
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE((form->geometry().center() - screenCentre).manhattanLength(), 4);
    EXPECT_EQ(form->interfaceMode(), TForm1::DoubleView);
    EXPECT_TRUE(form->tbBtn_iDouble->isChecked());
    EXPECT_TRUE(form->Menu_ViewDouble->isChecked());
    EXPECT_EQ(form->localPane()->lWin()->viewStyle(), FileListView::Details);
    EXPECT_EQ(form->hostPane()->rWin()->viewStyle(), FileListView::Details);
    EXPECT_EQ(columns(form->localPane()->lWin()), QList<int>({120, 59, 61, 54}));
    EXPECT_EQ(columns(form->hostPane()->rWin()), QList<int>({120, 59, 62, 54}));
    EXPECT_EQ(form->topwinspanel->sizes().at(1), 314);
    for (QWidget *view : {static_cast<QWidget *>(form->localPane()->lWin()->detailsView()),
                          static_cast<QWidget *>(form->hostPane()->RPathTree()),
                          static_cast<QWidget *>(form->taskPanel()->TaskView())}) {
        EXPECT_EQ(view->font().family(), "MS Sans Serif");
        EXPECT_EQ(view->font().pointSize(), 8);
    }
    EXPECT_TRUE(form->hostPane()->RPanelCaption()->isVisible());
    EXPECT_EQ(form->hostPane()->RPanelCaption()->text(), "Not connected");
    EXPECT_FALSE(form->hostPane()->rpanel2()->isVisible());
    EXPECT_EQ(form->statPanels[0]->text(), "Tasks: 0 of 0");
    EXPECT_EQ(form->statPanels[1]->text(), "Queue Size: 0");
    // All toolbar buttons but the first two start disabled.
    EXPECT_TRUE(form->tbBtn_SiteManager->isEnabled());
    EXPECT_TRUE(form->tbBtn_Quick->isEnabled());
    EXPECT_FALSE(form->tbBtn_Stop->isEnabled());
}

TEST(InterfaceMode, EachModeKeepsItsOwnSizes)
{
    auto form = showForm();
    FileListView *r = form->hostPane()->rWin();
    // Offline the host tree is hidden: switching modes keeps the table as it is.
    form->Menu_ViewSingle->trigger();
    form->Menu_ViewDouble->trigger();
    EXPECT_EQ(form->ViewLayout[0], 208);
    EXPECT_EQ(form->ViewLayout[6], 20);
    form->hostPane()->setShown(true);
    // The user drags the host tree's splitter; what the panel's height allows is kept.
    form->hostPane()->rPanelSplit()->setSizes({45, 400});
    const int doubleTree = form->hostPane()->rPanelSplit()->sizes().at(0);
    ASSERT_NE(doubleTree, 20);

    clickToolButton(form->TB_Main, form->tbBtn_iSingle);
    EXPECT_EQ(form->interfaceMode(), TForm1::SingleView);
    EXPECT_TRUE(form->Menu_ViewSingle->isChecked());
    EXPECT_TRUE(form->localPane()->isHidden());
    EXPECT_TRUE(form->taskPanel()->isHidden());
    EXPECT_EQ(form->hostPane()->rPanelSplit()->orientation(), Qt::Horizontal);
    EXPECT_EQ(form->ViewLayout[6], doubleTree);
    EXPECT_EQ(form->hostPane()->rPanelSplit()->sizes().at(0), 208);
    EXPECT_EQ(columns(r), QList<int>({161, 65, 121, 54}));
    // The user resizes the single view.
    form->hostPane()->rPanelSplit()->setSizes({150, 400});
    setColumns(r, {170, 40, 90, 80});

    QTest::keyClick(form.get(), Qt::Key_F7);
    EXPECT_EQ(form->interfaceMode(), TForm1::DoubleView);
    EXPECT_TRUE(form->tbBtn_iDouble->isChecked());
    EXPECT_EQ(form->hostPane()->rPanelSplit()->orientation(), Qt::Vertical);
    EXPECT_EQ(columns(r), QList<int>({120, 59, 62, 54}));
    EXPECT_EQ(form->hostPane()->rPanelSplit()->sizes().at(0), doubleTree);
    EXPECT_EQ(form->ViewLayout[0], 150);
    EXPECT_EQ(form->ViewLayout[1], 170);
    // ...and the double view.
    form->topwinspanel->setSizes({0, 250, 387});
    form->hostPane()->rPanelSplit()->setSizes({doubleTree + 10, 400});
    const int doubleTree2 = form->hostPane()->rPanelSplit()->sizes().at(0);
    ASSERT_NE(doubleTree2, doubleTree);
    setColumns(r, {90, 50, 70, 60});

    form->Menu_ViewSingle->trigger();
    EXPECT_EQ(form->interfaceMode(), TForm1::SingleView);
    EXPECT_EQ(form->hostPane()->rPanelSplit()->sizes().at(0), 150);
    EXPECT_EQ(columns(r), QList<int>({170, 40, 90, 80}));

    QTest::keyClick(form.get(), Qt::Key_F8);
    EXPECT_EQ(form->interfaceMode(), TForm1::TaskViewMode);
    EXPECT_TRUE(form->tbBtn_iTask->isChecked());
    EXPECT_TRUE(form->localPane()->isHidden());
    EXPECT_FALSE(form->taskPanel()->isHidden());
    EXPECT_EQ(form->topwinspanel->sizes().at(0), 253);
    EXPECT_EQ(columns(r), QList<int>({155, 59, 88, 59}));

    clickToolButton(form->TB_Main, form->tbBtn_iDouble);
    EXPECT_EQ(form->topwinspanel->sizes().at(1), 250);
    EXPECT_EQ(form->hostPane()->rPanelSplit()->sizes().at(0), doubleTree2);
    EXPECT_EQ(columns(r), QList<int>({90, 50, 70, 60}));
}

TEST(InterfaceMode, MenusCarryTheirCaptionsAndKeys)
{
    auto form = showForm();
    QStringList titles;
    for (QAction *menu : form->menuBar()->actions())
        titles << menu->text();
    EXPECT_EQ(titles, QStringList({"&File", "&Session", "&View", "&Help"}));

    struct Item
    {
        QAction *action;
        const char *caption;
        const char *key;
    };
    const Item items[] = {
            {form->Menu_Setup, "&Setup", "Alt+1"},
            {form->Menu_SiteManager, "&Site Manager", "Alt+2"},
            {form->Menu_QuickConnect, "&Quick Connect", "Alt+3"},
            {form->Menu_Exit, "&Exit", "Ctrl+Q"},
            {form->Menu_Open, "&Open", "Return"},
            {form->Menu_View, "&View", "Ctrl+V"},
            {form->Menu_Transfer, "&Transfer", "Ctrl+T"},
            {form->Menu_NewFolder, "&New Folder", "Ins"},
            {form->Menu_Delete, "D&elete", "Del"},
            {form->Menu_Rename, "&Rename", "F2"},
            {form->Menu_Reload, "Re&load", "F5"},
            {form->Menu_ChangeFolder, "&Change Folder", "Ctrl+D"},
            {form->Menu_Buffer, "&Buffer", "Ctrl+B"},
            {form->Menu_Disconnect, "&Disconnect", "Ctrl+L"},
            {form->Menu_ViewSingle, "&Single View", "F6"},
            {form->Menu_ViewDouble, "Do&uble View", "F7"},
            {form->Menu_ViewTask, "&Task View", "F8"},
            {form->Menu_ViewLarge, "Lar&ge Icons", "Shift+G"},
            {form->Menu_ViewSmall, "S&mall Icons", "Shift+S"},
            {form->Menu_ViewList, "&List", "Shift+L"},
            {form->Menu_ViewDetails, "&Details", "Shift+D"},
            {form->Menu_ViewBookmarks, "&Bookmarks", "Shift+B"},
            {form->Menu_ShowLoginInfo, "&LogIn Info", "Shift+I"},
            {form->Menu_About, "&About...", ""},
    };
    // Every item sits in a menu of the menu bar.
    QList<QAction *> reachable;
    std::function<void(QMenu *)> walk = [&](QMenu *menu) {
        for (QAction *action : menu->actions()) {
            reachable << action;
            if (action->menu())
                walk(action->menu());
        }
    };
    for (QAction *menu : form->menuBar()->actions())
        walk(menu->menu());
    for (const Item &item : items) {
        EXPECT_EQ(item.action->text(), item.caption);
        EXPECT_EQ(item.action->shortcut().toString(), item.key) << item.caption;
        EXPECT_TRUE(reachable.contains(item.action)) << item.caption;
    }

    // The pop-up of the local list copies the menu items' states and hides Properties.
    clickRow(form->localPane()->lWin(), 0);
    form->LPopUp->popup(form->localPane()->lWin()->mapToGlobal(QPoint(10, 10)));
    const QList<QAction *> popup = form->LPopUp->actions();
    ASSERT_EQ(popup.size(), 6);
    EXPECT_EQ(popup.at(0)->text(), "&Open");
    EXPECT_EQ(form->LPopUp->defaultAction(), popup.at(0));
    EXPECT_EQ(popup.at(2)->text(), "&Upload");
    EXPECT_TRUE(popup.at(0)->isEnabled());
    EXPECT_EQ(popup.at(4)->isEnabled(), form->Menu_Rename->isEnabled());
    EXPECT_FALSE(popup.at(5)->isVisible());
    EXPECT_FALSE(popup.at(5)->isEnabled());
    form->LPopUp->hide();
}

TEST(InterfaceMode, StatusBarClickChangesTheTaskMaximum)
{
    auto form = showForm();
    QLabel *panel = form->statPanels[0];
    QTest::mouseClick(panel, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(form->taskPanel()->Tasks()->value(), 2);
    EXPECT_EQ(form->taskPanel()->TaskUpDown()->value(), 2);
    EXPECT_EQ(form->taskPanel()->TasksLabel()->text(), "02");
    QTest::mouseClick(panel, Qt::RightButton, {}, QPoint(5, 5));
    QTest::mouseClick(panel, Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_EQ(form->taskPanel()->Tasks()->value(), 1);
    EXPECT_EQ(form->taskPanel()->TasksLabel()->text(), "01");
    form->taskPanel()->TaskUpDown()->setValue(25);
    EXPECT_EQ(form->taskPanel()->Tasks()->value(), 25);
    QTest::mouseClick(panel, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(form->taskPanel()->TasksLabel()->text(), "25");
}

} // namespace
