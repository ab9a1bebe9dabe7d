// Logins and transfers against real servers, vsftpd and pyftpdlib, each in active and passive
// mode: every file must arrive byte for byte.
#include "support/eventwait.h"
#include "support/files.h"
#include "support/filesizelimit.h"
#include "support/ftpsession.h"
#include "support/sharedftpserver.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <memory>

using namespace ovtest;
using namespace Qt::StringLiterals;

namespace {

using Peer = FtpPeer;

class TcFTPTransfer : public ::testing::Test
{
protected:
    // A new session logged in to the peer, whose user folder starts empty.
    void login(const Peer &peer, const QString &password = QString())
    {
        ASSERT_NE(server = sharedFtpServer(peer.kind), nullptr);
        s = std::make_unique<FtpSession>();
        s->ftp.setPassiveMode(peer.passive);
        s->connectTo(server->port(),
                     server->loginUser(),
                     password.isEmpty() ? server->loginPassword() : password);
        if (password.isEmpty())
            ASSERT_TRUE(s->waitLoggedIn()) << server->log().toStdString();
    }
    // Puts a file into the user's "/" and into the listing buffer.
    void putHostFile(const QString &name, const QByteArray &content)
    {
        server->createUserFile(name, content);
        s->buffer.addEntry("\\", "f" + name, QString::number(content.size()) + "*0");
    }
    // Runs the line; true when the action it started ended well.
    bool transfer(const QString &line, TcFTPActionType action)
    {
        const int before = s->doneCount(action);
        if (!s->runAndWait(line))
            ADD_FAILURE() << server->log().right(3000).toStdString();
        return s->doneCount(action) > before && s->lastDone(action)->success;
    }
    bool download(const QString &name)
    {
        return transfer("*download \\" + name + "*" + s->localInternal(name), caDownload);
    }
    bool upload(const QString &name, const QString &hostName)
    {
        return transfer("*upload " + s->localInternal(name) + "*\\" + hostName, caUpload);
    }
    QByteArray hostFile(const QString &name) const { return readFile(server->userPath(name)); }

    FtpTestServer *server = nullptr;
    std::unique_ptr<FtpSession> s;
};

} // namespace

TEST_F(TcFTPTransfer, LogsInAndIsRefusedWithAWrongPassword)
{
    for (const Peer &peer : {FtpPeers[0], FtpPeers[2]}) {
        SCOPED_TRACE(int(peer.kind));
        login(peer, "wrong-password");
        ASSERT_TRUE(waitFor([&] { return s->ftp.State() == csNotConnected; }, 8000));
        EXPECT_FALSE(s->ftp.LoggedIn());
        EXPECT_TRUE(s->sent().last().startsWith("pass "_L1));
        EXPECT_TRUE(s->received().last().startsWith("530"_L1));
        EXPECT_FALSE(s->states.contains(csIdle));
    }
}

// Downloads and uploads of sizes around the 4 KiB blocks, a rename on the host, and the
// failures that send nothing (a missing local file) or stop after RNFR (a missing host file).
TEST_F(TcFTPTransfer, FilesArriveByteForByte)
{
    for (const Peer &peer : FtpPeers) {
        SCOPED_TRACE(int(peer.kind) * 2 + peer.passive);
        login(peer);
        for (qint64 size : {0, 1, 4095, 4096, 4097, 3 * 1024 * 1024 + 17}) {
            SCOPED_TRACE(size);
            const QByteArray content = testBytes(size, quint32(size) + 1);
            const QString get = u"get-%1.bin"_s.arg(size), put = u"put-%1.bin"_s.arg(size);
            putHostFile(get, content);
            EXPECT_TRUE(download(get));
            EXPECT_EQ(s->lastDone(caDownload)->size, size);
            EXPECT_TRUE(readFile(s->localPath(get)) == content);
            ASSERT_TRUE(writeFile(s->localPath(put), content));
            EXPECT_TRUE(upload(put, put));
            EXPECT_EQ(s->lastDone(caUpload)->size, size);
            EXPECT_TRUE(hostFile(put) == content);
            EXPECT_EQ(s->ftp.IOPos(), -1);
            EXPECT_FALSE(s->ftp.Downloading() || s->ftp.Uploading());
        }
        EXPECT_GT(s->progressEvents, 0);
        EXPECT_TRUE(s->sent().contains("type i"));
        EXPECT_EQ(s->sent().contains("pasv"), peer.passive);
        EXPECT_TRUE(s->warnings.isEmpty());

        const qsizetype sentBefore = s->sent().size();
        EXPECT_FALSE(upload("none", "none"));
        EXPECT_EQ(s->sent().size(), sentBefore);

        ASSERT_TRUE(s->runAndWait("*rename \\put-1.bin*new.bin"));
        ASSERT_TRUE(s->runAndWait("*rename \\missing.txt*other.txt"));
        EXPECT_EQ(s->sent().mid(sentBefore),
                  (QStringList{"rnfr /put-1.bin", "rnto /new.bin", "rnfr /missing.txt"}));
        EXPECT_FALSE(QFileInfo::exists(server->userPath("put-1.bin")));
        EXPECT_EQ(hostFile("new.bin"), testBytes(1, 2));
    }
}

// Type A by the extension list: CR LF on the wire, LF in the local file, and a text file
// fetched and sent back lands on the host as it was. pyftpdlib stores LF and converts both
// ways; vsftpd (in its default configuration) sends and stores the wire's bytes, so its text
// files hold CR LF.
TEST_F(TcFTPTransfer, AsciiTypeConvertsLineEndsBothWays)
{
    // On the wire a CR LF straddles every 4096-byte slice.
    QByteArray localText = QByteArray(4095, 'a') + '\n';
    for (char c : {'b', 'c', 'd', 'e'})
        localText += QByteArray(4094, c) + '\n';
    localText += "short\n\na CR\r on its own\nlast line without end";
    QByteArray wireText = localText;
    wireText.replace("\n", "\r\n");
    const QByteArray zip = testBytes(5000, 3), mixed = "one\r\ntwo\nthree";
    for (const Peer &peer : FtpPeers) {
        SCOPED_TRACE(int(peer.kind) * 2 + peer.passive);
        login(peer);
        s->ftp.setASCExtension({"txt"});
        const bool converts = peer.kind == FtpTestServer::Kind::Pyftpdlib;
        const QByteArray hostText = converts ? localText : wireText;
        putHostFile("a.zip", zip);
        putHostFile("readme.TXT", hostText);
        putHostFile("b.zip", zip);
        // A shorter local copy is no partial to resume: a type-A download starts from the top.
        ASSERT_TRUE(writeFile(s->localPath("readme.TXT"), localText.left(100)));
        for (const char *name : {"a.zip", "readme.TXT", "b.zip"})
            EXPECT_TRUE(download(name));
        EXPECT_EQ(s->sent().filter(QRegularExpression("^(type|rest)")),
                  (QStringList{"type i", "type a", "type i"}));
        EXPECT_EQ(readFile(s->localPath("readme.TXT")), localText);
        EXPECT_EQ(readFile(s->localPath("b.zip")), zip);

        // Sent back, it lands as it was; a CR LF already in a local file stays one line end.
        ASSERT_TRUE(writeFile(s->localPath("mixed.txt"), mixed));
        EXPECT_TRUE(upload("readme.TXT", "copy-readme.TXT"));
        EXPECT_TRUE(upload("mixed.txt", "copy-mixed.txt"));
        EXPECT_FALSE(s->ftp.BinaryMode());
        EXPECT_EQ(hostFile("copy-readme.TXT"), hostText);
        EXPECT_EQ(hostFile("copy-mixed.txt"), converts ? "one\ntwo\nthree" : "one\r\ntwo\r\nthree");
    }
}

// With the file-size limit reached a download fails and says why: a file smaller than the
// session's write block, written only when the transfer ends, and a larger one that fails on
// the way. Once the limit is lifted the same session fetches the file whole.
TEST_F(TcFTPTransfer, DownloadBeyondTheFileSizeLimitFailsWithTheReason)
{
    const QByteArray small = testBytes(10000, 21), large = testBytes(1024 * 1024, 22);
    for (const Peer &peer : FtpPeers) {
        SCOPED_TRACE(int(peer.kind) * 2 + peer.passive);
        login(peer);
        putHostFile("small.bin", small);
        putHostFile("large.bin", large);
        {
            const FileSizeLimit limit(4096);
            ASSERT_TRUE(limit.isActive());
            for (const char *name : {"small.bin", "large.bin"}) {
                EXPECT_FALSE(download(name)) << name;
                EXPECT_EQ(s->ftp.FailureReason(), "cannot write the local file: File too large");
                EXPECT_LE(QFileInfo(s->localPath(name)).size(), 4096);
            }
        }
        EXPECT_TRUE(download("small.bin"));
        EXPECT_EQ(readFile(s->localPath("small.bin")), small);
    }
}

// A shorter local file resumes with REST; one as large as the host's or larger, or any with
// resuming off, is fetched again from the start.
TEST_F(TcFTPTransfer, ResumesAPartialDownload)
{
    const QByteArray content = testBytes(1024 * 1024 + 5, 11);
    for (const Peer &peer : FtpPeers) {
        SCOPED_TRACE(int(peer.kind) * 2 + peer.passive);
        login(peer);
        putHostFile("big.bin", content);
        // clang-format off
        struct Case { qint64 localSize; bool resume; const char *rest; };
        for (const Case &c : {Case{1000, true, "rest 1000"}, Case{content.size(), true, nullptr},
                              Case{content.size() + 10, true, nullptr}, Case{500, false, nullptr}}) {
            // clang-format on
            SCOPED_TRACE(c.localSize);
            ASSERT_TRUE(writeFile(s->localPath("big.bin"),
                                  c.localSize <= content.size() ? content.left(c.localSize)
                                                                : testBytes(c.localSize, 99)));
            s->ftp.setResumeTransfers(c.resume);
            const qsizetype sentBefore = s->sent().size();
            EXPECT_TRUE(download("big.bin"));
            EXPECT_EQ(s->lastDone(caDownload)->size, content.size());
            const QStringList sent
                    = s->sent().mid(sentBefore).filter(QRegularExpression("^(rest|retr)"));
            const QStringList expected{c.rest ? c.rest : "rest none", "retr /big.bin"};
            EXPECT_EQ(sent, c.rest ? expected : expected.mid(1));
            EXPECT_TRUE(readFile(s->localPath("big.bin")) == content);
        }
    }
}
