// The program's start and end around the main window: temporary folders, the layout and options
// records read at start and written at the end.
#include "programrun.h"
#include "windowdriver.h"

#include "settings/layoutrecord.h"
#include "settings/registrykeys.h"
#include "ui/taskpanel.h"

#include <QSplitter>

namespace {

// A home of its own (without a Desktop folder) and a temporary folder of its own.
struct StartupSequenceTest : ::testing::Test
{
    ProgramHome home;
    // What the file holds now, read by a store of its own.
    std::optional<QString> stored(const QString &value = RegistryKeys::screenValue()) const
    {
        Registry registry(home.registryFile());
        if (!registry.openKey(RegistryKeys::setup(), false))
            return std::nullopt;
        return registry.readString(value);
    }
};

} // namespace

TEST_F(StartupSequenceTest, FirstStartMakesTheFoldersAndWritesTheDefaultRecordsAtTheEnd)
{
    ProgramRun run(home.registryFile());
    ASSERT_TRUE(run.start()) << run.startup->terminationMessage().toStdString();
    EXPECT_FALSE(run.splash.isVisible());
    // The temporary folders live below TMPDIR.
    const QString base = QDir(home.path()).filePath("tmp/^ovFTP");
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
    Registry reread(home.registryFile());
    const LayoutRecord saved = LayoutRecord::load(reread);
    first.ViewLayout = saved.ViewLayout; // the double view's sizes are those the pass left
    EXPECT_EQ(saved.toRecord(), first.toRecord());
    EXPECT_EQ(stored(RegistryKeys::setupValue()), Options::defaults().toRecord());
    // The session folder went with everything in it; the base folder stays.
    EXPECT_FALSE(QFileInfo::exists(session));
    EXPECT_TRUE(QFileInfo(base).isDir());
}

TEST_F(StartupSequenceTest, AnEndBeforeTheStartCompletedOrWithoutATemporaryFolderWritesNothing)
{
    LayoutRecord earlier;
    earlier.width = 800;
    {
        Registry registry(home.registryFile());
        ASSERT_TRUE(earlier.save(registry));
    }
    const QByteArray before = ovtest::readFile(home.registryFile());
    QString session;
    {
        ProgramRun run(home.registryFile());
        ASSERT_TRUE(run.startup->createTemporaryFolders());
        run.startup->start();
        session = run.sessionFolder();
        // The window closes before the start-up timer's first tick.
        run.close();
        ovtest::spinFor(50);
        EXPECT_FALSE(run.startup->startupCompleted());
        EXPECT_FALSE(run.window->isVisible());
    }
    EXPECT_EQ(ovtest::readFile(home.registryFile()), before);
    EXPECT_TRUE(QFileInfo(session).isDir());

    // A temporary folder below a plain file: no folder can be made there.
    ASSERT_TRUE(ovtest::writeFile(home.path() + "/blocker", ""));
    const QString temp = home.path() + "/blocker/tmp";
    ProgramRun run(home.registryFile());
    EXPECT_FALSE(run.startup->createTemporaryFolders(temp));
    EXPECT_TRUE(run.startup->terminationMessage().startsWith(
            "Orvane FTP will terminate because it cannot create temporary folder : " + temp
            + "/^ovFTP"));
    run.close();
    EXPECT_EQ(ovtest::readFile(home.registryFile()), before);
}
