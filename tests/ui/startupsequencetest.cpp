#include "formdriver.h"
#include "programrun.h"
#include "ui/hostpane.h"
#include "ui/localpane.h"
#include "ui/taskpanel.h"

#include "platform/localpath.h"
#include "settings/layoutrecord.h"
#include "settings/options.h"
#include "settings/registry.h"
#include "settings/registrykeys.h"
#include "support/eventwait.h"
#include "tasks/taskengine.h"
#include "ui/startupsequence.h"
#include "ui/tquick.h"
#include "ui/tsplash.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QScreen>
#include <QSignalSpy>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>

#include <memory>

namespace {

class StartupSequenceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_home.isValid());
        // A home of its own, without a Desktop folder, and a temporary folder of its own.
        for (const char *name : {"TMPDIR", "HOME"})
            m_saved.append({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
        ASSERT_TRUE(QDir(m_home.path()).mkdir(QStringLiteral("tmp")));
        qputenv("TMPDIR", QFile::encodeName(tempFolder()));
        qputenv("HOME", QFile::encodeName(m_home.path()));
    }

    void TearDown() override
    {
        for (const SavedVariable &variable : m_saved) {
            if (variable.set)
                qputenv(variable.name, variable.value);
            else
                qunsetenv(variable.name);
        }
    }

    QString registryFile() const { return m_home.filePath(QStringLiteral("registry.json")); }
    QString tempFolder() const { return m_home.filePath(QStringLiteral("tmp")); }

    // What the file holds now, read by a store of its own.
    std::optional<QString> stored(const QString &key, const QString &value) const
    {
        Registry registry(registryFile());
        if (!registry.openKey(key, false))
            return std::nullopt;
        return registry.readString(value);
    }

    bool toolbarsStored() const
    {
        Registry registry(registryFile());
        return registry.openKey(RegistryKeys::toolbars(), false)
               && registry.readBinary(RegistryKeys::toolbarsValue()).has_value();
    }

    struct SavedVariable
    {
        const char *name;
        QByteArray value;
        bool set;
    };

    QTemporaryDir m_home;
    QList<SavedVariable> m_saved;
};

QList<int> columns(FileListView *list)
{
    return {list->columnWidth(0), list->columnWidth(1), list->columnWidth(2), list->columnWidth(3)};
}

TEST_F(StartupSequenceTest, FirstStartGivesTheDefaultLayoutAndWritesTheDefaultRecords)
{
    ProgramRun run(registryFile());
    QSignalSpy finished(run.startup.get(), &StartupSequence::startupFinished);
    ASSERT_TRUE(run.start()) << run.startup->terminationMessage().toStdString();
    EXPECT_EQ(finished.count(), 1);
    TForm1 *form = run.window.get();

    EXPECT_EQ(form->size(), QSize(640, 452));
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE((form->geometry().center() - screenCentre).manhattanLength(), 4);
    EXPECT_EQ(form->interfaceMode(), TForm1::SingleView);
    EXPECT_TRUE(form->Menu_ViewSingle->isChecked());
    EXPECT_EQ(form->localPane()->lWin()->viewStyle(), FileListView::Details);
    EXPECT_EQ(form->hostPane()->rWin()->viewStyle(), FileListView::Details);
    EXPECT_EQ(columns(form->hostPane()->rWin()), QList<int>({161, 65, 121, 54}));
    EXPECT_EQ(form->hostPane()->RPathTree()->font().family(), "MS Sans Serif");
    EXPECT_EQ(form->hostPane()->RPathTree()->font().pointSize(), 8);
    EXPECT_TRUE(form->Menu_ViewLabels->isChecked());
    EXPECT_TRUE(form->LocalBookmarks.isEmpty());
    EXPECT_FALSE(run.splash.isVisible());

    // The temporary folders live below the temporary TMPDIR.
    const QString base = QDir(tempFolder()).filePath(QStringLiteral("^ovFTP"));
    EXPECT_EQ(run.baseFolder(), base + QLatin1Char('/'));
    const QString session = run.sessionFolder();
    EXPECT_TRUE(session.startsWith(base + QLatin1Char('/')));
    EXPECT_TRUE(QFileInfo(session).isDir());
    EXPECT_EQ(QDir(session).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 3);

    // Nothing is written before the program ends.
    EXPECT_FALSE(stored(RegistryKeys::setup(), RegistryKeys::screenValue()).has_value());
    // A layout pass over the panes the single view hides (as taking a picture of the window
    // under X11 does) gives them sizes that nobody chose; those stay out of the record.
    ASSERT_FALSE(form->localPane()->isVisible());
    for (QSplitter *splitter :
         {form->localPane()->lPanelSplit(), form->taskPanel()->tasksplitter()}) {
        splitter->resize(200, 300);
        splitter->setSizes({80, 218});
        ASSERT_GT(splitter->sizes().value(0), 40);
    }

    run.close();
    EXPECT_TRUE(run.startup->shutDownErrors().isEmpty())
            << run.startup->shutDownErrors().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(stored(RegistryKeys::setup(), RegistryKeys::screenValue()),
              LayoutRecord::defaultRecord());
    // The options as the Setup dialog keeps them (the extension list in its sorted order).
    EXPECT_EQ(stored(RegistryKeys::setup(), RegistryKeys::setupValue()),
              Options::defaults().toRecord());
    EXPECT_TRUE(toolbarsStored());
    // The session folder went with everything in it; the base folder stays.
    EXPECT_FALSE(QFileInfo::exists(session));
    EXPECT_TRUE(QFileInfo(base).isDir());
}

TEST_F(StartupSequenceTest, ASavedLayoutComesBackAfterARestart)
{
    const QString bookmarkA = QStringLiteral("b-home\rZ:\\home\\");
    const QString bookmarkB = QStringLiteral("a-tmp\rZ:\\tmp\\");
    QString written;
    {
        ProgramRun run(registryFile());
        ASSERT_TRUE(run.start());
        TForm1 *form = run.window.get();
        // The user arranges the window: double view, a wider local pane, other columns,
        // moved and resized, icon styles, a smaller font, no captions, and two bookmarks.
        form->Menu_ViewDouble->trigger();
        ASSERT_EQ(form->interfaceMode(), TForm1::DoubleView);
        form->resize(720, 520);
        form->move(40, 30);
        ASSERT_TRUE(QTest::qWaitFor([form] { return form->size() == QSize(720, 520); }, 2000));
        form->topwinspanel->setSizes({0, 260, 457});
        form->localPane()->lWin()->setColumnWidth(0, 150);
        form->localPane()->lWin()->setColumnWidth(3, 70);
        form->hostPane()->rWin()->setColumnWidth(1, 80);
        focusOn(form->localPane()->lWin()->detailsView());
        form->Menu_ViewSmall->trigger();
        focusOn(form->localPane()->LPathTree());
        ASSERT_EQ(form->localPane()->lWin()->viewStyle(), FileListView::SmallIcons);
        form->hostPane()->rWin()->setViewStyle(FileListView::List);
        LayoutFont font;
        font.face = QStringLiteral("DejaVu Sans");
        font.size = 11;
        font.height = -15;
        font.colour = 0x0000ff; // red
        form->ApplyFont(font);
        form->Menu_ViewLabels->trigger();
        ASSERT_FALSE(form->Menu_ViewLabels->isChecked());
        form->LocalBookmarks = QStringList{bookmarkB, bookmarkA};
        form->Menu_ViewGeneralCtrl->trigger();
        ASSERT_FALSE(form->TB_Online->isVisible());
        form->removeToolBar(form->TB_Main);
        form->addToolBar(Qt::LeftToolBarArea, form->TB_Main);
        form->TB_Main->show();
        run.close();
        ASSERT_TRUE(run.startup->shutDownErrors().isEmpty());
        written = stored(RegistryKeys::setup(), RegistryKeys::screenValue()).value_or(QString());
    }
    const LayoutRecord saved = LayoutRecord::fromRecord(written);
    EXPECT_EQ(saved.viewMode, LayoutRecord::DoubleView);
    EXPECT_EQ(saved.width, 720);
    EXPECT_EQ(saved.left, 40);
    EXPECT_EQ(saved.top, 30);
    EXPECT_EQ(saved.ViewLayout[5], 260);
    EXPECT_EQ(saved.lWinColumns[0], 150);
    EXPECT_EQ(saved.ViewLayout[8], 80);
    EXPECT_EQ(saved.lWinViewStyle, LayoutRecord::SmallIcons);
    EXPECT_EQ(saved.rWinViewStyle, LayoutRecord::List);
    EXPECT_FALSE(saved.labelsShown);
    EXPECT_EQ(saved.font.toString(), QStringLiteral("255:-15:DejaVu Sans:0:11"));
    EXPECT_EQ(saved.bookmarksText(), bookmarkB + QLatin1Char('\n') + bookmarkA);

    ProgramRun again(registryFile());
    ASSERT_TRUE(again.start());
    TForm1 *form = again.window.get();
    EXPECT_EQ(form->interfaceMode(), TForm1::DoubleView);
    // This home has no Desktop folder: the program starts anyway, the local pane shows the
    // home folder and the Desktop stands for the home folder.
    EXPECT_FALSE(QFileInfo::exists(m_home.filePath(QStringLiteral("Desktop"))));
    EXPECT_EQ(LocalToNative(form->currentLocalFolder()), QDir(m_home.path()).absolutePath() + '/');
    EXPECT_EQ(LocalToNative(QStringLiteral("Desktop\\")), QDir(m_home.path()).absolutePath() + '/');
    EXPECT_GT(form->localPane()->LPathTree()->topLevelItemCount(), 0);
    EXPECT_TRUE(form->tbBtn_iDouble->isChecked());
    // In double view the local pane takes the focus.
    EXPECT_TRUE(QTest::qWaitFor(
            [form] {
                QWidget *focus = form->focusWidget();
                return focus && form->localPane()->lWin()->isAncestorOf(focus);
            },
            2000));
    EXPECT_EQ(form->size(), QSize(720, 520));
    EXPECT_EQ(form->pos(), QPoint(40, 30));
    EXPECT_EQ(form->topwinspanel->sizes().value(1), 260);
    EXPECT_EQ(columns(form->localPane()->lWin()), QList<int>({150, 59, 61, 70}));
    EXPECT_EQ(columns(form->hostPane()->rWin()), QList<int>({120, 80, 62, 54}));
    EXPECT_EQ(form->localPane()->lWin()->viewStyle(), FileListView::SmallIcons);
    EXPECT_EQ(form->hostPane()->rWin()->viewStyle(), FileListView::List);
    EXPECT_FALSE(form->Menu_ViewLabels->isChecked());
    EXPECT_EQ(form->TB_Online->toolButtonStyle(), Qt::ToolButtonIconOnly);
    EXPECT_EQ(form->taskPanel()->TaskView()->font().family(), "DejaVu Sans");
    EXPECT_EQ(form->taskPanel()->TaskView()->font().pointSize(), 11);
    EXPECT_EQ(form->localPane()->lWin()->detailsView()->palette().color(QPalette::Text),
              QColor(255, 0, 0));
    EXPECT_EQ(form->viewFont(), saved.font);
    // Sorted on loading: "a-tmp" before "b-home".
    EXPECT_EQ(form->LocalBookmarks, QStringList({bookmarkB, bookmarkA}));
    EXPECT_EQ(form->toolBarArea(form->TB_Main), Qt::LeftToolBarArea);
    EXPECT_FALSE(form->TB_Online->isVisible());
    EXPECT_FALSE(form->Menu_ViewGeneralCtrl->isChecked());
    EXPECT_TRUE(form->Menu_ViewInterfaceCtrl->isChecked());

    // Nothing changed in this run: the same record is written again.
    again.close();
    EXPECT_EQ(stored(RegistryKeys::setup(), RegistryKeys::screenValue()), written);
}

TEST_F(StartupSequenceTest, AShutDownBeforeStartUpCompletedWritesNothing)
{
    // A layout from an earlier run, which must stay as it is.
    LayoutRecord earlier;
    earlier.width = 800;
    earlier.viewMode = LayoutRecord::TaskView;
    {
        Registry registry(registryFile());
        ASSERT_TRUE(earlier.save(registry));
    }
    const QByteArray before = [this] {
        QFile file(registryFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    ASSERT_FALSE(before.isEmpty());

    QString session;
    {
        ProgramRun run(registryFile());
        ASSERT_TRUE(run.startup->createTemporaryFolders());
        run.startup->start();
        session = run.sessionFolder();
        // The window closes before the start-up timer's first tick.
        run.close();
        EXPECT_FALSE(run.startup->startupCompleted());
        ovtest::spinFor(50);
        EXPECT_FALSE(run.startup->startupCompleted());
        EXPECT_FALSE(run.window->isVisible());
    }
    QFile file(registryFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
    EXPECT_FALSE(stored(RegistryKeys::setup(), RegistryKeys::setupValue()).has_value());
    EXPECT_FALSE(toolbarsStored());
    EXPECT_TRUE(QFileInfo(session).isDir());
    EXPECT_FALSE(QFileInfo(session).isSymLink());
}

TEST_F(StartupSequenceTest, WithoutATemporaryFolderTheProgramEndsAndWritesNothing)
{
    // A temporary folder below a plain file: no folder can be made there.
    QFile blocker(m_home.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString temp = blocker.fileName() + QStringLiteral("/tmp");

    ProgramRun run(registryFile());
    EXPECT_FALSE(run.startup->createTemporaryFolders(temp));
    EXPECT_TRUE(run.startup->terminationMessage().startsWith(
            "Orvane FTP will terminate because it cannot create temporary folder : " + temp
            + "/^ovFTP"))
            << run.startup->terminationMessage().toStdString();
    run.close();
    EXPECT_FALSE(QFileInfo::exists(registryFile()));
}

TEST_F(StartupSequenceTest, LinksInTheSessionFolderGoWithoutTheirTargets)
{
    QTemporaryDir elsewhere;
    ASSERT_TRUE(elsewhere.isValid());
    const QString targetFolder = elsewhere.filePath(QStringLiteral("keep"));
    ASSERT_TRUE(QDir().mkpath(targetFolder + QStringLiteral("/inner")));
    const QString targetFile = elsewhere.filePath(QStringLiteral("keep.txt"));
    {
        QFile file(targetFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("precious");
    }

    ProgramRun run(registryFile());
    ASSERT_TRUE(run.start());
    const QString session = run.sessionFolder();
    const QString base = run.baseFolder();
    const QString dragDrop = LocalToNative(run.engine->tempFolders().dragDrop());
    // Links planted in the session folder and in a working folder, to a folder and to a file.
    ASSERT_TRUE(QFile::link(targetFolder, session + QStringLiteral("folder-link")));
    ASSERT_TRUE(QFile::link(targetFile, dragDrop + QStringLiteral("file-link")));
    ASSERT_TRUE(QFile::link(targetFolder, dragDrop + QStringLiteral("folder-link")));
    {
        QFile file(dragDrop + QStringLiteral("received.bin"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("data");
    }

    // The site store goes first; when it fails the rest is still written and removed.
    bool layoutWrittenBefore = true;
    run.startup->saveSiteStore = [&](QString *error) {
        layoutWrittenBefore
                = stored(RegistryKeys::setup(), RegistryKeys::screenValue()).has_value();
        *error = QStringLiteral("disk full");
        return false;
    };
    run.close();
    EXPECT_FALSE(layoutWrittenBefore);
    EXPECT_EQ(run.startup->shutDownErrors(),
              QStringList({QStringLiteral("The sites could not be saved: disk full")}));
    EXPECT_TRUE(stored(RegistryKeys::setup(), RegistryKeys::screenValue()).has_value());
    EXPECT_FALSE(QFileInfo::exists(session));
    EXPECT_FALSE(QFileInfo(session).isSymLink());
    EXPECT_TRUE(QFileInfo(base).isDir());
    EXPECT_TRUE(QFileInfo(targetFolder + QStringLiteral("/inner")).isDir());
    QFile kept(targetFile);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "precious");
}

TEST_F(StartupSequenceTest, TheOptionsChooseTheStartUpDialog)
{
    // Quick connect: the dialog opens once the window is up.
    {
        Options options;
        options.StartUpDialog = Options::QuickConnect;
        Registry registry(registryFile());
        ASSERT_TRUE(options.save(registry));
    }
    {
        ProgramRun run(registryFile());
        bool seenWithWindow = false;
        QTimer watcher;
        QElapsedTimer waited;
        waited.start();
        TForm1 *form = run.window.get();
        // The dialog is modal: answer it from a timer, whatever happens within five seconds.
        QObject::connect(&watcher, &QTimer::timeout, form, [&] {
            if (form->Quick->isVisible()) {
                seenWithWindow = form->isVisible() && run.startup->startupCompleted();
                form->Quick->reject();
            } else if (waited.elapsed() > 5000) {
                watcher.stop();
            }
        });
        watcher.start(10);
        ASSERT_TRUE(run.start());
        EXPECT_TRUE(ovtest::waitFor([&] { return seenWithWindow; }, 5000));
        watcher.stop();
        run.close();
    }

    // Site manager: its menu item is run.
    {
        Registry registry(registryFile());
        Options options = Options::load(registry);
        options.StartUpDialog = Options::SiteManager;
        ASSERT_TRUE(options.save(registry));
    }
    {
        ProgramRun run(registryFile());
        QSignalSpy siteManager(run.window->Menu_SiteManager, &QAction::triggered);
        QSignalSpy quick(run.window->Menu_QuickConnect, &QAction::triggered);
        ASSERT_TRUE(run.start());
        EXPECT_TRUE(ovtest::waitFor([&] { return siteManager.count() == 1; }, 2000));
        EXPECT_EQ(quick.count(), 0);
        run.close();
    }

    // Main screen: neither.
    {
        Registry registry(registryFile());
        Options options = Options::load(registry);
        options.StartUpDialog = Options::MainScreen;
        ASSERT_TRUE(options.save(registry));
    }
    ProgramRun run(registryFile());
    QSignalSpy siteManager(run.window->Menu_SiteManager, &QAction::triggered);
    QSignalSpy quick(run.window->Menu_QuickConnect, &QAction::triggered);
    ASSERT_TRUE(run.start());
    ovtest::spinFor(100);
    EXPECT_EQ(siteManager.count() + quick.count(), 0);
}

TEST_F(StartupSequenceTest, WindowStateCentringAndDamagedToolbarPositions)
{
    // Maximised, centred (the top field is then ignored), task view; toolbar positions that
    // cannot be read.
    LayoutRecord layout;
    layout.width = 600;
    layout.height = 400;
    layout.left = LayoutRecord::Centred;
    layout.top = 7;
    layout.windowState = LayoutRecord::Maximised;
    layout.viewMode = LayoutRecord::TaskView;
    {
        Registry registry(registryFile());
        ASSERT_TRUE(layout.save(registry));
        ASSERT_TRUE(LayoutRecord::saveToolbars(registry, QByteArray("not a toolbar state")));
    }
    ProgramRun run(registryFile());
    ASSERT_TRUE(run.start());
    TForm1 *form = run.window.get();
    EXPECT_TRUE(form->isMaximized());
    EXPECT_EQ(form->interfaceMode(), TForm1::TaskViewMode);
    // The toolbars stay where the window put them.
    EXPECT_EQ(form->toolBarArea(form->TB_Online), Qt::TopToolBarArea);
    EXPECT_EQ(form->toolBarArea(form->TB_Main), Qt::TopToolBarArea);
    EXPECT_TRUE(form->TB_Online->isVisible());

    run.close();
    const LayoutRecord saved = LayoutRecord::fromRecord(
            stored(RegistryKeys::setup(), RegistryKeys::screenValue()).value_or(QString()));
    EXPECT_EQ(saved.windowState, LayoutRecord::Maximised);
    EXPECT_EQ(saved.width, 600);
    EXPECT_EQ(saved.height, 400);
    EXPECT_TRUE(saved.centred());
    EXPECT_EQ(saved.viewMode, LayoutRecord::TaskView);
    EXPECT_TRUE(toolbarsStored());

    // Next time, restored, the window has the saved size, centred; maximised again at close,
    // it keeps that size for the next start.
    ProgramRun again(registryFile());
    ASSERT_TRUE(again.start());
    form = again.window.get();
    EXPECT_TRUE(form->isMaximized());
    form->showNormal();
    EXPECT_TRUE(QTest::qWaitFor([form] { return form->size() == QSize(600, 400); }, 2000));
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE((form->geometry().center() - screenCentre).manhattanLength(), 4);
    form->showMaximized();
    EXPECT_TRUE(QTest::qWaitFor([form] { return form->isMaximized(); }, 2000));
    again.close();
    const LayoutRecord last = LayoutRecord::fromRecord(
            stored(RegistryKeys::setup(), RegistryKeys::screenValue()).value_or(QString()));
    EXPECT_EQ(last.windowState, LayoutRecord::Maximised);
    EXPECT_EQ(last.width, 600);
    EXPECT_EQ(last.height, 400);
}

} // namespace
