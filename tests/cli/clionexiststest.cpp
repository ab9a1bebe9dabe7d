// orvane-ftp-cli --on-exists against vsftpd: every choice for downloads and uploads over
// targets that are larger, smaller, as large, older and newer than the source, and folder
// transfers killed half way and run again with "resume".
#include "support/clirun.h"
#include "support/eventwait.h"
#include "support/files.h"
#include "support/sharedservers.h"

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

const char *const Cases[] = {"larger", "smaller", "equal", "older", "newer", "absent"};

struct Row
{
    const char *choice;
    Outcome outcomes[6]; // in the order of Cases
};

// Both directions decide alike.
const Row Table[] = {
        {"auto", {Source, Spliced, Source, Source, Source, Source}},
        {"overwrite", {Source, Source, Source, Source, Source, Source}},
        {"resume", {Left, Spliced, Left, Left, Left, Source}},
        {"skip", {Left, Left, Left, Left, Left, Source}},
        {"rename", {Renamed, Renamed, Renamed, Renamed, Renamed, Source}},
        {"newer", {Left, Left, Left, Source, Left, Source}},
};

const QDateTime SourceTime = QDateTime::currentDateTimeUtc().addSecs(-3 * 3600).addMSecs(
        -QDateTime::currentDateTimeUtc().time().msec());

QByteArray sourceBytes(int index)
{
    return testBytes(40000, 100 + index);
}

// What each case's target holds, and when it was modified.
QByteArray targetBytes(const QString &name, int index)
{
    const qint64 size = name == QLatin1String("larger")    ? 60000
                        : name == QLatin1String("smaller") ? 10000
                                                           : 40000;
    return testBytes(size, 200 + index);
}

QDateTime targetTime(const QString &name)
{
    if (name == QLatin1String("older"))
        return SourceTime.addSecs(-2 * 3600);
    if (name == QLatin1String("newer"))
        return SourceTime.addSecs(3600);
    return SourceTime;
}

bool setModified(const QString &path, const QDateTime &time)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite | QIODevice::Append)
           && file.setFileTime(time, QFileDevice::FileModificationTime);
}

// The sources in one folder, the targets in the other (none for "absent"); on the host the
// files belong to the user that logs in.
void prepare(bool download, const QString &hostFolder, const QString &localFolder)
{
    VsftpdServer *vsftpd = sharedVsftpd();
    const auto write = [&](bool onHost, const QString &name, const QByteArray &bytes) {
        const QString path = onHost ? vsftpd->createUserFile(hostFolder + '/' + name, bytes)
                                    : localFolder + name;
        return onHost ? !path.isEmpty() : writeFile(path, bytes);
    };
    const QString sourceFolder = download ? vsftpd->userPath(hostFolder) + '/' : localFolder;
    const QString targetFolder = download ? localFolder : vsftpd->userPath(hostFolder) + '/';
    for (int i = 0; i < 6; ++i) {
        const QString name = QLatin1String(Cases[i]);
        const QString file = name + QStringLiteral(".bin");
        ASSERT_TRUE(write(download, file, sourceBytes(i)));
        ASSERT_TRUE(setModified(sourceFolder + file, SourceTime));
        if (name == QLatin1String("absent"))
            continue;
        ASSERT_TRUE(write(!download, file, targetBytes(name, i)));
        ASSERT_TRUE(setModified(targetFolder + file, targetTime(name)));
    }
}

void expectOutcomes(const Row &row, const QString &targetFolder)
{
    for (int i = 0; i < 6; ++i) {
        const QString name = QLatin1String(Cases[i]);
        SCOPED_TRACE(name.toStdString());
        const QByteArray source = sourceBytes(i);
        const QByteArray target
                = name == QLatin1String("absent") ? QByteArray() : targetBytes(name, i);
        const QByteArray now = readFile(targetFolder + name + QStringLiteral(".bin"));
        const QString renamed = targetFolder + name + QStringLiteral(" (1).bin");
        switch (row.outcomes[i]) {
        case Source:
            EXPECT_TRUE(now == source);
            break;
        case Left:
            EXPECT_TRUE(now == target);
            break;
        case Spliced:
            EXPECT_TRUE(now == target + source.mid(target.size()));
            break;
        case Renamed:
            EXPECT_TRUE(now == target);
            EXPECT_TRUE(readFile(renamed) == source);
            break;
        }
        if (row.outcomes[i] != Renamed)
            EXPECT_FALSE(QFileInfo::exists(renamed));
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
    for (const Row &row : Table) {
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
                EXPECT_EQ(each.err.contains(QByteArray(Cases[i]) + ".bin' exists already"), left)
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
    const FileTree tree{{QStringLiteral("a1.bin"), testBytes(30000, 1)},
                        {QStringLiteral("a2.bin"), testBytes(50000, 2)},
                        {QStringLiteral("b-big.bin"), testBytes(6000000, 3)},
                        {QStringLiteral("c.bin"), testBytes(20000, 4)},
                        {QStringLiteral("sub/d.bin"), testBytes(30000, 5)}};
    const QString bigPart = QStringLiteral("b-big.bin");
    struct Direction
    {
        const char *name;
        QString command;    // the words after the options
        QString sourceRoot; // the tree that is sent
        QString targetRoot; // where it arrives
        const char *verb;   // the host command that moves a file
    };
    ASSERT_TRUE(writeTree(local.filePath(QStringLiteral("put/tree")), tree));
    vsftpd.createUserFolder(QStringLiteral("get/tree"));
    ASSERT_TRUE(writeTree(vsftpd.userPath(QStringLiteral("get/tree")), tree));
    ASSERT_TRUE(QDir().mkpath(local.filePath(QStringLiteral("got"))));
    const Direction directions[] = {
            {"get",
             "get " + cliAddress(vsftpd.port(), "/get/tree/") + ' ' + local.filePath("got"),
             vsftpd.userPath("get/tree"),
             local.filePath("got/tree"),
             "RETR"},
            {"put",
             "put " + local.filePath("put/tree") + ' ' + cliAddress(vsftpd.port(), "/"),
             local.filePath("put/tree"),
             vsftpd.userPath("tree"),
             "STOR"},
    };
    for (const Direction &direction : directions) {
        SCOPED_TRACE(direction.name);
        const QString words = userWords() + "--on-exists resume " + direction.command;
        const QString big = direction.targetRoot + '/' + bigPart;
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
        ASSERT_LT(partial, tree.value(bigPart).size());
        EXPECT_TRUE(readFile(direction.targetRoot + "/a1.bin") == tree.value("a1.bin"));
        EXPECT_TRUE(readFile(direction.targetRoot + "/a2.bin") == tree.value("a2.bin"));

        const int before = int(vsftpd.commands().size());
        const CliRun second = runCliWords(words, asUser());
        ASSERT_EQ(second.exitStatus, 0) << second.describe();
        EXPECT_EQ(readTree(direction.targetRoot), tree);
        const QStringList again = vsftpd.commands().mid(before);
        const QStringList moved = again.filter(
                QRegularExpression(QStringLiteral("^%1 ").arg(QLatin1String(direction.verb)),
                                   QRegularExpression::CaseInsensitiveOption));
        EXPECT_EQ(moved.size(), 3) << again.join('\n').toStdString();
        EXPECT_EQ(moved.filter(QStringLiteral("/a1.bin")).size(), 0);
        EXPECT_EQ(moved.filter(QStringLiteral("/a2.bin")).size(), 0);
        // REST with the partial's size right before the big file's command.
        const qsizetype at = again.indexOf(QRegularExpression(
                QStringLiteral("^%1 .*/b-big\\.bin$").arg(QLatin1String(direction.verb)),
                QRegularExpression::CaseInsensitiveOption));
        ASSERT_GT(at, 0) << again.join('\n').toStdString();
        EXPECT_EQ(again.at(at - 1).toUpper(), QStringLiteral("REST %1").arg(partial));
    }
}
