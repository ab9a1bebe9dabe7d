// Unfinished work that survives: the window program killed half way through a long queue,
// started again, resumes exactly what had not arrived; a damaged or cut-off journal at start.
#include "ui/unfinishedwork.h"
#include "programrun.h"
#include "sites/sitestore.h"
#include "support/pyftpdlibserver.h"
#include "ui/siteconnector.h"
#include "windowdriver.h"

#include <QProcess>

namespace {

constexpr int FileCount = 500;

QString hostName(int n)
{
    return QStringLiteral("f%1.bin").arg(n, 3, 10, QLatin1Char('0'));
}

// Sizes from 20 kB to 1 MB, so that several files are on their way at any moment.
QByteArray hostBytes(int n)
{
    return ovtest::testBytes(20000 + (n % 9) * (n % 5 == 0 ? 120000 : 9000), quint32(n));
}

TEST(UnfinishedWork, AKilledQueueResumesOnlyWhatHadNotArrived)
{
    const QString program = QStringLiteral(ORVANE_BINARY_DIR "/src/orvane-ftp");
    if (!QFileInfo(program).isExecutable())
        GTEST_SKIP() << "build the orvane-ftp target first";
    ovtest::PyftpdlibServer server;
    ASSERT_TRUE(server.start());
    for (int n = 0; n < FileCount; ++n)
        server.createFile("pub/" + hostName(n), hostBytes(n));
    ProgramHome home;
    const QString config = home.path() + "/config";
    const QString arrived = home.path() + "/arrived";
    ASSERT_TRUE(QDir().mkpath(arrived));

    // The program, connected anonymously, downloading the 500 files with its default four tasks.
    QProcess first;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", config);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("ORVANE_CONNECT", QStringLiteral("ftp://127.0.0.1:%1/pub").arg(server.port()));
    env.insert("ORVANE_DOWNLOAD_TO", arrived);
    first.setProcessEnvironment(env);
    first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    first.start(program, {});
    ASSERT_TRUE(first.waitForStarted(10000));
    const bool halfWay = ovtest::waitFor(
            [&] { return QDir(arrived).entryList(QDir::Files).size() >= FileCount / 3; }, 90000);
    first.kill(); // SIGKILL: nothing is written on the way out
    ASSERT_TRUE(first.waitForFinished(10000));
    ASSERT_TRUE(halfWay) << server.log().right(2000).toStdString();

    // What had arrived whole, and the files cut short.
    QSet<QString> whole;
    QMap<QString, qint64> partial;
    for (const QFileInfo &file : QDir(arrived).entryInfoList(QDir::Files)) {
        const int n = file.fileName().mid(1, 3).toInt();
        if (file.size() == hostBytes(n).size())
            whole.insert(file.fileName());
        else if (file.size() > 0)
            partial.insert(file.fileName(), file.size());
    }
    ASSERT_LT(whole.size(), FileCount);
    const qsizetype commandsBefore = server.commands().size();

    // Started again on the same settings folder: the offer, answered Yes.
    const QString folder = config + "/Orvane FTP";
    ASSERT_TRUE(QFileInfo::exists(folder + "/queue-journal"));
    QString question;
    UserScript script;
    script.on<QMessageBox>([&](QMessageBox *box) {
        question = box->text();
        if (QAbstractButton *yes = box->button(QMessageBox::Yes))
            QTest::mouseClick(yes, Qt::LeftButton);
        else
            box->close();
    });
    ProgramRun run(folder + "/registry.json");
    // The window's engine runs its scheduler as the program's does.
    run.window->engine()->startTimers();
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(script.waitFinished(20000));
    const QRegularExpressionMatch offer
            = QRegularExpression(QStringLiteral("^(\\d+) transfers to 127\\.0\\.0\\.1:%1 were left "
                                                "unfinished\\. Resume them\\?$")
                                         .arg(server.port()))
                      .match(question);
    ASSERT_TRUE(offer.hasMatch()) << question.toStdString();
    const int left = offer.captured(1).toInt();
    // Those still on their way when the program was killed may have had all their bytes.
    const int missing = FileCount - int(whole.size());
    EXPECT_GE(left, missing);
    EXPECT_LE(left, missing + 4);

    ovtest::FileTree expected;
    for (int n = 0; n < FileCount; ++n)
        expected.insert(hostName(n), hostBytes(n));
    TaskEngine *engine = run.window->engine();
    EXPECT_TRUE(ovtest::waitFor(
            [&] {
                return engine->transferQueue().isEmpty() && engine->taskList().count() > 0
                       && ovtest::readTree(arrived) == expected;
            },
            60000))
            << logLines(*run.window).join("\n").toStdString();

    // The host was asked once for each file that had not arrived whole, and for no other (the
    // kill may have caught a file whole before its end was seen: that one is left as it is);
    // cut-off files went on from their size.
    const QStringList again = server.commands().mid(commandsBefore);
    QStringList fetched;
    for (const QString &line : again) {
        if (line.startsWith("RETR ", Qt::CaseInsensitive))
            fetched.append(QFileInfo(line.mid(5)).fileName());
    }
    EXPECT_EQ(fetched.size(), missing) << again.mid(0, 40).join("\n").toStdString();
    EXPECT_EQ(QSet<QString>(fetched.cbegin(), fetched.cend()).size(), fetched.size());
    for (const QString &name : fetched)
        EXPECT_FALSE(whole.contains(name)) << name.toStdString() << " had arrived whole";
    for (auto it = partial.cbegin(); it != partial.cend(); ++it)
        EXPECT_TRUE(again.contains(QStringLiteral("REST %1").arg(it.value()), Qt::CaseInsensitive))
                << it.key().toStdString() << " was cut off at " << it.value();
    // With the queue done, nothing is left to offer.
    EXPECT_TRUE(
            ovtest::waitFor([&] { return !QFileInfo::exists(folder + "/queue-journal"); }, 5000));
    run.close();
}

// A journal whose last append was cut short is offered, and No forgets it; a damaged one is set
// aside with a message that says where.
TEST(UnfinishedWork, ACutOffJournalIsOfferedAndADamagedOneSetAside)
{
    ProgramHome home;
    const QString journal = home.path() + "/queue-journal";
    {
        QueueJournal writer(journal);
        writer.setSite("quick ftp://127.0.0.1:2121?tasks=4");
        writer.add({true, 5, "\\a.txt", "Z:\\tmp\\a.txt"});
        writer.add({false, 5, "\\b.txt", "Z:\\tmp\\b.txt"});
    }
    const QByteArray written = ovtest::readFile(journal);
    QByteArray damaged = written;
    damaged[damaged.size() - 3] = '\x01';
    // clang-format off
    struct Run { QByteArray bytes; QMessageBox::StandardButton answer; QStringList said; };
    for (const Run &r : {Run{written + "12ab add*3*d*9*\\c", QMessageBox::No, {"2 transfers to 127.0.0.1:2121 were left unfinished. Resume them?"}},
                         Run{damaged, QMessageBox::Ok, {"could not be read (line 4 is damaged)", journal + ".damaged"}}}) {
        // clang-format on
        ASSERT_TRUE(ovtest::writeFile(journal, r.bytes));
        UserScript script;
        script.press(r.answer);
        ProgramRun run(home.registryFile());
        ASSERT_TRUE(run.start());
        ASSERT_TRUE(script.waitFinished());
        ASSERT_EQ(script.seen().size(), 1);
        for (const QString &part : r.said)
            EXPECT_TRUE(script.seen().first().contains(part))
                    << script.seen().first().toStdString();
        EXPECT_FALSE(QFileInfo::exists(journal));
        EXPECT_FALSE(run.window->isConnected());
        run.close();
    }
    EXPECT_EQ(ovtest::readFile(journal + ".damaged"), damaged);
}

// A saved site's queue: Yes connects with the site, its stored password and all, and what
// this run queues is journalled under the site's name.
TEST(UnfinishedWork, ASavedSitesQueueResumesWithTheSite)
{
    ovtest::PyftpdlibServer *server = ovtest::sharedPyftpdlib();
    ASSERT_NE(server, nullptr);
    server->createFile("saved/a.bin", ovtest::testBytes(70000, 7));
    ProgramHome home;
    auto root = SiteNode::makeRoot(SiteStore::rootText());
    TSiteObject loop;
    loop.Host = "127.0.0.1";
    loop.Username = server->userName();
    loop.Password = server->password();
    loop.Port = server->port();
    loop.Anonymous = false;
    root->addFolder("Work")->addSite("Loop", loop);
    {
        Registry registry(home.registryFile());
        ASSERT_TRUE(SiteStore(registry).saveTree(*root, nullptr) && registry.save());
    }
    const QString journal = home.path() + "/queue-journal";
    const QString arrived = home.path() + "/a.bin";
    {
        QueueJournal writer(journal);
        writer.setSite("saved Work/Loop");
        writer.add({true, -1, "\\saved\\a.bin", NativeToLocal(arrived)});
    }

    UserScript script;
    script.press(QMessageBox::Yes);
    ProgramRun run(home.registryFile());
    TaskEngine *engine = run.window->engine();
    engine->startTimers();
    SiteConnector sites(*engine, *run.registry, run.options, run.window.get());
    run.startup->unfinishedWork()->connectSite = [&](const QString &path) {
        return sites.connectSitePath(path);
    };
    run.startup->unfinishedWork()->connectedSiteName = [&] {
        return sites.currentSitePath();
    };
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(script.waitFinished());
    EXPECT_EQ(script.seen(),
              QStringList{"1 transfers to Work/Loop were left unfinished. Resume them?"});
    EXPECT_TRUE(ovtest::waitFor(
            [&] { return ovtest::readFile(arrived) == ovtest::testBytes(70000, 7); }, 20000))
            << logLines(*run.window).join("\n").toStdString();
    engine->toggleQueueStop();
    engine->transferQueue().append(TransferQueue::DownloadEntry("\\saved\\a.bin", "Z:\\b"));
    QueueJournal::Contents written;
    EXPECT_TRUE(ovtest::waitFor(
            [&] {
                return (written = QueueJournal::read(journal)).transfers.value(0).size == 70000;
            },
            5000));
    EXPECT_EQ(written.site, "saved Work/Loop");
    run.close();
}

} // namespace
