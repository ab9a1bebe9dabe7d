// Downloads whose data connection ends badly, and downloads over an existing file, against the
// scripted server: what the session reports and what is left on the local disk.
#include "scriptedsession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using ovtest::ScriptedServer;

namespace {

// Every name in the local folder, hidden ones too.
QStringList localEntries(const QTemporaryDir &dir)
{
    return QDir(dir.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

// Fewer bytes than the 150 reply announced, or a reset: failed, whatever final reply follows,
// and the partial stays for a resume. A resumed download counts the bytes it already had.
TEST_F(TcFTPScripted, CutShortDownloadsFailAndKeepThePartial)
{
    for (const char *name : {"fshort.bin", "freset.bin", "flate.bin", "fwhole.bin"})
        buffer.addEntry(QStringLiteral("\\pub\\"), QLatin1String(name), QStringLiteral("5000*0"));
    ASSERT_TRUE(writeAll(localNative(QStringLiteral("whole.bin")), ScriptedServer::pattern(1000)));
    loginTo(QStringLiteral(R"(
        expect type i
        reply 200 binary
        expect pasv
        reply-pasv
        expect retr /pub/short.bin
        reply 150 Opening BINARY mode data connection for /pub/short.bin (5000 bytes).
        data-close-early 1000
        sleep 100
        reply 226 Transfer complete.
        expect pasv
        reply-pasv
        expect retr /pub/reset.bin
        reply 150 opening
        data-reset 3000
        sleep 100
        reply 226 Transfer complete.
        expect pasv
        reply-pasv
        expect retr /pub/late.bin
        reply 150 opening
        data-open
        reply 226 Transfer complete.
        sleep 100
        data-reset 2000
        expect pasv
        reply-pasv
        expect rest 1000
        reply 350 Restart position accepted (1000).
        expect retr /pub/whole.bin
        reply 150 Opening BINARY mode data connection for /pub/whole.bin (5000 bytes).
        data-send-file rest.bin
        reply 226 Transfer complete.
    )"));
    server->addFile(QStringLiteral("rest.bin"), ScriptedServer::pattern(5000).mid(1000));

    struct Case
    {
        QString name;
        qint64 partial;
        QString reason;
    };
    const QList<Case> cutShort = {
            {QStringLiteral("short.bin"),
             1000,
             QStringLiteral("the data connection closed after 1000 of the 5000 bytes the host "
                            "announced")},
            {QStringLiteral("reset.bin"),
             3000,
             QStringLiteral("the data connection broke off: Connection reset by peer")},
            {QStringLiteral("late.bin"),
             2000,
             QStringLiteral("the data connection broke off: Connection reset by peer")},
    };
    for (const Case &c : cutShort) {
        SCOPED_TRACE(c.name.toStdString());
        const int before = probe.doneCount(caDownload);
        runLine(QStringLiteral("*download \\pub\\") + c.name + QLatin1Char('*')
                + localInternal(c.name));
        ASSERT_TRUE(waitForDone(caDownload, before + 1)) << server->log().toStdString();
        EXPECT_FALSE(probe.lastDone(caDownload)->success);
        EXPECT_EQ(ftp.FailureReason(), c.reason);
        EXPECT_EQ(readAll(localNative(c.name)), ScriptedServer::pattern(c.partial));
    }

    runLine(QStringLiteral("*download \\pub\\whole.bin*")
            + localInternal(QStringLiteral("whole.bin")));
    ASSERT_TRUE(waitForDone(caDownload, 4)) << server->log().toStdString();
    EXPECT_TRUE(server->waitForDone());
    EXPECT_TRUE(probe.lastDone(caDownload)->success);
    EXPECT_EQ(ftp.FailureReason(), QString());
    EXPECT_EQ(readAll(localNative(QStringLiteral("whole.bin"))), ScriptedServer::pattern(5000));
}

// A download from the start over an existing file writes a part file beside it, readable by
// the owner alone: a failure leaves the old file as it was, a success takes its place and
// keeps its permissions, and no part file remains either way.
TEST_F(TcFTPScripted, FailedRedownloadLeavesTheOldFile)
{
    const QString path = localNative(QStringLiteral("a.bin"));
    const QByteArray old = testBytes(6000, 5);
    ASSERT_TRUE(writeAll(path, old));
    ASSERT_TRUE(QFile::setPermissions(
            path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup));
    const QFileDevice::Permissions oldPermissions = QFileInfo(path).permissions();
    buffer.addEntry(QStringLiteral("\\pub\\"), QStringLiteral("fa.bin"), QStringLiteral("5000*0"));
    loginTo(QStringLiteral(R"(
        expect type i
        reply 200 binary
        expect pasv
        reply-pasv
        expect retr /pub/a.bin
        reply 150 opening
        data-close-early 4000
        sleep 100
        reply 426 Connection closed; transfer aborted.
        expect pasv
        reply-pasv
        expect retr /pub/a.bin
        reply 150 opening
        data-send-pattern 5000
        reply 226 Transfer complete.
    )"));
    QStringList seenWhileWriting;
    QFileDevice::Permissions partPermissions;
    QObject::connect(&ftp,
                     &TcFTP::actionDone,
                     &ftp,
                     [&](TcFTPActionType action, const QString &, qint64, bool done, bool) {
                         if (action != caDownload || done || !seenWhileWriting.isEmpty())
                             return;
                         seenWhileWriting = localEntries(local);
                         for (const QString &name : std::as_const(seenWhileWriting)) {
                             if (name != QLatin1String("a.bin"))
                                 partPermissions = QFileInfo(local.filePath(name)).permissions();
                         }
                     });

    runLine(QStringLiteral("*download \\pub\\a.bin*") + localInternal(QStringLiteral("a.bin")));
    ASSERT_TRUE(waitForDone(caDownload)) << server->log().toStdString();
    EXPECT_FALSE(probe.lastDone(caDownload)->success);
    EXPECT_EQ(readAll(path), old);
    EXPECT_EQ(localEntries(local), QStringList{QStringLiteral("a.bin")});
    ASSERT_EQ(seenWhileWriting.size(), 2) << seenWhileWriting.join(QLatin1Char(' ')).toStdString();
    EXPECT_TRUE(seenWhileWriting.first().startsWith(QLatin1String(".a.bin.")));
    EXPECT_EQ(partPermissions,
              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser
                      | QFileDevice::WriteUser);

    runLine(QStringLiteral("*download \\pub\\a.bin*") + localInternal(QStringLiteral("a.bin")));
    ASSERT_TRUE(waitForDone(caDownload, 2)) << server->log().toStdString();
    EXPECT_TRUE(server->waitForDone());
    EXPECT_TRUE(probe.lastDone(caDownload)->success);
    EXPECT_EQ(readAll(path), ScriptedServer::pattern(5000));
    EXPECT_EQ(QFileInfo(path).permissions(), oldPermissions);
    EXPECT_EQ(localEntries(local), QStringList{QStringLiteral("a.bin")});
}
