// Listings into the shared buffer against real servers, vsftpd and pyftpdlib, in active and
// passive mode: folders served from the buffer, reloads, tree buffering with symbolic links,
// and the servers' own listing lines through the parser.
#include "ftp/listparser.h"
#include "ftp/tcftp.h"
#include "platform/localpath.h"
#include "sessionprobe.h"
#include "support/eventwait.h"
#include "support/ftptestserver.h"
#include "support/rawftpclient.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using ovtest::FtpTestServer;
using ovtest::RawFtpClient;
using ovtest::spinFor;
using ovtest::waitFor;

namespace {

struct ListingCase
{
    FtpTestServer::Kind kind;
    bool passive;
};

std::string caseName(const ::testing::TestParamInfo<ListingCase> &info)
{
    return std::string(info.param.kind == FtpTestServer::Kind::Vsftpd ? "Vsftpd" : "Pyftpdlib")
           + (info.param.passive ? "Passive" : "Active");
}

// The raw lines of "LIST path" as the server sends them, fetched by a second, independent
// client.
QList<QByteArray> rawListing(const FtpTestServer &server, const QByteArray &path)
{
    RawFtpClient client;
    if (client.connectToPort(server.port()) != 220
        || client.login(server.loginUser().toUtf8(), server.loginPassword().toUtf8()) != 230
        || client.command("TYPE A") != 200 || client.command("PASV") != 227)
        return {};
    static const QRegularExpression numbers(
            QStringLiteral("(\\d+),(\\d+),(\\d+),(\\d+),(\\d+),(\\d+)"));
    const QRegularExpressionMatch match
            = numbers.match(QString::fromLatin1(client.lastReply().last()));
    if (!match.hasMatch())
        return {};
    QTcpSocket data;
    data.connectToHost(QHostAddress::LocalHost,
                       quint16(match.captured(5).toInt() * 256 + match.captured(6).toInt()));
    if (!waitFor([&] { return data.state() == QAbstractSocket::ConnectedState; }))
        return {};
    const int start = client.command("LIST " + path);
    if (start != 150 && start != 125)
        return {};
    QByteArray bytes;
    waitFor([&] {
        bytes += data.readAll();
        return data.state() == QAbstractSocket::UnconnectedState;
    });
    bytes += data.readAll();
    if (client.readReply() != 226)
        return {};
    QList<QByteArray> lines = bytes.split('\n');
    for (QByteArray &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    lines.removeAll(QByteArray());
    return lines;
}

class TcFTPListing : public ::testing::TestWithParam<ListingCase>
{
protected:
    void SetUp() override
    {
        server = FtpTestServer::create(GetParam().kind);
        ASSERT_TRUE(server->start());
        ftp.setListingBuffer(&buffer);
        ftp.setPassiveMode(GetParam().passive);
        ftp.setLoginScript(QStringLiteral("pwd\r\n"));
        QObject::connect(&ftp,
                         &TcFTP::actionDone,
                         &ftp,
                         [this](TcFTPActionType action, const QString &, qint64, bool done, bool) {
                             if (action == caList && done)
                                 listedFolders.append(ftp.Folder());
                         });
    }
    void TearDown() override
    {
        if (ftp.State() != csNotConnected)
            ftp.Disconnect();
    }

    void login()
    {
        ftp.Connect(::TcFTPSession{QStringLiteral("127.0.0.1"),
                                   QString::number(server->port()),
                                   server->loginUser(),
                                   server->loginPassword()});
        ASSERT_TRUE(waitFor([&] { return ftp.LoggedIn() && ftp.State() == csIdle; }, 8000))
                << server->log().toStdString();
        ASSERT_EQ(ftp.ServerFolder(), QStringLiteral("\\"));
    }
    // Runs one line and waits until the session is idle with count caList ends reported.
    bool runUntilListed(const QString &line, int count)
    {
        ftp.AddCommand(line);
        try {
            ftp.Execute();
        } catch (const TcFTPException &e) {
            ADD_FAILURE() << line.toStdString() << " raised " << e.number();
        }
        return waitFor([&] { return probe.doneCount(caList) >= count && ftp.State() == csIdle; },
                       20000);
    }
    QStringList serverCommandsLike(const QString &verb) const
    {
        QStringList found;
        for (const QString &command : server->commands()) {
            if (command.section(QLatin1Char(' '), 0, 0).compare(verb, Qt::CaseInsensitive) == 0)
                found.append(command);
        }
        return found;
    }
    QStringList folderKeys(const QString &folder) const
    {
        QStringList keys;
        if (const ListingBuffer::EntryList *entries = buffer.entries(folder)) {
            for (const ListingBuffer::Entry &entry : *entries)
                keys.append(entry.key);
        }
        return keys;
    }
    const ListingBuffer::Entry *entry(const QString &folder, const QString &key) const
    {
        if (const ListingBuffer::EntryList *entries = buffer.entries(folder)) {
            for (const ListingBuffer::Entry &e : *entries) {
                if (e.key == key)
                    return &e;
            }
        }
        return nullptr;
    }

    std::unique_ptr<FtpTestServer> server;
    ListingBuffer buffer;
    TcFTP ftp;
    SessionProbe probe{ftp};
    QStringList listedFolders;
};

} // namespace

TEST_P(TcFTPListing, ListsOnceThenServesFromTheBuffer)
{
    server->createUserFile(QStringLiteral("pub/a.txt"), "hello");
    server->createUserFile(QStringLiteral("pub/two  spaces.txt"), "abc");
    server->createUserFile(QStringLiteral("pub/star*name.bin"), QByteArray(4097, 'x'));
    server->createUserFolder(QStringLiteral("pub/sub"));
    login();

    ASSERT_TRUE(runUntilListed(QStringLiteral("*list \\pub\\"), 1)) << server->log().toStdString();
    EXPECT_TRUE(probe.lastDone(caList)->success);
    EXPECT_EQ(folderKeys(QStringLiteral("\\pub\\")),
              (QStringList{QStringLiteral("dsub"),
                           QStringLiteral("fa.txt"),
                           QStringLiteral("fstar*name.bin"),
                           QStringLiteral("ftwo  spaces.txt")}));
    EXPECT_EQ(LookupEntry(buffer, QStringLiteral("\\pub\\"), QStringLiteral("fa.txt"))
                      .section(QLatin1Char('*'), 0, 0),
              QStringLiteral("5"));
    EXPECT_EQ(LookupEntry(buffer, QStringLiteral("\\pub\\"), QStringLiteral("fstar*name.bin"))
                      .section(QLatin1Char('*'), 0, 0),
              QStringLiteral("4097"));
    EXPECT_EQ(LookupEntry(buffer, QStringLiteral("\\pub\\"), QStringLiteral("dsub"))
                      .section(QLatin1Char('*'), 0, 0),
              QStringLiteral("-1"));
    EXPECT_NE(LookupEntry(buffer, QStringLiteral("\\pub\\"), QStringLiteral("fa.txt"))
                      .section(QLatin1Char('*'), 1, 1),
              QStringLiteral("0"));
    EXPECT_THROW(LookupEntry(buffer, QStringLiteral("\\pub\\"), QStringLiteral("fnone")),
                 std::out_of_range);
    EXPECT_EQ(LookupEntry(buffer, QStringLiteral("\\other\\"), QStringLiteral("fa.txt")),
              QString());

    // CWD then LIST, one CWD only.
    QStringList sent = probe.sent();
    EXPECT_EQ(sent.filter(QRegularExpression(QStringLiteral("^cwd"))),
              QStringList{QStringLiteral("cwd /pub")});
    // pyftpdlib offers MLST: it is listed with MLSD.
    EXPECT_TRUE(sent.last() == QStringLiteral("list") || sent.last() == QStringLiteral("mlsd"));
    EXPECT_EQ(serverCommandsLike(QStringLiteral("CWD")).size(), 1);
    EXPECT_EQ(serverCommandsLike(QStringLiteral("LIST")).size()
                      + serverCommandsLike(QStringLiteral("MLSD")).size(),
              1);

    // Buffered: nothing goes to the host and the end is reported before Execute returns.
    ftp.AddCommand(QStringLiteral("*list \\pub\\"));
    ftp.Execute();
    EXPECT_EQ(probe.doneCount(caList), 2);
    EXPECT_TRUE(probe.lastDone(caList)->success);
    EXPECT_EQ(ftp.State(), csIdle);
    spinFor(300);
    EXPECT_EQ(probe.sent(), sent);
    EXPECT_EQ(serverCommandsLike(QStringLiteral("LIST")).size()
                      + serverCommandsLike(QStringLiteral("MLSD")).size(),
              1);

    // A file missing from a buffered folder fails its download; the next line still runs.
    QTemporaryDir local;
    ftp.AddCommand(QStringLiteral("*download \\pub\\gone.txt*")
                   + NativeToLocal(local.filePath(QStringLiteral("gone.txt"))));
    ftp.AddCommand(QStringLiteral("pwd"));
    EXPECT_THROW(ftp.Execute(), TcFTPException);
    ASSERT_EQ(probe.doneCount(caDownload), 1);
    EXPECT_FALSE(probe.lastDone(caDownload)->success);
    EXPECT_FALSE(ftp.Downloading());
    ASSERT_TRUE(waitFor([&] { return ftp.State() == csIdle; }));
    EXPECT_EQ(probe.sent().mid(sent.size()), QStringList{QStringLiteral("pwd")});
}

TEST_P(TcFTPListing, ReloadReportsNewAndVanishedFolders)
{
    server->createUserFolder(QStringLiteral("pub/keep"));
    server->createUserFolder(QStringLiteral("pub/x/deep"));
    server->createUserFile(QStringLiteral("pub/file.txt"), "1");
    login();
    ASSERT_TRUE(runUntilListed(QStringLiteral("*bufferfolder \\pub\\"), 4));
    ASSERT_EQ(buffer.folders(),
              (QStringList{QStringLiteral("\\pub\\"),
                           QStringLiteral("\\pub\\keep\\"),
                           QStringLiteral("\\pub\\x\\"),
                           QStringLiteral("\\pub\\x\\deep\\")}));

    ASSERT_TRUE(QDir(server->userPath(QStringLiteral("pub/x"))).removeRecursively());
    server->createUserFolder(QStringLiteral("pub/y"));
    const int actionsBefore = probe.actions.size();
    ASSERT_TRUE(runUntilListed(QStringLiteral("*reload \\pub\\"), 5));
    EXPECT_TRUE(probe.lastDone(caList)->success);
    EXPECT_FALSE(ftp.Reloading());

    const QList<SessionProbe::Action> after = probe.actions.mid(actionsBefore);
    QStringList reported;
    for (const SessionProbe::Action &a : after) {
        if (a.action == caMakeFolder)
            reported.append(QStringLiteral("made ") + a.fileFolder);
        else if (a.action == caRemoveFolder)
            reported.append(QStringLiteral("removed ") + a.fileFolder);
        else if (a.action == caList)
            reported.append(QStringLiteral("listed"));
    }
    EXPECT_EQ(reported,
              (QStringList{QStringLiteral("made \\pub\\y\\"),
                           QStringLiteral("removed \\pub\\x\\"),
                           QStringLiteral("listed")}));
    EXPECT_EQ(buffer.folders(),
              (QStringList{QStringLiteral("\\pub\\"), QStringLiteral("\\pub\\keep\\")}));
    EXPECT_EQ(folderKeys(QStringLiteral("\\pub\\")),
              (QStringList{
                      QStringLiteral("dkeep"), QStringLiteral("dy"), QStringLiteral("ffile.txt")}));
}

// Hosts are case-sensitive: folders whose names differ in case alone are listed, looked up,
// walked and reloaded each on its own.
TEST_P(TcFTPListing, FoldersDifferingInCaseAloneKeepTheirOwnLists)
{
    server->createUserFile(QStringLiteral("pub/Sub/a.txt"), "upper");
    server->createUserFile(QStringLiteral("pub/Sub/deep/d.txt"), "deep");
    server->createUserFile(QStringLiteral("pub/sub/b.txt"), "lower");
    server->createUserFile(QStringLiteral("pub/sub/A.txt"), "other");
    login();

    ASSERT_TRUE(runUntilListed(QStringLiteral("*bufferfolder \\pub\\"), 4));
    EXPECT_EQ(listedFolders,
              (QStringList{"\\pub\\", "\\pub\\Sub\\", "\\pub\\Sub\\deep\\", "\\pub\\sub\\"}));
    EXPECT_EQ(folderKeys("\\pub\\"), (QStringList{"dSub", "dsub"}));
    EXPECT_EQ(folderKeys("\\pub\\Sub\\"), (QStringList{"ddeep", "fa.txt"}));
    EXPECT_EQ(folderKeys("\\pub\\sub\\"), (QStringList{"fA.txt", "fb.txt"}));
    EXPECT_EQ(LookupEntry(buffer, "\\pub\\sub\\", "fA.txt").section(QLatin1Char('*'), 0, 0), "5");
    EXPECT_THROW(LookupEntry(buffer, "\\pub\\sub\\", "fa.txt"), std::out_of_range);
    EXPECT_EQ(LookupEntry(buffer, "\\PUB\\", "dsub"), QString());

    // A reload sees "sub" become "SUB"; "Sub" and what lies below it stay buffered.
    ASSERT_TRUE(QDir().rename(server->userPath("pub/sub"), server->userPath("pub/SUB")));
    const int actionsBefore = probe.actions.size();
    ASSERT_TRUE(runUntilListed(QStringLiteral("*reload \\pub\\"), 5));
    QStringList reported;
    for (const SessionProbe::Action &a : probe.actions.mid(actionsBefore)) {
        if (a.action == caMakeFolder || a.action == caRemoveFolder)
            reported.append((a.action == caMakeFolder ? "made " : "removed ") + a.fileFolder);
    }
    EXPECT_EQ(reported, (QStringList{"made \\pub\\SUB\\", "removed \\pub\\sub\\"}));
    EXPECT_EQ(buffer.folders(), (QStringList{"\\pub\\", "\\pub\\Sub\\", "\\pub\\Sub\\deep\\"}));
}

TEST_P(TcFTPListing, BufferingWalksTheTreeDepthFirst)
{
    server->createUserFolder(QStringLiteral("a/b/d"));
    server->createUserFolder(QStringLiteral("a/c"));
    server->createUserFile(QStringLiteral("a/b/d/leaf.txt"), "leaf");
    login();
    ASSERT_TRUE(runUntilListed(QStringLiteral("*bufferfolder \\a\\"), 4));
    EXPECT_EQ(listedFolders,
              (QStringList{QStringLiteral("\\a\\"),
                           QStringLiteral("\\a\\b\\"),
                           QStringLiteral("\\a\\b\\d\\"),
                           QStringLiteral("\\a\\c\\")}));
    EXPECT_FALSE(ftp.Buffering());
    EXPECT_EQ(folderKeys(QStringLiteral("\\a\\b\\d\\")), QStringList{QStringLiteral("fleaf.txt")});
}

TEST_P(TcFTPListing, BufferingNeverEntersLinks)
{
    server->createUserFolder(QStringLiteral("t/s"));
    server->createUserFile(QStringLiteral("t/s/f.txt"), "f");
    ASSERT_TRUE(QFile::link(QStringLiteral(".."), server->userPath(QStringLiteral("t/s/up"))));
    ASSERT_TRUE(QFile::link(QStringLiteral("."), server->userPath(QStringLiteral("t/loop"))));
    login();
    ASSERT_TRUE(runUntilListed(QStringLiteral("*bufferfolder \\t\\"), 2))
            << server->log().toStdString();
    spinFor(300);
    EXPECT_EQ(listedFolders, (QStringList{QStringLiteral("\\t\\"), QStringLiteral("\\t\\s\\")}));
    EXPECT_EQ(buffer.folders(), (QStringList{QStringLiteral("\\t\\"), QStringLiteral("\\t\\s\\")}));
    EXPECT_FALSE(ftp.Buffering());
    // The links are shown as folders, marked as links.
    const ListingBuffer::Entry *up = entry(QStringLiteral("\\t\\s\\"), QStringLiteral("dup"));
    ASSERT_NE(up, nullptr) << folderKeys(QStringLiteral("\\t\\s\\")).join('|').toStdString();
    EXPECT_TRUE(up->fromLink);
    const ListingBuffer::Entry *loop = entry(QStringLiteral("\\t\\"), QStringLiteral("dloop"));
    ASSERT_NE(loop, nullptr);
    EXPECT_TRUE(loop->fromLink);
    const ListingBuffer::Entry *s = entry(QStringLiteral("\\t\\"), QStringLiteral("ds"));
    ASSERT_NE(s, nullptr);
    EXPECT_FALSE(s->fromLink);
}

// The lines the servers really send: every entry line parses, to the names on disk.
class ServerListingLines : public ::testing::TestWithParam<FtpTestServer::Kind>
{
protected:
    void SetUp() override
    {
        server = FtpTestServer::create(GetParam());
        ASSERT_TRUE(server->start());
    }
    std::unique_ptr<FtpTestServer> server;
};

TEST_P(ServerListingLines, AllParse)
{
    const QStringList names = {QStringLiteral("plain.txt"),
                               QStringLiteral("two  spaces"),
                               QStringLiteral("ünïcödé.bin"),
                               QStringLiteral("big.iso"),
                               QStringLiteral("folder"),
                               QStringLiteral("link")};
    server->createUserFile(QStringLiteral("raw/plain.txt"), "12345");
    server->createUserFile(QStringLiteral("raw/two  spaces"), "");
    server->createUserFile(QStringLiteral("raw/ünïcödé.bin"), "x");
    const QString big = server->createUserFile(QStringLiteral("raw/big.iso"), "");
    ASSERT_TRUE(QFile::resize(big, 5'000'000'000LL)); // sparse, over 4 GiB
    server->createUserFolder(QStringLiteral("raw/folder"));
    ASSERT_TRUE(
            QFile::link(QStringLiteral("folder"), server->userPath(QStringLiteral("raw/link"))));
    {
        QFile old(server->userPath(QStringLiteral("raw/plain.txt")));
        ASSERT_TRUE(old.open(QIODevice::ReadWrite));
        ASSERT_TRUE(old.setFileTime(QDateTime(QDate(1998, 3, 4), QTime(5, 6)),
                                    QFileDevice::FileModificationTime));
    }

    const QList<QByteArray> lines = rawListing(*server, "/raw");
    ASSERT_FALSE(lines.isEmpty()) << server->log().toStdString();
    QStringList parsed;
    const QDateTime now = QDateTime::currentDateTime();
    for (const QByteArray &line : lines) {
        if (line.startsWith("total "))
            continue;
        const std::optional<ListEntry> e = ParseListLine(QString::fromUtf8(line), now);
        ASSERT_TRUE(e.has_value()) << "rejected: " << line.toStdString();
        parsed.append(e->name);
        if (e->name == QLatin1String("big.iso")) {
            EXPECT_EQ(e->size, 5'000'000'000LL);
        }
        if (e->name == QLatin1String("plain.txt")) {
            EXPECT_EQ(e->size, 5);
            EXPECT_EQ(e->dosDateTime, DosDateTime(QDate(1998, 3, 4), QTime(0, 0)));
        }
        if (e->name == QLatin1String("folder") || e->name == QLatin1String("link")) {
            EXPECT_TRUE(e->isFolder);
        }
        EXPECT_EQ(e->fromLink, e->name == QLatin1String("link")) << line.toStdString();
    }
    parsed.sort();
    QStringList expected = names;
    expected.sort();
    EXPECT_EQ(parsed, expected) << QString::fromUtf8(lines.join('\n')).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Peers,
                         TcFTPListing,
                         ::testing::Values(ListingCase{FtpTestServer::Kind::Vsftpd, true},
                                           ListingCase{FtpTestServer::Kind::Vsftpd, false},
                                           ListingCase{FtpTestServer::Kind::Pyftpdlib, true},
                                           ListingCase{FtpTestServer::Kind::Pyftpdlib, false}),
                         caseName);

INSTANTIATE_TEST_SUITE_P(Peers,
                         ServerListingLines,
                         ::testing::Values(FtpTestServer::Kind::Vsftpd,
                                           FtpTestServer::Kind::Pyftpdlib),
                         FtpTestServer::testName);
