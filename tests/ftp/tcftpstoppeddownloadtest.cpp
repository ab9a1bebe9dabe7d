// A download stopped in its middle, against vsftpd and pyftpdlib: the partial it leaves holds
// every byte the session counted, byte for byte, and a resume completes it.
#include "support/eventwait.h"
#include "support/files.h"
#include "support/ftpsession.h"
#include "support/sharedftpserver.h"

#include <gtest/gtest.h>

using namespace ovtest;
using namespace Qt::StringLiterals;

// Stopped from a progress report while the data socket still holds bytes it read at once and
// has not handed out: the bytes handed out before the stop must reach the file.
TEST(TcFTPStoppedDownload, KeepsEveryCountedByteForTheResume)
{
    const QByteArray content = testBytes(6 * 1024 * 1024 + 11, 23);
    for (const FtpPeer &peer : {FtpPeers[0], FtpPeers[2]}) {
        SCOPED_TRACE(int(peer.kind));
        FtpTestServer *server = sharedFtpServer(peer.kind);
        ASSERT_NE(server, nullptr);
        FtpSession s;
        s.connectTo(server->port(), server->loginUser(), server->loginPassword());
        ASSERT_TRUE(s.waitLoggedIn());
        server->createUserFile("big.bin", content);
        s.buffer.addEntry("\\", "fbig.bin", QString::number(content.size()) + "*0");
        s.ftp.setResumeTransfers(true);

        qint64 counted = -1;
        const auto stopper = QObject::connect(
                &s.ftp,
                &TcFTP::actionDone,
                [&](TcFTPActionType action, const QString &, qint64 size, bool done, bool) {
                    if (action == caDownload && !done && counted < 0 && size >= 1024 * 1024
                        && s.ftp.dataSocket()->ReadAheadLeft() > 0) {
                        counted = size;
                        s.ftp.Abort();
                    }
                });
        const QString line = "*download \\big.bin*" + s.localInternal("big.bin");
        ASSERT_TRUE(s.runAndWait(line));
        QObject::disconnect(stopper);
        ASSERT_GT(counted, 0) << "the download ended before it could be stopped";
        ASSERT_FALSE(s.lastDone(caDownload)->success);
        const QByteArray partial = readFile(s.localPath("big.bin"));
        EXPECT_EQ(partial.size(), counted);
        EXPECT_TRUE(partial == content.left(partial.size()));

        ASSERT_TRUE(s.runAndWait(line));
        EXPECT_TRUE(s.lastDone(caDownload)->success);
        EXPECT_TRUE(s.sent().contains(u"rest %1"_s.arg(counted)));
        EXPECT_TRUE(readFile(s.localPath("big.bin")) == content);
    }
}
