// Listings into the shared buffer against real servers, vsftpd and pyftpdlib, in active and
// passive mode: the servers' own listing lines, folders served from the buffer, reloads, tree
// walks that keep out of links, folders told apart by case.
#include "ftp/listparser.h"
#include "support/eventwait.h"
#include "support/files.h"
#include "support/ftpsession.h"
#include "support/sharedftpserver.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <memory>

using namespace ovtest;
using namespace Qt::StringLiterals;

namespace {

class TcFTPListing : public ::testing::Test
{
protected:
    // The peer's user folder emptied; the session logs in once the caller has made the files.
    void useServer(const FtpPeer &peer)
    {
        ASSERT_NE(server = sharedFtpServer(peer.kind), nullptr);
        s = std::make_unique<FtpSession>();
        s->ftp.setPassiveMode(peer.passive);
        s->ftp.setLoginScript("pwd\r\n");
        listed.clear();
        QObject::connect(&s->ftp,
                         &TcFTP::actionDone,
                         &s->ftp,
                         [this](TcFTPActionType a, auto, auto, bool done, auto) {
                             if (a == caList && done)
                                 listed << s->ftp.Folder();
                         });
    }
    void login()
    {
        ASSERT_TRUE(s->loginTo(*server));
        ASSERT_EQ(s->ftp.ServerFolder(), "\\");
    }
    // The folders a reload found made and removed, in the order reported.
    QStringList madeAndRemoved(qsizetype from) const
    {
        QStringList reported;
        for (const FtpSession::Done &d : s->actions.mid(from)) {
            if (d.action == caMakeFolder || d.action == caRemoveFolder)
                reported << (d.action == caMakeFolder ? "made " : "removed ") + d.fileFolder;
        }
        return reported;
    }

    FtpTestServer *server = nullptr;
    std::unique_ptr<FtpSession> s;
    QStringList listed;
};

} // namespace

// A folder of 300 entries comes in many reads, with lines cut between them: each entry once,
// whole, with its size and date, links marked (listed again it comes from the buffer: a case).
TEST_F(TcFTPListing, ListsOnceThenServesFromTheBuffer)
{
    for (const FtpPeer &peer : FtpPeers) {
        SCOPED_TRACE(int(peer.kind) * 2 + peer.passive);
        useServer(peer);
        QStringList expected{"dsub -1",
                             "dlink@ -1",
                             "fbig.iso 5000000000",
                             "fstar*name.bin 4097",
                             "ftwo  spaces.txt 3",
                             "fünïcödé.bin 1"};
        for (int i = 0; i < 300; ++i) {
            const QString name
                    = u"file-%1%2.txt"_s.arg(i, 3, 10, QChar(u'0')).arg(QString(i % 37, u'x'));
            server->createUserFile("pub/" + name, QByteArray(i, 'x'));
            expected << u"f%1 %2"_s.arg(name).arg(i);
        }
        server->createUserFile("pub/two  spaces.txt", "abc");
        server->createUserFile("pub/star*name.bin", QByteArray(4097, 'x'));
        server->createUserFile("pub/ünïcödé.bin", "x");
        ASSERT_TRUE(QFile::resize(server->createUserFile("pub/big.iso", ""), 5'000'000'000LL));
        server->createUserFolder("pub/sub");
        ASSERT_TRUE(QFile::link("sub", server->userPath("pub/link")));
        ASSERT_TRUE(setModified(server->userPath("pub/two  spaces.txt"),
                                QDateTime({1998, 3, 4}, {5, 6})));
        login();
        ASSERT_TRUE(s->runAndWait("*list \\pub\\"));
        ASSERT_EQ(s->doneCount(caList), 1);
        EXPECT_TRUE(s->lastDone(caList)->success);
        // pyftpdlib's MLSD follows links and shows no sign of them: only a tree walk tells
        // them by their unique fact.
        if (s->ftp.UsesMlsd())
            expected.replace(expected.indexOf("dlink@ -1"), "dlink -1");
        expected.sort();
        QStringList got = s->keys("\\pub\\", true);
        got.sort();
        EXPECT_EQ(got, expected);
        // The day; MLSD (pyftpdlib) gives the time of day as well.
        EXPECT_EQ(LookupEntry(s->buffer, "\\pub\\", "ftwo  spaces.txt").section(u'*', 1).toInt()
                          >> 16,
                  DosDateTime({1998, 3, 4}, {0, 0}) >> 16);
        EXPECT_EQ(s->sent().filter(QRegularExpression("^(cwd|list|mlsd)")),
                  (QStringList{"cwd /pub", s->ftp.UsesMlsd() ? "mlsd" : "list"}));
    }
}

// A tree walk goes depth first and does not enter links, which are shown as folders marked as
// links. Hosts are case-sensitive: folders and files whose names differ in case alone are
// listed, looked up, walked and reloaded each on its own; a reload reports what came and went.
TEST_F(TcFTPListing, WalksTheTreeAndReloads)
{
    for (const FtpPeer &peer : FtpPeers) {
        SCOPED_TRACE(int(peer.kind) * 2 + peer.passive);
        useServer(peer);
        server->createUserFile("a/b/d/leaf.txt", "leaf");
        server->createUserFile("a/b/A.txt", "other");
        server->createUserFile("a/B/a.txt", "upper");
        server->createUserFolder("a/x/deep");
        ASSERT_TRUE(QFile::link("..", server->userPath("a/b/up")));
        ASSERT_TRUE(QFile::link(".", server->userPath("a/loop")));
        login();
        ASSERT_TRUE(s->runAndWait("*bufferfolder \\a\\"));
        // clang-format off
        EXPECT_EQ(listed,
                  (QStringList{"\\a\\", "\\a\\B\\", "\\a\\b\\", "\\a\\b\\d\\", "\\a\\x\\",
                  "\\a\\x\\deep\\"}));
        // clang-format on
        EXPECT_EQ(s->buffer.folders(), listed);
        EXPECT_FALSE(s->ftp.Buffering());
        EXPECT_EQ(s->keys("\\a\\"), (QStringList{"dB", "db", "dloop@", "dx"}));
        EXPECT_EQ(s->keys("\\a\\b\\"), (QStringList{"dd", "dup@", "fA.txt"}));
        EXPECT_EQ(s->keys("\\a\\B\\"), QStringList{"fa.txt"});
        EXPECT_EQ(s->keys("\\a\\b\\", true).value(2), "fA.txt 5");
        EXPECT_THROW(LookupEntry(s->buffer, "\\a\\b\\", "fa.txt"), std::out_of_range);
        EXPECT_EQ(LookupEntry(s->buffer, "\\A\\", "db"), QString());

        // "x" becomes "X": the reload reports both; "B", "b" and what lies below stay buffered.
        ASSERT_TRUE(QDir().rename(server->userPath("a/x"), server->userPath("a/X")));
        const qsizetype before = s->actions.size();
        ASSERT_TRUE(s->runAndWait("*reload \\a\\"));
        EXPECT_TRUE(s->lastDone(caList)->success);
        EXPECT_FALSE(s->ftp.Reloading());
        EXPECT_EQ(madeAndRemoved(before), (QStringList{"made \\a\\X\\", "removed \\a\\x\\"}));
        EXPECT_EQ(s->buffer.folders(),
                  (QStringList{"\\a\\", "\\a\\B\\", "\\a\\b\\", "\\a\\b\\d\\"}));
        EXPECT_EQ(s->keys("\\a\\"), (QStringList{"dB", "db", "dloop@", "dX"}));
    }
}
