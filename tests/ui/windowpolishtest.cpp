// The window as a new user meets it: the view a first start opens in, a layout that survives a
// restart, a window that fits the screen it opens on at any scale factor, commands that follow
// the selected row, list columns that show their texts and sizes sorted by number.
#include "programrun.h"
#include "windowdriver.h"

#include "settings/layoutrecord.h"
#include "settings/registrykeys.h"
#include "ui/taskpanel.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QScreen>
#include <QSplitter>
#include <QToolBar>

namespace {

int part(const QSplitter *splitter, int index)
{
    return splitter->sizes().value(index);
}

// Drags the handle after part index of a splitter with the mouse, so that the part gets size.
void dragSplitter(QSplitter *splitter, int index, int size)
{
    QSplitterHandle *handle = splitter->handle(index + 1);
    const int delta = size - part(splitter, index);
    const QPoint from = handle->rect().center();
    const QPoint to
            = from
              + (splitter->orientation() == Qt::Horizontal ? QPoint(delta, 0) : QPoint(0, delta));
    QTest::mousePress(handle, Qt::LeftButton, {}, from);
    QTest::mouseMove(handle, to);
    QTest::mouseRelease(handle, Qt::LeftButton, {}, to);
}

std::string text(const QRect &r)
{
    return QString::asprintf("%d,%d %dx%d", r.x(), r.y(), r.width(), r.height()).toStdString();
}

} // namespace

// A first start opens in the double view; what the user arranges then (every splitter in both
// views, size and place, columns, styles, font, captions, bookmarks, toolbars) comes back after a
// restart, and a run that changes nothing writes the same record again.
TEST(WindowLayout, FirstStartInTheDoubleViewThenEverythingArrangedComesBackAfterARestart)
{
    ProgramHome home;
    const QStringList bookmarks{"a-tmp\rZ:\\tmp\\", "b-home\rZ:\\home\\"};
    const auto stored = [&] {
        Registry registry(home.registryFile());
        return registry.openKey(RegistryKeys::setup(), false)
                       ? registry.readString(RegistryKeys::screenValue())
                       : std::nullopt;
    };
    int log = 0, localPane = 0, localTree = 0, taskPanel = 0, taskView = 0;
    std::optional<QString> written;
    {
        ProgramRun run(home.registryFile());
        ASSERT_TRUE(run.start());
        TForm1 *form = run.window.get();
        EXPECT_EQ(form->interfaceMode(), TForm1::DoubleView);
        EXPECT_TRUE(form->localPane()->isVisible() && form->Menu_ViewDouble->isChecked());
        form->resize(680, 480);
        ASSERT_TRUE(QTest::qWaitFor([form] { return form->size() == QSize(680, 480); }, 2000));
        dragSplitter(form->winSplit, 0, part(form->winSplit, 0) + part(form->winSplit, 1) - 150);
        log = part(form->winSplit, 1);
        // The log keeps its height when the window grows.
        form->resize(720, 520);
        ASSERT_TRUE(QTest::qWaitFor([form] { return form->size() == QSize(720, 520); }, 2000));
        EXPECT_EQ(part(form->winSplit, 1), log);
        form->move(40, 30);
        dragSplitter(form->topwinspanel, 1, 300);
        dragSplitter(form->localPane()->lPanelSplit(), 0, 140);
        localPane = part(form->topwinspanel, 1);
        localTree = part(form->localPane()->lPanelSplit(), 0);
        form->Menu_ViewTask->trigger();
        dragSplitter(form->topwinspanel, 0, 230);
        dragSplitter(form->taskPanel()->tasksplitter(), 0, 110);
        taskPanel = part(form->topwinspanel, 0);
        taskView = part(form->taskPanel()->tasksplitter(), 0);
        form->Menu_ViewDouble->trigger();
        for (int size : {log, localPane, localTree, taskPanel, taskView})
            ASSERT_GT(size, 70); // the drags moved every handle away from the defaults
        form->localPane()->lWin()->setColumnWidth(0, 150);
        form->localPane()->lWin()->setColumnWidth(3, 70);
        form->hostPane()->rWin()->setColumnWidth(1, 80);
        focusOn(form->localPane()->lWin()->detailsView());
        form->Menu_ViewSmall->trigger();
        form->hostPane()->rWin()->setViewStyle(FileListView::List);
        form->ApplyFont(LayoutFont::fromString("255:-15:DejaVu Sans:0:11")); // red
        form->Menu_ViewLabels->trigger();
        form->LocalBookmarks = bookmarks;
        form->Menu_ViewGeneralCtrl->trigger();
        form->removeToolBar(form->TB_Main);
        form->addToolBar(Qt::LeftToolBarArea, form->TB_Main);
        form->TB_Main->show();
        run.close();
        ASSERT_TRUE(run.startup->shutDownErrors().isEmpty());
        written = stored();
    }
    ProgramRun again(home.registryFile());
    ASSERT_TRUE(again.start());
    TForm1 *form = again.window.get();
    // This home has no Desktop folder: the local pane shows the home folder.
    EXPECT_EQ(LocalToNative(form->currentLocalFolder()), QDir(home.path()).absolutePath() + '/');
    // In double view the local pane takes the focus.
    EXPECT_TRUE(QTest::qWaitFor(
            [form] {
                return form->focusWidget()
                       && form->localPane()->lWin()->isAncestorOf(form->focusWidget());
            },
            2000));
    // Once filled, the local list fits its date column: at least as wide as it was left.
    FileListView *localList = form->localPane()->lWin();
    EXPECT_TRUE(QTest::qWaitFor([localList] { return localList->columnWidth(3) >= 70; }, 2000))
            << localList->columnWidth(3) << " wide; " << written.value_or(QString()).toStdString();
    const auto columns = [](FileListView *list) {
        return QList<int>{list->columnWidth(0),
                          list->columnWidth(1),
                          list->columnWidth(2),
                          list->columnWidth(3)};
    };
    // clang-format off
    struct Check { const char *what; QVariant shown, saved; };
    for (const Check &c : {Check{"mode", form->interfaceMode(), TForm1::DoubleView},
                           Check{"size", form->size(), QSize(720, 520)},
                           Check{"position", form->pos(), QPoint(40, 30)},
                           Check{"log", part(form->winSplit, 1), log},
                           Check{"local pane", part(form->topwinspanel, 1), localPane},
                           Check{"local tree", part(form->localPane()->lPanelSplit(), 0), localTree},
                           Check{"host columns", QVariant::fromValue(columns(form->hostPane()->rWin())), QVariant::fromValue(QList<int>({120, 80, 62, 54}))},
                           Check{"local style", form->localPane()->lWin()->viewStyle(), FileListView::SmallIcons},
                           Check{"host style", form->hostPane()->rWin()->viewStyle(), FileListView::List},
                           Check{"labels", form->Menu_ViewLabels->isChecked(), false},
                           Check{"button style", form->TB_Online->toolButtonStyle(), Qt::ToolButtonIconOnly},
                           Check{"font", form->taskPanel()->TaskView()->font().family(), "DejaVu Sans"},
                           Check{"font size", form->taskPanel()->TaskView()->font().pointSize(), 11},
                           Check{"colour", form->localPane()->lWin()->detailsView()->palette().color(QPalette::Text), QColor(255, 0, 0)},
                           Check{"bookmarks", form->LocalBookmarks, bookmarks},
                           Check{"toolbar area", form->toolBarArea(form->TB_Main), Qt::LeftToolBarArea},
                           Check{"hidden toolbar", form->TB_Online->isVisible(), false},
                           Check{"its menu item", form->Menu_ViewGeneralCtrl->isChecked(), false}})
        EXPECT_EQ(c.shown, c.saved) << c.what;
    // clang-format on
    form->Menu_ViewTask->trigger();
    EXPECT_EQ(part(form->topwinspanel, 0), taskPanel);
    EXPECT_EQ(part(form->taskPanel()->tasksplitter(), 0), taskView);
    EXPECT_EQ(part(form->winSplit, 1), log);
    // Back as it was: the same record is written again.
    form->Menu_ViewDouble->trigger();
    again.close();
    EXPECT_EQ(stored(), written);
}

// Run at scale factor 1 and 2 (QT_SCALE_FACTOR, a ctest entry of its own): a layout saved on a
// larger screen, or placed off this one, and the first start's 640 x 452 all fit.
TEST(WindowLayout, WindowFitsTheScreenItOpensOn)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    auto fits = [area](const TForm1 *form) {
        return area.contains(form->frameGeometry());
    };
    {
        ProgramHome home;
        ProgramRun run(home.registryFile());
        ASSERT_TRUE(run.start());
        EXPECT_TRUE(fits(run.window.get()))
                << text(run.window->frameGeometry()) << " on " << text(area);
    }
    for (const QPoint place : {QPoint(LayoutRecord::Centred, -1), QPoint(3000, 2500)}) {
        ProgramHome home;
        LayoutRecord layout;
        layout.width = area.width() + 400;
        layout.height = area.height() + 300;
        layout.left = place.x();
        layout.top = place.y();
        layout.viewMode = LayoutRecord::DoubleView;
        {
            Registry registry(home.registryFile());
            ASSERT_TRUE(layout.save(registry));
        }
        ProgramRun run(home.registryFile());
        ASSERT_TRUE(run.start());
        EXPECT_TRUE(fits(run.window.get())) << text(run.window->frameGeometry()) << " on "
                                            << text(area) << " from " << place.x();
    }
}

TEST(WindowCommands, AfterConnectingAndAfterAQuestionTheCommandsFollowTheSelectedRow)
{
    ConnectedWindow w;
    ASSERT_TRUE(w.connect({"notes.txt", "pub/"}, {"notes.txt", "pub"}));
    TForm1 &form = *w.form;
    FileListView *rWin = w.hostList();
    // The first row shows as selected: the commands act on it without a click; after a
    // question closes, the same.
    for (const bool asked : {false, true}) {
        if (asked) {
            clickRow(rWin, rowOf(rWin, "notes.txt"));
            UserScript().press(QMessageBox::No).trigger(form.Menu_Delete);
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return form.tbBtn_Download->isEnabled(); }, 5000));
        EXPECT_EQ(form.focusWidget(), rWin->detailsView());
        EXPECT_EQ(rWin->selectedRows(), QList<int>{asked ? rowOf(rWin, "notes.txt") : 0});
        EXPECT_TRUE(form.tbBtn_Open->isEnabled() && form.tbBtn_Delete->isEnabled()
                    && form.Menu_Rename->isEnabled());
    }
}

TEST(WindowColumns, SizesSortByNumberAndColumnsShowTheirTextsInFull)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    // Sizes on both sides of 98 MB (100,000 KB, where the Size text grows a digit group),
    // written as sparse files.
    const QList<QPair<QString, qint64>> files = {{"e.txt", 3LL * 1024 * 1024 * 1024},
                                                 {"b.txt", 99999LL * 1024},
                                                 {"d.txt", 100352LL * 1024},
                                                 {"a.txt", 512},
                                                 {"c.txt", 100000LL * 1024}};
    for (const auto &[name, size] : files)
        ASSERT_TRUE(ovtest::writeFile(folder.filePath(name), {})
                    && QFile::resize(folder.filePath(name), size));
    auto form = showForm();
    form->resize(700, 500);
    FileListView *lWin = form->localPane()->lWin();
    form->ChangeLocalFolder(NativeToLocal(folder.path() + QLatin1Char('/')));
    ASSERT_TRUE(QTest::qWaitFor([&] { return lWin->rowCount() == 6; }, 5000));

    QHeaderView *header = lWin->detailsView()->header();
    QTest::mouseClick(header->viewport(),
                      Qt::LeftButton,
                      {},
                      QPoint(header->sectionViewportPosition(FileListView::SizeColumn) + 5,
                             header->height() / 2));
    EXPECT_EQ(captions(lWin), QStringList({"..", "a.txt", "b.txt", "c.txt", "d.txt", "e.txt"}));

    // Every text fits its column: no size, type or date is cut short.
    ovtest::spinFor(50);
    const QFontMetrics metrics(lWin->detailsView()->font());
    for (int column :
         {FileListView::SizeColumn, FileListView::TypeColumn, FileListView::ModifiedColumn}) {
        for (int row = 0; row < lWin->rowCount(); ++row) {
            const QString shown = lWin->text(row, column);
            EXPECT_GT(lWin->columnWidth(column), metrics.horizontalAdvance(shown))
                    << shown.toStdString();
        }
    }
    // The name column takes the rest of the list's width, and grows with the list.
    QWidget *viewport = lWin->detailsView()->viewport();
    auto columnsWidth = [lWin] {
        int sum = 0;
        for (int column = 0; column < 4; ++column)
            sum += lWin->columnWidth(column);
        return sum;
    };
    EXPECT_EQ(columnsWidth(), viewport->width());
    const int nameWidth = lWin->columnWidth(FileListView::NameColumn);
    const int viewportWidth = viewport->width();
    dragSplitter(form->topwinspanel, 1, part(form->topwinspanel, 1) + 150);
    ASSERT_TRUE(QTest::qWaitFor([&] { return viewport->width() > viewportWidth; }, 2000));
    EXPECT_EQ(lWin->columnWidth(FileListView::NameColumn) - nameWidth,
              viewport->width() - viewportWidth);
}
