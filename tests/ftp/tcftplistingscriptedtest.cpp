// Listings against the scripted server: the exact commands of "*list", lines cut between reads,
// and the ends of a listing that must not store it (426 after the data closed, 550 on LIST).
#include "ftp/listparser.h"
#include "ftp/tcftp.h"
#include "sessionprobe.h"
#include "support/eventwait.h"
#include "support/scriptedserver.h"

#include <gtest/gtest.h>

using ovtest::ScriptedServer;
using ovtest::spinFor;
using ovtest::waitFor;

namespace {

// Logs in and learns that the host's current folder is "/".
const QString Login = QStringLiteral(R"(
    greet 220 scripted host ready
    expect user ann
    reply 331 password please
    expect pass secret
    reply 230 logged in
    expect pwd
    reply 257 "/" is the current directory
)");

class TcFTPListingScripted : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ftp.setListingBuffer(&buffer);
        ftp.setPassiveMode(true);
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

    void loginTo(const QString &script)
    {
        server = std::make_unique<ScriptedServer>(Login + script);
        ASSERT_TRUE(server->start());
        ftp.Connect(::TcFTPSession{QStringLiteral("127.0.0.1"),
                                   QString::number(server->port()),
                                   QStringLiteral("ann"),
                                   QStringLiteral("secret")});
        ASSERT_TRUE(waitFor([&] { return ftp.LoggedIn() && ftp.State() == csIdle; }))
                << server->log().toStdString();
        ASSERT_EQ(ftp.ServerFolder(), QStringLiteral("\\"));
    }
    void runLine(const QString &line)
    {
        ftp.AddCommand(line);
        try {
            ftp.Execute();
        } catch (const TcFTPException &e) {
            executeErrors.append(e.number());
        }
    }
    bool waitForList(int count)
    {
        return waitFor([&] { return probe.doneCount(caList) >= count && ftp.State() == csIdle; });
    }

    std::unique_ptr<ScriptedServer> server;
    ListingBuffer buffer;
    TcFTP ftp;
    SessionProbe probe{ftp};
    QStringList listedFolders;
    QList<int> executeErrors;
};

// A listing longer than one read, so that lines are cut between reads; with "." and "..", a
// totals line and a blank line that give no entry.
QString longListing(int files)
{
    QString text
            = QStringLiteral("total 1234\\r\\n"
                             "drwxr-xr-x    2 ftp      ftp          4096 Mar 01  2020 .\\r\\n"
                             "drwxr-xr-x    9 ftp      ftp          4096 Mar 01  2020 ..\\r\\n"
                             "\\r\\n"
                             "drwxr-xr-x    2 ftp      ftp          4096 Mar 01  2020 sub\\r\\n");
    for (int i = 0; i < files; ++i) {
        text += QStringLiteral(
                        "-rw-r--r--    1 ftp      ftp      %1 Jan 05  2021 file-%2%3.txt\\r\\n")
                        .arg(1000 + i, 8)
                        .arg(i)
                        .arg(QString(i % 37, QLatin1Char('x')));
    }
    return text;
}

} // namespace

TEST_F(TcFTPListingScripted, ListsThroughOneCwdAndThenFromTheBuffer)
{
    const int files = 300;
    loginTo(QStringLiteral(R"(
        expect cwd /pub
        reply 250 ok
        expect type a
        reply 200 ascii
        expect pasv
        reply-pasv
        expect list
        reply 150 here it comes
        data-send %1
        reply 226 done
    )")
                    .arg(longListing(files)));
    ftp.SetBinaryMode(true); // the listing asks for ASCII first

    runLine(QStringLiteral("*list \\pub\\"));
    ASSERT_TRUE(waitForList(1)) << server->log().toStdString();
    EXPECT_TRUE(server->waitForDone()) << server->log().toStdString();
    EXPECT_TRUE(probe.lastDone(caList)->success);
    EXPECT_GT(probe.progressEvents, 1);
    EXPECT_EQ(server->commands(),
              (QList<QByteArray>{"user ann",
                                 "pass secret",
                                 "feat",
                                 "pwd",
                                 "cwd /pub",
                                 "type a",
                                 "pasv",
                                 "list"}));
    EXPECT_EQ(ftp.Folder(), QStringLiteral("\\pub\\"));

    // Every line cut between reads came out whole, once; ".", ".." and the totals did not.
    ASSERT_TRUE(buffer.contains(QStringLiteral("\\pub\\")));
    EXPECT_FALSE(buffer.contains(QStringLiteral("\\PUB\\"))); // hosts tell case apart
    const ListingBuffer::EntryList &entries = *buffer.entries(QStringLiteral("\\pub\\"));
    ASSERT_EQ(entries.size(), files + 1);
    EXPECT_EQ(entries.first().key, QStringLiteral("dsub"));
    EXPECT_EQ(entries.first().fields.section(QLatin1Char('*'), 0, 0), QStringLiteral("-1"));
    for (int i = 0; i < files; ++i) {
        const QString key
                = QStringLiteral("ffile-%1%2.txt").arg(i).arg(QString(i % 37, QLatin1Char('x')));
        EXPECT_EQ(
                LookupEntry(buffer, QStringLiteral("\\pub\\"), key).section(QLatin1Char('*'), 0, 0),
                QString::number(1000 + i))
                << key.toStdString();
    }

    // Again: served from the buffer, nothing sent, done before Execute returns.
    const int sentBefore = probe.sent().size();
    runLine(QStringLiteral("*list \\pub\\"));
    EXPECT_EQ(probe.doneCount(caList), 2);
    EXPECT_TRUE(probe.lastDone(caList)->success);
    EXPECT_EQ(ftp.State(), csIdle);
    spinFor(200);
    EXPECT_EQ(probe.sent().size(), sentBefore);
    EXPECT_TRUE(server->extraCommands().isEmpty())
            << server->extraCommands().join('|').toStdString();
    EXPECT_EQ(listedFolders, (QStringList{QStringLiteral("\\pub\\"), QStringLiteral("\\pub\\")}));
}

TEST_F(TcFTPListingScripted, AbortAfterTheDataClosedStoresNothing)
{
    loginTo(QStringLiteral(R"(
        expect pasv
        reply-pasv
        expect list
        reply 150 here it comes
        data-send -rw-r--r-- 1 ftp ftp 10 Jan 05 2021 partial.txt\r\n
        sleep 400
        reply 426 Connection closed; transfer aborted.
        expect noop
        reply 200 ok
    )"));
    ftp.AddCommand(QStringLiteral("*list"));
    ftp.AddCommand(QStringLiteral("noop"));
    ftp.Execute();
    // The data connection has closed, but the last reply is still 150: nothing is over yet.
    ASSERT_TRUE(server->waitForCommand("list"));
    spinFor(250);
    EXPECT_EQ(probe.doneCount(caList), 0);
    EXPECT_TRUE(ftp.Listing());

    ASSERT_TRUE(waitForList(1)) << server->log().toStdString();
    EXPECT_TRUE(server->waitForDone()) << server->log().toStdString();
    EXPECT_EQ(probe.doneCount(caList), 1);
    EXPECT_FALSE(probe.lastDone(caList)->success);
    EXPECT_FALSE(ftp.Listing());
    EXPECT_TRUE(buffer.isEmpty());
    // The queue went on after the failed listing.
    EXPECT_EQ(server->commands().mid(4), (QList<QByteArray>{"pasv", "list", "noop"}));
}

TEST_F(TcFTPListingScripted, RefusedListFailsAndStoresNothing)
{
    loginTo(QStringLiteral(R"(
        expect pasv
        reply-pasv
        expect list
        reply 550 No such directory.
        expect pasv
        reply-pasv
        expect list
        reply 150 here it comes
        data-send drwxr-xr-x 2 ftp ftp 4096 Jan 05 2021 later\r\n
        reply 226 done
    )"));
    runLine(QStringLiteral("*list \\"));
    ASSERT_TRUE(waitForList(1)) << server->log().toStdString();
    EXPECT_FALSE(probe.lastDone(caList)->success);
    EXPECT_FALSE(ftp.Listing());
    EXPECT_TRUE(buffer.isEmpty());
    EXPECT_TRUE(executeErrors.isEmpty());

    // The session is not left in a listing: the next one works and is stored.
    runLine(QStringLiteral("*list \\"));
    ASSERT_TRUE(waitForList(2)) << server->log().toStdString();
    EXPECT_TRUE(server->waitForDone());
    EXPECT_TRUE(probe.lastDone(caList)->success);
    EXPECT_EQ(buffer.folders(), QStringList{QStringLiteral("\\")});
    EXPECT_EQ(LookupEntry(buffer, QStringLiteral("\\"), QStringLiteral("dlater")),
              QStringLiteral("-1*") + QString::number(DosDateTime(QDate(2021, 1, 5), QTime(0, 0))));
}

TEST_F(TcFTPListingScripted, RefusedCwdDropsTheListingAndItsReload)
{
    buffer.addEntry(QStringLiteral("\\gone\\"), QStringLiteral("fa"), QStringLiteral("1*0"));
    loginTo(QStringLiteral(R"(
        expect cwd /gone
        reply 550 No such directory.
        expect noop
        reply 200 ok
    )"));
    runLine(QStringLiteral("*reload \\gone\\"));
    ASSERT_TRUE(
            waitFor([&] { return probe.doneCount(caChangeFolder) == 1 && ftp.State() == csIdle; }));
    EXPECT_FALSE(probe.lastDone(caChangeFolder)->success);
    EXPECT_EQ(probe.doneCount(caList), 0);
    EXPECT_FALSE(ftp.Listing());
    EXPECT_FALSE(ftp.Reloading());
    EXPECT_TRUE(buffer.contains(QStringLiteral("\\gone\\")));

    // Without the reload left over, a buffered folder is served from the buffer.
    runLine(QStringLiteral("*list \\gone\\"));
    EXPECT_EQ(probe.doneCount(caList), 1);
    EXPECT_TRUE(probe.lastDone(caList)->success);
    runLine(QStringLiteral("noop"));
    EXPECT_TRUE(server->waitForDone()) << server->log().toStdString();
}

TEST_F(TcFTPListingScripted, AbortedListingIsNoSuccessEvenAfter226)
{
    loginTo(QStringLiteral(R"(
        expect pasv
        reply-pasv
        expect list
        reply 150 here it comes
        data-open
        sleep 300
        reply 226 done
        expect noop
        reply 200 ok
    )"));
    runLine(QStringLiteral("*list"));
    ASSERT_TRUE(waitFor([&] { return ftp.InCmd() == QLatin1String("150"); }))
            << server->log().toStdString();
    ftp.Abort();
    // Ended at once; the host's 226 that follows is taken before anything else is sent.
    ASSERT_EQ(probe.doneCount(caList), 1);
    EXPECT_FALSE(probe.lastDone(caList)->success);
    EXPECT_FALSE(ftp.Listing());
    EXPECT_EQ(ftp.State(), csWaitForReply);
    ASSERT_TRUE(waitFor([&] { return ftp.State() == csIdle; })) << server->log().toStdString();
    EXPECT_EQ(probe.doneCount(caList), 1);
    EXPECT_TRUE(buffer.isEmpty());
    runLine(QStringLiteral("noop"));
    EXPECT_TRUE(server->waitForDone()) << server->log().toStdString();
}
