// orvane-ftp-cli --on-exists against vsftpd: every choice for downloads and uploads over
// targets that are larger, smaller, as large, older and newer than the source, and folder
// transfers killed half way and run again with "resume".
#include "support/clirun.h"
#include "support/eventwait.h"
#include "support/files.h"
#include "support/sharedftpserver.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace ovtest;

namespace {

enum Outcome {
    Source,  // the target is now the source
    Left,    // the target is as it was
    Spliced, // the target's bytes, then the source's from the target's size on
    Renamed, // the target is as it was, "name (1).bin" beside it is the source
};

// clang-format off
// Each case's target: its size (0: none) and its time against the source's, in hours.
const struct { const char *name; int size; int hours; } Cases[] = {
        {"larger", 60000, 0}, {"smaller", 10000, 0}, {"equal", 40000, 0},
        {"older", 40000, -2}, {"newer", 40000, 1}, {"absent", 0, 0}};

// Both directions decide alike; the outcomes in the order of Cases.
const struct { const char *choice; Outcome outcomes[6]; } Table[] = {
        {"auto", {Source, Spliced, Source, Source, Source, Source}},
        {"overwrite", {Source, Source, Source, Source, Source, Source}},
        {"resume", {Left, Spliced, Left, Left, Left, Source}},
        {"skip", {Left, Left, Left, Left, Left, Source}},
        {"rename", {Renamed, Renamed, Renamed, Renamed, Renamed, Source}},
        {"newer", {Left, Left, Left, Source, Left, Source}},
};
// clang-format on

const QDateTime SourceTime
        = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() - 3 * 3600, Qt::UTC);

// The sources in one folder, the targets in the other; on the host the files belong to the
// user that logs in.
void prepare(bool download, const QString &hostFolder, const QString &localFolder)
{
    VsftpdServer *vsftpd = sharedVsftpd();
    const QString hostPath = vsftpd->userPath(hostFolder) + '/';
    for (int i = 0; i < 6; ++i) {
        const QString file = QLatin1String(Cases[i].name) + QStringLiteral(".bin");
        for (const bool source : {true, false}) {
            if (!source && Cases[i].size == 0)
                continue;
            const QByteArray bytes
                    = source ? testBytes(40000, 100 + i) : testBytes(Cases[i].size, 200 + i);
            if (source == download)
                ASSERT_FALSE(vsftpd->createUserFile(hostFolder + '/' + file, bytes).isEmpty());
            else
                ASSERT_TRUE(writeFile(localFolder + file, bytes));
            const QDateTime time = SourceTime.addSecs(source ? 0 : Cases[i].hours * 3600);
            ASSERT_TRUE(setModified((source == download ? hostPath : localFolder) + file, time));
        }
    }
}

template<typename Row>
void expectOutcomes(const Row &row, const QString &targetFolder)
{
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(Cases[i].name);
        const QByteArray source = testBytes(40000, 100 + i);
        const QByteArray target = testBytes(Cases[i].size, 200 + i);
        const QString path = targetFolder + QLatin1String(Cases[i].name);
        const Outcome outcome = row.outcomes[i];
        const QByteArray expected = outcome == Source    ? source
                                    : outcome == Spliced ? target + source.mid(target.size())
                                                         : target;
        EXPECT_TRUE(readFile(path + ".bin") == expected);
        EXPECT_EQ(QFileInfo::exists(path + " (1).bin"), outcome == Renamed);
        EXPECT_TRUE(outcome != Renamed || readFile(path + " (1).bin") == source);
    }
}

CliRunOptions asUser()
{
    CliRunOptions options;
    options.environment.insert(QStringLiteral("OV_TEST_PASSWORD"), VsftpdServer::password());
    return options;
}

QString userWords()
{
    return QStringLiteral("--user %1 --password-env OV_TEST_PASSWORD ")
            .arg(VsftpdServer::userName());
}

} // namespace

TEST(CliOnExists, EachChoiceForDownloadsAndUploads)
{
    VsftpdServer *vsftpd = sharedVsftpd();
    ASSERT_TRUE(vsftpd);
    QTemporaryDir local;
    ASSERT_TRUE(local.isValid());
    for (const auto &row : Table) {
        const QString choice = QLatin1String(row.choice);
        SCOPED_TRACE(row.choice);
        // Downloads: the host folder into a local folder of its name that holds the targets.
        const QString get = QStringLiteral("oe-get-") + choice;
        vsftpd->createUserFolder(get);
        prepare(true, get, local.filePath(get) + '/');
        CliRun run = runCliWords(userWords() + "--on-exists " + choice + " get "
                                         + cliAddress(vsftpd->port(), '/' + get + '/') + ' '
                                         + local.path(),
                                 asUser());
        ASSERT_EQ(run.exitStatus, 0) << run.describe();
        {
            SCOPED_TRACE("download");
            expectOutcomes(row, local.filePath(get) + '/');
        }

        // Uploads: a local folder into the host folder of its name that holds the targets.
        const QString put = QStringLiteral("oe-put-") + choice;
        vsftpd->createUserFolder(put);
        prepare(false, put, local.filePath(put) + '/');
        const CliRun sent
                = runCliWords(userWords() + "--on-exists " + choice + " put " + local.filePath(put)
                                      + ' ' + cliAddress(vsftpd->port(), QStringLiteral("/")),
                              asUser());
        ASSERT_EQ(sent.exitStatus, 0) << sent.describe();
        {
            SCOPED_TRACE("upload");
            expectOutcomes(row, vsftpd->userPath(put) + '/');
        }

        // What is left is named on standard error as skipped, and nothing else is.
        for (const CliRun &each : {run, sent}) {
            int skipped = 0;
            for (int i = 0; i < 6; ++i) {
                const bool left = row.outcomes[i] == Left;
                skipped += left;
                EXPECT_EQ(each.err.contains(QByteArray(Cases[i].name) + ".bin' exists already"),
                          left)
                        << each.describe();
            }
            EXPECT_EQ(each.err.count("Skipped"), skipped) << each.describe();
        }
    }
}

// A folder transfer with "resume", killed while its big file is under way and run again with
// the same command: the files that had arrived are not transferred again, the big one goes
// on from where it stopped, the rest follows.
TEST(CliOnExists, KilledFolderTransferRunAgainGoesOn)
{
    VsftpdServer vsftpd;
    vsftpd.setOption(QStringLiteral("local_max_rate"), QStringLiteral("1500000"));
    ASSERT_TRUE(vsftpd.start());
    QTemporaryDir local;
    ASSERT_TRUE(local.isValid());
    const FileTree tree{{"a1.bin", testBytes(30000, 1)},
                        {"a2.bin", testBytes(50000, 2)},
                        {"b-big.bin", testBytes(6000000, 3)},
                        {"c.bin", testBytes(20000, 4)},
                        {"sub/d.bin", testBytes(30000, 5)}};
    ASSERT_TRUE(writeTree(local.filePath("put/tree"), tree));
    vsftpd.createUserFolder("get/tree");
    ASSERT_TRUE(writeTree(vsftpd.userPath("get/tree"), tree));
    ASSERT_TRUE(QDir().mkpath(local.filePath("got")));
    // Words after the options, where the tree arrives, the host command that moves a file.
    const struct
    {
        QString command, targetRoot;
        const char *verb;
    } directions[] = {
            {"get " + cliAddress(vsftpd.port(), "/get/tree/") + ' ' + local.filePath("got"),
             local.filePath("got/tree"),
             "RETR"},
            {"put " + local.filePath("put/tree") + ' ' + cliAddress(vsftpd.port(), "/"),
             vsftpd.userPath("tree"),
             "STOR"},
    };
    for (const auto &direction : directions) {
        SCOPED_TRACE(direction.verb);
        const QString words = userWords() + "--on-exists resume " + direction.command;
        const QString big = direction.targetRoot + "/b-big.bin";
        CliRunOptions killHalfWay = asUser();
        killHalfWay.killWhen = [&] {
            return QFileInfo(big).size() > 1500000;
        };
        const CliRun first = runCliWords(words, killHalfWay);
        ASSERT_TRUE(first.killed) << first.describe();
        // The host may still write what was under way; the second run starts when it is done.
        qint64 size = -1;
        QElapsedTimer unchanged;
        unchanged.start();
        waitFor(
                [&] {
                    if (std::exchange(size, QFileInfo(big).size()) != size)
                        unchanged.restart();
                    return unchanged.elapsed() > 1500;
                },
                30000);
        const qint64 partial = QFileInfo(big).size();
        ASSERT_GT(partial, 0);
        ASSERT_LT(partial, tree.value("b-big.bin").size());
        EXPECT_TRUE(readFile(direction.targetRoot + "/a1.bin") == tree.value("a1.bin"));
        EXPECT_TRUE(readFile(direction.targetRoot + "/a2.bin") == tree.value("a2.bin"));

        const int before = int(vsftpd.commands().size());
        const CliRun second = runCliWords(words, asUser());
        ASSERT_EQ(second.exitStatus, 0) << second.describe();
        EXPECT_EQ(readTree(direction.targetRoot), tree);
        const QStringList again = vsftpd.commands().mid(before);
        QStringList moved
                = again.filter(QRegularExpression(QStringLiteral("^%1 ").arg(direction.verb),
                                                  QRegularExpression::CaseInsensitiveOption));
        moved.sort();
        const QString prefix = direction.verb == QLatin1String("RETR") ? "/get" : "";
        EXPECT_EQ(moved.join('\n').toLower(),
                  QStringLiteral("%1 %2/tree/b-big.bin\n%1 %2/tree/c.bin\n%1 %2/tree/sub/d.bin")
                          .arg(QString(direction.verb).toLower(), prefix))
                << again.join('\n').toStdString();
        // REST with the partial's size right before the big file's command.
        const qsizetype at = again.indexOf(
                QRegularExpression(QStringLiteral("^%1 .*/b-big\\.bin$").arg(direction.verb),
                                   QRegularExpression::CaseInsensitiveOption));
        ASSERT_GT(at, 0) << again.join('\n').toStdString();
        EXPECT_EQ(again.at(at - 1).toUpper(), QStringLiteral("REST %1").arg(partial));
    }
}
