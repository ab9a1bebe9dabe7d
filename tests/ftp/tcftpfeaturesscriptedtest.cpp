// Exact exchanges with a host offering features whose outcome a case file cannot tell: MLSD
// entries that are no folders to walk, names in a character set of the host's.
#include "support/eventwait.h"
#include "support/files.h"
#include "support/ftpsession.h"
#include "support/scriptedserver.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

// Logs in to a scripted host that answers FEAT with features, then plays script.
class TcFTPFeaturesScripted : public ::testing::Test
{
protected:
    void loginTo(const QString &features, const QString &script)
    {
        server.emplace(QStringLiteral("greet 220 ready\nexpect user ann\nreply 331 pw\n"
                                      "expect pass secret\nreply 230 in\nexpect feat\n"
                                      "reply 211-Features:\n%1reply 211 End\n")
                               .arg(features)
                       + script);
        ASSERT_TRUE(server->start());
        s.ftp.setPassiveMode(true);
        s.connectTo(server->port());
        ASSERT_TRUE(s.waitLoggedIn()) << server->log().toStdString();
    }
    std::optional<ovtest::ScriptedServer> server;
    ovtest::FtpSession s;
    ListingBuffer &buffer = s.buffer;
};

} // namespace

// An MLSD tree walk: the folder itself and its parent are no entries, a link to a folder is
// never entered (by its type, or by a unique fact met before: MLST gives the top's), a name that
// would leave its folder is refused and named; real folders are.
TEST_F(TcFTPFeaturesScripted, MlsdWalkSkipsLinksAndRefusesUnsafeNames)
{
    QStringList refused;
    QObject::connect(&s.ftp, &TcFTP::entryRefused, [&](const QString &, const QString &line) {
        refused << line;
    });
    loginTo(QStringLiteral("reply  MLST type*;size*;modify*;\nreply  EPSV\n"), QStringLiteral(R"(
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
    ASSERT_TRUE(s.runAndWait(QStringLiteral("*bufferfolder \\top\\")));
    EXPECT_TRUE(server->waitForDone() && server->extraCommands().isEmpty())
            << server->log().toStdString();
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

// A host whose names are in Windows-1252: with that character set the name is shown right,
// OPTS UTF8 ON is not sent although the host offers UTF8, and the name goes back in its bytes.
TEST_F(TcFTPFeaturesScripted, LegacyCharacterSetShowsAndSendsBackTheBytes)
{
    ASSERT_TRUE(s.ftp.setNameEncoding(QStringLiteral("Windows-1252")));
    loginTo(QStringLiteral("reply  UTF8\n"), QStringLiteral(R"(
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
    ASSERT_TRUE(s.runAndWait(QStringLiteral("*list \\pub\\")));
    const QString name = QStringLiteral("café €.txt");
    ASSERT_NE(buffer.find(QStringLiteral("\\pub\\"), QLatin1Char('f') + name), nullptr)
            << server->log().toStdString();
    ASSERT_TRUE(s.runAndWait(QStringLiteral("*download \\pub\\") + name + QLatin1Char('*')
                             + s.localInternal(QStringLiteral("café.txt"))));
    // No OPTS UTF8 ON after FEAT: the script wants CWD next.
    EXPECT_TRUE(server->waitForDone()) << server->log().toStdString();
    EXPECT_EQ(server->commands().last(), QByteArray("retr /pub/caf\xe9 \x80.txt"));
    EXPECT_EQ(ovtest::readFile(s.localPath(QStringLiteral("café.txt"))), QByteArray("text"));
}
