// Logins and transfers against real servers, vsftpd and pyftpdlib, each in active and passive
// mode: every file must arrive byte for byte.
#include "support/eventwait.h"
#include "support/files.h"
#include "support/ftpsession.h"
#include "support/sharedftpserver.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <memory>

using namespace ovtest;
using namespace Qt::StringLiterals;

namespace {

class TcFTPTransfer : public ::testing::Test
{
protected:
    // A new session logged in to the peer, whose user folder starts empty.
    void login(const FtpPeer &peer)
    {
        ASSERT_NE(server = sharedFtpServer(peer.kind), nullptr);
        s = std::make_unique<FtpSession>();
        s->ftp.setPassiveMode(peer.passive);
        ASSERT_TRUE(s->loginTo(*server));
    }
    // Puts a file into the user's "/" and into the listing buffer.
    void putHostFile(const QString &name, const QByteArray &content)
    {
        server->createUserFile(name, content);
        s->buffer.addEntry("\\", "f" + name, QString::number(content.size()) + "*0");
    }
    ::testing::AssertionResult download(const QString &name)
    {
        return s->ran("*download \\" + name + "*" + s->localInternal(name), caDownload);
    }
    ::testing::AssertionResult upload(const QString &name, const QString &hostName)
    {
        return s->ran("*upload " + s->localInternal(name) + "*\\" + hostName, caUpload);
    }
    QByteArray hostFile(const QString &name) const { return readFile(server->userPath(name)); }

    FtpTestServer *server = nullptr;
    std::unique_ptr<FtpSession> s;
};

} // namespace

// Downloads and uploads of sizes around the 4 KiB blocks.
TEST_F(TcFTPTransfer, FilesArriveByteForByte)
{
    for (const FtpPeer &peer : FtpPeers) {
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
        // Both servers offer EPSV.
        EXPECT_EQ(s->sent().contains("epsv"), peer.passive);
        EXPECT_TRUE(s->warnings.isEmpty());
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
    for (const FtpPeer &peer : FtpPeers) {
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

// A shorter local file resumes with REST; one as large as the host's or larger, or any with
// resuming off, is fetched again from the start.
TEST_F(TcFTPTransfer, ResumesAPartialDownload)
{
    const QByteArray content = testBytes(1024 * 1024 + 5, 11);
    for (const FtpPeer &peer : FtpPeers) {
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
