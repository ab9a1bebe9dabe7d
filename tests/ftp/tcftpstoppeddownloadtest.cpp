// A download stopped from a progress report while the data socket still holds bytes it read at
// once and has not handed out, against vsftpd and pyftpdlib: the partial holds every byte the
// session counted, byte for byte, and a resume completes it.
#include "support/files.h"
#include "support/ftpsession.h"
#include "support/sharedftpserver.h"

#include <gtest/gtest.h>

using namespace ovtest;

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
        QObject::connect(&s.ftp,
                         &TcFTP::actionDone,
                         [&](TcFTPActionType, const QString &, qint64 size, bool done, bool) {
                             if (!done && counted < 0 && size > (1 << 20)
                                 && s.ftp.dataSocket()->ReadAheadLeft() > 0) {
                                 counted = size;
                                 s.ftp.Abort();
                             }
                         });
        const QString line = "*download \\big.bin*" + s.localInternal("big.bin");
        ASSERT_TRUE(s.runAndWait(line));
        ASSERT_GT(counted, 0) << "the download ended before it could be stopped";
        const QByteArray partial = readFile(s.localPath("big.bin"));
        EXPECT_EQ(partial.size(), counted);
        EXPECT_TRUE(partial == content.left(partial.size()));

        counted = content.size(); // no second stop
        ASSERT_TRUE(s.runAndWait(line));
        EXPECT_TRUE(s.sent().contains("rest " + QString::number(partial.size())));
        EXPECT_TRUE(readFile(s.localPath("big.bin")) == content);
    }
}
