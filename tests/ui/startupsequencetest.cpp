// The program's start and end around the main window: temporary folders, the layout and options
// records read at start and written at the end.
#include "programrun.h"
#include "windowdriver.h"

#include "settings/layoutrecord.h"
#include "settings/registrykeys.h"
#include "ui/taskpanel.h"

#include <QSplitter>
#include <QToolBar>

namespace {

QList<int> columns(FileListView *list)
{
    return {list->columnWidth(0), list->columnWidth(1), list->columnWidth(2), list->columnWidth(3)};
}

// A home of its own (without a Desktop folder) and a temporary folder of its own.
struct StartupSequenceTest : ::testing::Test
{
    ProgramHome home;
    QString registryFile() const { return home.registryFile(); }
    QString tempFolder() const { return home.path() + "/tmp"; }
    // What the file holds now, read by a store of its own.
    std::optional<QString> stored(const QString &value = RegistryKeys::screenValue()) const
    {
        Registry registry(registryFile());
        if (!registry.openKey(RegistryKeys::setup(), false))
            return std::nullopt;
        return registry.readString(value);
    }
};

} // namespace

TEST_F(StartupSequenceTest, FirstStartMakesTheFoldersAndWritesTheDefaultRecordsAtTheEnd)
{
    ProgramRun run(registryFile());
    ASSERT_TRUE(run.start()) << run.startup->terminationMessage().toStdString();
    EXPECT_FALSE(run.splash.isVisible());
    // The temporary folders live below TMPDIR.
    const QString base = QDir(tempFolder()).filePath("^ovFTP");
    const QString session = run.sessionFolder();
    EXPECT_TRUE(session.startsWith(base + '/'));
    EXPECT_EQ(QDir(session).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 3);
    // Nothing is written before the program ends.
    EXPECT_FALSE(stored().has_value());
    // A layout pass over the panes (as taking a picture of the window under X11 does) gives
    // their splitters sizes that nobody chose; those stay out of the record.
    ASSERT_FALSE(run.window->taskPanel()->isVisible());
    for (QSplitter *splitter : {run.window->localPane()->lPanelSplit(),
                                run.window->taskPanel()->tasksplitter(),
                                run.window->winSplit}) {
        splitter->resize(200, 300);
        splitter->setSizes({80, 218});
    }
    // The site store goes first; when it fails the rest is still written.
    bool layoutWrittenBefore = true;
    run.startup->saveSiteStore = [&](QString *error) {
        layoutWrittenBefore = stored().has_value();
        *error = "disk full";
        return false;
    };
    run.close();
    EXPECT_FALSE(layoutWrittenBefore);
    EXPECT_EQ(run.startup->shutDownErrors(),
              QStringList{"The sites could not be saved: disk full"});
    // A first start shows the double view, and the record says so.
    LayoutRecord first = LayoutRecord::defaults();
    first.viewMode = LayoutRecord::DoubleView;
    Registry reread(registryFile());
    const LayoutRecord saved = LayoutRecord::load(reread);
    first.ViewLayout = saved.ViewLayout; // the double view's sizes are those the pass left
    EXPECT_EQ(saved.toRecord(), first.toRecord());
    EXPECT_EQ(stored(RegistryKeys::setupValue()), Options::defaults().toRecord());
    // The session folder went with everything in it; the base folder stays.
    EXPECT_FALSE(QFileInfo::exists(session));
    EXPECT_TRUE(QFileInfo(base).isDir());
}

TEST_F(StartupSequenceTest, ASavedLayoutComesBackAfterARestart)
{
    const QStringList bookmarks{"a-tmp\rZ:\\tmp\\", "b-home\rZ:\\home\\"};
    QString written;
    {
        ProgramRun run(registryFile());
        ASSERT_TRUE(run.start());
        TForm1 *form = run.window.get();
        // The user arranges the window: double view, moved and resized,
        // other columns and styles, a font, no captions, bookmarks, toolbars moved and hidden.
        form->Menu_ViewDouble->trigger();
        form->resize(720, 520);
        form->move(40, 30);
        ASSERT_TRUE(QTest::qWaitFor([form] { return form->size() == QSize(720, 520); }, 2000));
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
        written = stored().value_or(QString());
    }
    ProgramRun again(registryFile());
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
    // clang-format off
    struct Check { const char *what; QVariant shown, saved; };
    for (const Check &c : {Check{"mode", form->interfaceMode(), TForm1::DoubleView},
                           Check{"size", form->size(), QSize(720, 520)},
                           Check{"position", form->pos(), QPoint(40, 30)},
                           Check{"local date column at least as wide", form->localPane()->lWin()->columnWidth(3) >= 70, true},
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
    // Nothing changed in this run: the same record is written again.
    again.close();
    EXPECT_EQ(stored(), written);
}

TEST_F(StartupSequenceTest, AnEndBeforeTheStartCompletedOrWithoutATemporaryFolderWritesNothing)
{
    LayoutRecord earlier;
    earlier.width = 800;
    {
        Registry registry(registryFile());
        ASSERT_TRUE(earlier.save(registry));
    }
    const QByteArray before = ovtest::readFile(registryFile());
    QString session;
    {
        ProgramRun run(registryFile());
        ASSERT_TRUE(run.startup->createTemporaryFolders());
        run.startup->start();
        session = run.sessionFolder();
        // The window closes before the start-up timer's first tick.
        run.close();
        ovtest::spinFor(50);
        EXPECT_FALSE(run.startup->startupCompleted());
        EXPECT_FALSE(run.window->isVisible());
    }
    EXPECT_EQ(ovtest::readFile(registryFile()), before);
    EXPECT_TRUE(QFileInfo(session).isDir());

    // A temporary folder below a plain file: no folder can be made there.
    ASSERT_TRUE(ovtest::writeFile(home.path() + "/blocker", ""));
    const QString temp = home.path() + "/blocker/tmp";
    ProgramRun run(registryFile());
    EXPECT_FALSE(run.startup->createTemporaryFolders(temp));
    EXPECT_TRUE(run.startup->terminationMessage().startsWith(
            "Orvane FTP will terminate because it cannot create temporary folder : " + temp
            + "/^ovFTP"));
    run.close();
    EXPECT_EQ(ovtest::readFile(registryFile()), before);
}
