// Exact exchanges of the features a host offers: a plain host keeps the old dialogue, a host
// that refuses EPSV gets PASV for the rest of the session, MLSD entries that are no folders to
// walk.
#include "support/eventwait.h"
#include "support/files.h"
#include "support/ftpsession.h"
#include "support/scriptedserver.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QString Login = QStringLiteral(R"(
    greet 220 scripted host ready
    expect user ann
    reply 331 password please
    expect pass secret
    reply 230 logged in
)");

class TcFTPFeaturesScripted : public ::testing::Test
{
protected:
    void SetUp() override { ftp.setPassiveMode(true); }
    void loginTo(const QString &script)
    {
        server = std::make_unique<ovtest::ScriptedServer>(Login + script);
        ASSERT_TRUE(server->start());
        s.connectTo(server->port());
        ASSERT_TRUE(s.waitLoggedIn()) << server->log().toStdString();
    }
    void runLine(const QString &line) { s.run(line); }
    bool waitForDone(TcFTPActionType action, int count = 1)
    {
        return ovtest::waitFor(
                [&] { return s.doneCount(action) >= count && ftp.State() == csIdle; });
    }
    QList<QByteArray> commands() const { return server->commands(); }
    QString localNative(const QString &name) const { return s.localPath(name); }
    QString localInternal(const QString &name) const { return s.localInternal(name); }

    std::unique_ptr<ovtest::ScriptedServer> server;
    ovtest::FtpSession s;
    TcFTP &ftp = s.ftp;
    ListingBuffer &buffer = s.buffer;
};

} // namespace

// FEAT refused: nothing else new is sent, PASV and LIST as before.
TEST_F(TcFTPFeaturesScripted, PlainHostKeepsTheOldDialogue)
{
    loginTo(QStringLiteral(R"(
        expect feat
        reply 500 FEAT not understood
        expect cwd /pub
        reply 250 ok
        expect pasv
        reply-pasv
        expect list
        reply 150 here
        data-send -rw-r--r-- 1 ann ann 5 Jan 02 2026 a.txt
        reply 226 done
    )"));
    EXPECT_TRUE(ftp.HostFeatures().isEmpty());
    runLine(QStringLiteral("*list \\pub\\"));
    ASSERT_TRUE(waitForDone(caList)) << server->log().toStdString();
    EXPECT_TRUE(server->waitForDone());
    EXPECT_EQ(commands(),
              (QList<QByteArray>{"user ann", "pass secret", "feat", "cwd /pub", "pasv", "list"}));
    EXPECT_TRUE(s.lastDone(caList)->success);
}

// UTF8 offered: OPTS UTF8 ON goes first, and a refusal of it changes nothing. EPSV offered but
// refused: PASV takes over at once, and the next transfer asks with PASV straight away.
TEST_F(TcFTPFeaturesScripted, EpsvRefusedFallsBackToPasvForTheSession)
{
    loginTo(QStringLiteral(R"(
        expect feat
        reply 211-Features:
        reply  EPSV
        reply  UTF8
        reply  SIZE
        reply 211 End
        expect opts utf8 on
        reply 501 no options
        expect cwd /pub
        reply 250 ok
        expect epsv
        reply 502 not here
        expect pasv
        reply-pasv
        expect list
        reply 150 here
        data-send -rw-r--r-- 1 ann ann 5 Jan 02 2026 a.txt
        reply 226 done
        expect pasv
        reply-pasv
        expect list
        reply 150 here
        data-send -rw-r--r-- 1 ann ann 5 Jan 02 2026 b.txt
        reply 226 done
    )"));
    EXPECT_TRUE(ftp.HostOffers(QStringLiteral("UTF8")));
    EXPECT_TRUE(ftp.HostOffers(QStringLiteral("SIZE")));
    runLine(QStringLiteral("*list \\pub\\"));
    ASSERT_TRUE(waitForDone(caList)) << server->log().toStdString();
    EXPECT_FALSE(ftp.UsesEpsv());
    runLine(QStringLiteral("*reload \\pub\\"));
    ASSERT_TRUE(waitForDone(caList, 2)) << server->log().toStdString();
    EXPECT_TRUE(server->waitForDone());
    EXPECT_EQ(commands().mid(2),
              (QList<QByteArray>{
                      "feat", "opts utf8 on", "cwd /pub", "epsv", "pasv", "list", "pasv", "list"}));
    EXPECT_TRUE(s.lastDone(caList)->success);
    EXPECT_NE(buffer.find(QStringLiteral("\\pub\\"), QStringLiteral("fb.txt")), nullptr);
}

// An MLSD tree walk: the folder itself and its parent are no entries, a link to a folder is
// never entered (by its type, or by a unique fact met before: MLST gives the top's), a name that
// would leave its folder is refused and named; real folders are.
TEST_F(TcFTPFeaturesScripted, MlsdWalkSkipsLinksAndRefusesUnsafeNames)
{
    QStringList refused;
    QObject::connect(&ftp, &TcFTP::entryRefused, &ftp, [&](const QString &, const QString &line) {
        refused << line;
    });
    loginTo(QStringLiteral(R"(
        expect feat
        reply 211-Features:
        reply  MLST type*;size*;modify*;
        reply  EPSV
        reply 211 End
        expect mlst /top
        reply 250-Listing /top
        reply \x20type=dir;unique=T1;modify=20260101000000; /top
        reply 250 End
        expect cwd /top
        reply 250 ok
        expect epsv
        reply-epsv
        expect mlsd
        reply 150 here
        data-send <<END
        type=cdir;modify=20260101000000; .
        type=pdir;modify=20260101000000; ..
        type=dir;unique=R2;modify=20260101000000; real
        type=dir;unique=T1;modify=20260101000000; again
        type=OS.unix=slink:/top;size=4;modify=20260101000000; loop
        type=file;size=12;modify=20260102030405; a  file.txt
        type=file;size=1; ../escape
        END
        reply 226 done
        expect cwd /top/real
        reply 250 ok
        expect epsv
        reply-epsv
        expect mlsd
        reply 150 here
        data-send type=file;size=3;modify=20260102030405; inner.bin
        reply 226 done
    )"));
    runLine(QStringLiteral("*bufferfolder \\top\\"));
    ASSERT_TRUE(waitForDone(caList, 2)) << server->log().toStdString();
    EXPECT_TRUE(server->waitForDone());
    EXPECT_TRUE(server->extraCommands().isEmpty()) << server->log().toStdString();
    EXPECT_EQ(buffer.folders(),
              (QStringList{QStringLiteral("\\top\\"), QStringLiteral("\\top\\real\\")}));
    QStringList keys;
    for (const ListingBuffer::Entry &entry : *buffer.entries(QStringLiteral("\\top\\")))
        keys << entry.key + QLatin1Char(' ') + entry.fields.section(QLatin1Char('*'), 0, 0);
    EXPECT_EQ(keys,
              (QStringList{QStringLiteral("dagain -1"),
                           QStringLiteral("dreal -1"),
                           QStringLiteral("fa  file.txt 12"),
                           QStringLiteral("floop 4")}));
    EXPECT_TRUE(buffer.find(QStringLiteral("\\top\\"), QStringLiteral("floop"))->fromLink);
    // Shown as a folder by a host that follows links, but the same folder as the top.
    EXPECT_TRUE(buffer.find(QStringLiteral("\\top\\"), QStringLiteral("dagain"))->fromLink);
    EXPECT_FALSE(buffer.find(QStringLiteral("\\top\\"), QStringLiteral("dreal"))->fromLink);
    EXPECT_EQ(buffer.find(QStringLiteral("\\top\\"), QStringLiteral("fa  file.txt"))->modified,
              QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::UTC));
    EXPECT_EQ(refused, QStringList{QStringLiteral("type=file;size=1; ../escape")});
}

// A listing without sizes: SIZE asks the host, and a local partial smaller than its answer is
// resumed with REST right before RETR.
TEST_F(TcFTPFeaturesScripted, SizeDecidesTheResumeWhenTheListingHasNone)
{
    ASSERT_TRUE(ovtest::writeFile(localNative("a.bin"), "abcd"));
    loginTo(QStringLiteral(R"(
        expect feat
        reply 211-Features:
        reply  MLST type*;size*;modify*;
        reply  SIZE
        reply  EPSV
        reply 211 End
        expect cwd /pub
        reply 250 ok
        expect epsv
        reply-epsv
        expect mlsd
        reply 150 here
        data-send type=file;modify=20260102030405; a.bin
        reply 226 done
        expect type i
        reply 200 ok
        expect size /pub/a.bin
        reply 213 10
        expect epsv
        reply-epsv
        expect rest 4
        reply 350 go on
        expect retr /pub/a.bin
        reply 150 here
        data-send efghij
        reply 226 done
    )"));
    runLine(QStringLiteral("*list \\pub\\"));
    ASSERT_TRUE(waitForDone(caList)) << server->log().toStdString();
    runLine(QStringLiteral("*download \\pub\\a.bin*") + localInternal("a.bin"));
    ASSERT_TRUE(waitForDone(caDownload)) << server->log().toStdString();
    EXPECT_TRUE(server->waitForDone());
    EXPECT_TRUE(s.lastDone(caDownload)->success) << ftp.FailureReason().toStdString();
    EXPECT_EQ(ovtest::readFile(localNative("a.bin")), QByteArray("abcdefghij"));
    EXPECT_EQ(QFileInfo(localNative("a.bin")).lastModified().toUTC(),
              QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::UTC));
}

// A host whose names are in Windows-1252: with that character set the name is shown right,
// OPTS UTF8 ON is not sent although the host offers UTF8, and the name goes back in its bytes.
TEST_F(TcFTPFeaturesScripted, LegacyCharacterSetShowsAndSendsBackTheBytes)
{
    ASSERT_TRUE(ftp.setNameEncoding(QStringLiteral("Windows-1252")));
    loginTo(QStringLiteral(R"(
        expect feat
        reply 211-Features:
        reply  UTF8
        reply 211 End
        expect cwd /pub
        reply 250 ok
        expect pasv
        reply-pasv
        expect list
        reply 150 here
        data-send -rw-r--r-- 1 ann ann 4 Jan 02 2026 caf\xe9 \x80.txt\r\n
        reply 226 done
        expect type i
        reply 200 ok
        expect pasv
        reply-pasv
        expect retr /pub/caf*.txt
        reply 150 here
        data-send text
        reply 226 done
    )"));
    runLine(QStringLiteral("*list \\pub\\"));
    ASSERT_TRUE(waitForDone(caList)) << server->log().toStdString();
    const QString name = QStringLiteral("café €.txt");
    ASSERT_NE(buffer.find(QStringLiteral("\\pub\\"), QLatin1Char('f') + name), nullptr)
            << buffer.entries(QStringLiteral("\\pub\\"))->value(0).key.toStdString();
    runLine(QStringLiteral("*download \\pub\\") + name + QLatin1Char('*')
            + localInternal(QStringLiteral("café.txt")));
    ASSERT_TRUE(waitForDone(caDownload)) << server->log().toStdString();
    EXPECT_TRUE(server->waitForDone());
    EXPECT_EQ(commands().mid(2, 1), QList<QByteArray>{"feat"});
    EXPECT_EQ(commands().last(), QByteArray("retr /pub/caf\xe9 \x80.txt"));
    EXPECT_EQ(ovtest::readFile(localNative(QStringLiteral("café.txt"))), QByteArray("text"));
}
