// Logins and transfers against real servers, vsftpd and pyftpdlib, each in active and passive
// mode: every file must arrive byte for byte.
#include "ftp/tcftp.h"
#include "platform/localpath.h"
#include "sessionprobe.h"
#include "support/eventwait.h"
#include "support/filesizelimit.h"
#include "support/pyftpdlibserver.h"
#include "support/vsftpdserver.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using ovtest::PyftpdlibServer;
using ovtest::VsftpdServer;
using ovtest::waitFor;

namespace {

enum class Peer { Vsftpd, Pyftpdlib };

struct TransferCase
{
    Peer peer;
    bool passive;
};

std::string caseName(const ::testing::TestParamInfo<TransferCase> &info)
{
    return std::string(info.param.peer == Peer::Vsftpd ? "Vsftpd" : "Pyftpdlib")
           + (info.param.passive ? "Passive" : "Active");
}

class TcFTPTransfer : public ::testing::TestWithParam<TransferCase>
{
protected:
    static void SetUpTestSuite()
    {
        vsftpd = new VsftpdServer;
        if (const auto started = vsftpd->start(); !started) {
            failure += started.message();
            delete vsftpd;
            vsftpd = nullptr;
        }
        pyftpd = new PyftpdlibServer;
        if (const auto started = pyftpd->start(); !started) {
            failure += started.message();
            delete pyftpd;
            pyftpd = nullptr;
        }
    }
    static void TearDownTestSuite()
    {
        delete vsftpd;
        delete pyftpd;
        vsftpd = nullptr;
        pyftpd = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(GetParam().peer == Peer::Vsftpd ? vsftpd != nullptr : pyftpd != nullptr)
                << failure;
        ASSERT_TRUE(local.isValid());
        // Each case works in its own host folder, so that the four cases do not meet.
        folder = QString::fromStdString(
                         caseName(::testing::TestParamInfo<TransferCase>(GetParam(), 0)))
                 + QString::fromLatin1(
                           ::testing::UnitTest::GetInstance()->current_test_info()->name())
                           .section(QLatin1Char('/'), 0, 0);
        createHostFolder(folder);
        ftp.setPassiveMode(GetParam().passive);
        ftp.setListingBuffer(&buffer);
    }
    void TearDown() override
    {
        if (ftp.State() != csNotConnected)
            ftp.Disconnect();
    }

    ::TcFTPSession session(const QString &password = QString()) const
    {
        const bool vs = GetParam().peer == Peer::Vsftpd;
        return ::TcFTPSession{
                QStringLiteral("127.0.0.1"),
                QString::number(vs ? vsftpd->port() : pyftpd->port()),
                vs ? VsftpdServer::userName() : PyftpdlibServer::userName(),
                password.isEmpty() ? (vs ? VsftpdServer::password() : PyftpdlibServer::password())
                                   : password};
    }
    QString serverLog() const
    {
        return GetParam().peer == Peer::Vsftpd ? vsftpd->log() : pyftpd->log();
    }
    // Native path of a file on the host, relative to the logged-in user's root.
    QString hostNative(const QString &relative) const
    {
        return GetParam().peer == Peer::Vsftpd
                       ? vsftpd->path(VsftpdServer::Tree::UserHome, relative)
                       : pyftpd->path(relative);
    }
    void createHostFolder(const QString &relative) const
    {
        if (GetParam().peer == Peer::Vsftpd)
            vsftpd->createFolder(VsftpdServer::Tree::UserHome, relative);
        else
            pyftpd->createFolder(relative);
    }
    // Puts a file on the host and into the listing buffer; returns its host path in internal
    // form.
    QString putHostFile(const QString &name, const QByteArray &content)
    {
        const QString relative = folder + QLatin1Char('/') + name;
        if (GetParam().peer == Peer::Vsftpd)
            vsftpd->createFile(VsftpdServer::Tree::UserHome, relative, content);
        else
            pyftpd->createFile(relative, content);
        const QString hostFolder = QLatin1Char('\\') + folder + QLatin1Char('\\');
        buffer.addEntry(hostFolder,
                        QLatin1Char('f') + name,
                        QString::number(content.size()) + QStringLiteral("*0"));
        return hostFolder + name;
    }
    QString hostFile(const QString &name) const
    {
        return QLatin1Char('\\') + folder + QLatin1Char('\\') + name;
    }
    QString localNative(const QString &name) const { return local.filePath(name); }
    QString localInternal(const QString &name) const { return NativeToLocal(local.filePath(name)); }

    void login()
    {
        ftp.Connect(session());
        ASSERT_TRUE(waitFor([&] { return ftp.LoggedIn() && ftp.State() == csIdle; }, 8000))
                << serverLog().toStdString();
    }
    // Runs one own command and waits for its action to end.
    const SessionProbe::Action *run(const QString &line, TcFTPActionType action)
    {
        const int before = probe.doneCount(action);
        ftp.AddCommand(line);
        ftp.Execute();
        if (!waitFor([&] { return probe.doneCount(action) > before && ftp.State() == csIdle; },
                     20000)) {
            ADD_FAILURE() << "no end of " << line.toStdString() << "\n"
                          << serverLog().right(3000).toStdString();
            return nullptr;
        }
        return probe.lastDone(action);
    }

    static VsftpdServer *vsftpd;
    static PyftpdlibServer *pyftpd;
    static std::string failure;

    QTemporaryDir local;
    QString folder;
    ListingBuffer buffer;
    TcFTP ftp;
    SessionProbe probe{ftp};
};

VsftpdServer *TcFTPTransfer::vsftpd = nullptr;
PyftpdlibServer *TcFTPTransfer::pyftpd = nullptr;
std::string TcFTPTransfer::failure;

const QList<qint64> Sizes = {0, 1, 4095, 4096, 4097, 3 * 1024 * 1024 + 17};

} // namespace

TEST_P(TcFTPTransfer, LogsInAndIsRefusedWithAWrongPassword)
{
    login();
    EXPECT_EQ(probe.states.first(), csConnecting);
    EXPECT_TRUE(probe.received().first().startsWith(QLatin1String("220")));
    ftp.Disconnect();

    TcFTP refused;
    SessionProbe refusedProbe(refused);
    refused.Connect(session(QStringLiteral("wrong-password")));
    ASSERT_TRUE(waitFor([&] { return refused.State() == csNotConnected; }, 8000));
    EXPECT_FALSE(refused.LoggedIn());
    EXPECT_TRUE(refusedProbe.sent().last().startsWith(QLatin1String("pass ")));
    EXPECT_TRUE(refusedProbe.received().last().startsWith(QLatin1String("530")));
    EXPECT_FALSE(refusedProbe.states.contains(csIdle));
}

TEST_P(TcFTPTransfer, BinaryDownloadsArriveByteForByte)
{
    login();
    for (qint64 size : Sizes) {
        SCOPED_TRACE(size);
        const QByteArray content = testBytes(size, quint32(size) + 1);
        const QString name = QStringLiteral("get-%1.bin").arg(size);
        const QString host = putHostFile(name, content);
        const auto *done
                = run(QStringLiteral("*download ") + host + QLatin1Char('*') + localInternal(name),
                      caDownload);
        ASSERT_NE(done, nullptr);
        EXPECT_TRUE(done->success);
        EXPECT_EQ(done->size, size);
        EXPECT_EQ(fileSha256(localNative(name)), sha256(content));
        EXPECT_EQ(ftp.IOPos(), -1);
        EXPECT_EQ(ftp.IOSize(), -1);
        EXPECT_EQ(ftp.IOTransfered(), -1);
        EXPECT_EQ(ftp.IOTime(), -1);
        EXPECT_TRUE(ftp.IOsrcFile().isEmpty());
        EXPECT_FALSE(ftp.Downloading());
    }
    EXPECT_GT(probe.progressEvents, 0);
    EXPECT_TRUE(probe.sent().contains(QStringLiteral("type i")));
    // Both servers offer EPSV.
    EXPECT_EQ(probe.sent().contains(QStringLiteral("epsv")), GetParam().passive);
    EXPECT_TRUE(probe.warnings.isEmpty());
    EXPECT_TRUE(probe.internalErrors.isEmpty());
}

TEST_P(TcFTPTransfer, BinaryUploadsArriveByteForByte)
{
    login();
    for (qint64 size : Sizes) {
        SCOPED_TRACE(size);
        const QByteArray content = testBytes(size, quint32(size) + 7);
        const QString name = QStringLiteral("put-%1.bin").arg(size);
        ASSERT_TRUE(writeAll(localNative(name), content));
        const auto *done = run(QStringLiteral("*upload ") + localInternal(name) + QLatin1Char('*')
                                       + hostFile(name),
                               caUpload);
        ASSERT_NE(done, nullptr);
        EXPECT_TRUE(done->success);
        EXPECT_EQ(done->size, size);
        EXPECT_EQ(fileSha256(hostNative(folder + QLatin1Char('/') + name)), sha256(content));
        EXPECT_EQ(ftp.IOPos(), -1);
        EXPECT_FALSE(ftp.Uploading());
    }
    EXPECT_TRUE(probe.sent().contains(QStringLiteral("stor /") + folder
                                      + QStringLiteral("/put-0.bin")));

    // A local file that does not exist: reported as failed, nothing sent.
    const qsizetype sentBefore = probe.sent().size();
    const auto *missing = run(QStringLiteral("*upload ") + localInternal(QStringLiteral("none"))
                                      + QLatin1Char('*') + hostFile(QStringLiteral("none")),
                              caUpload);
    ASSERT_NE(missing, nullptr);
    EXPECT_FALSE(missing->success);
    EXPECT_EQ(probe.sent().size(), sentBefore);
}

// Type A by the extension list: CR LF on the wire, LF in the local file, and a text file
// fetched and sent back lands on the host as it was. pyftpdlib stores LF and converts both
// ways; vsftpd (in its default configuration) sends and stores the wire's bytes, so its text
// files hold CR LF.
TEST_P(TcFTPTransfer, AsciiTypeConvertsLineEndsBothWays)
{
    ftp.setASCExtension({QStringLiteral("txt")});
    login();
    // On the wire a CR LF straddles every 4096-byte slice.
    QByteArray localText = QByteArray(4095, 'a') + '\n';
    for (char c : {'b', 'c', 'd', 'e'})
        localText += QByteArray(4094, c) + '\n';
    localText += "short\n\na CR\r on its own\nlast line without end";
    QByteArray wireText = localText;
    wireText.replace("\n", "\r\n");
    const bool converts = GetParam().peer == Peer::Pyftpdlib;
    const QByteArray hostText = converts ? localText : wireText;

    const QByteArray zip = testBytes(5000, 3);
    const QString a = putHostFile(QStringLiteral("a.zip"), zip);
    const QString readme = putHostFile(QStringLiteral("readme.TXT"), hostText);
    const QString b = putHostFile(QStringLiteral("b.zip"), zip);
    // A shorter local copy is no partial to resume: a type-A download starts from the top.
    ASSERT_TRUE(writeAll(localNative(QStringLiteral("readme.TXT")), localText.left(100)));

    for (const QString &host : {a, readme, b}) {
        const QString name = host.section(QLatin1Char('\\'), -1);
        const auto *done
                = run(QStringLiteral("*download ") + host + QLatin1Char('*') + localInternal(name),
                      caDownload);
        ASSERT_NE(done, nullptr);
        EXPECT_TRUE(done->success);
    }
    QStringList types;
    for (const QString &line : probe.sent()) {
        if (line.startsWith(QLatin1String("type ")))
            types.append(line);
    }
    EXPECT_EQ(types,
              (QStringList{QStringLiteral("type i"),
                           QStringLiteral("type a"),
                           QStringLiteral("type i")}));
    EXPECT_TRUE(probe.sent().filter(QStringLiteral("rest")).isEmpty());
    EXPECT_TRUE(ftp.BinaryMode());
    EXPECT_EQ(readAll(localNative(QStringLiteral("readme.TXT"))), localText);
    EXPECT_EQ(readAll(localNative(QStringLiteral("b.zip"))), zip);

    // Sent back, it lands as it was; a CR LF already in a local file stays one line end.
    const QByteArray mixed = "one\r\ntwo\nthree";
    ASSERT_TRUE(writeAll(localNative(QStringLiteral("mixed.txt")), mixed));
    for (const QString &name : {QStringLiteral("readme.TXT"), QStringLiteral("mixed.txt")}) {
        const auto *up = run(QStringLiteral("*upload ") + localInternal(name) + QLatin1Char('*')
                                     + hostFile(QStringLiteral("copy-") + name),
                             caUpload);
        ASSERT_NE(up, nullptr);
        EXPECT_TRUE(up->success);
    }
    EXPECT_FALSE(ftp.BinaryMode());
    EXPECT_EQ(readAll(hostNative(folder + QStringLiteral("/copy-readme.TXT"))), hostText);
    EXPECT_EQ(readAll(hostNative(folder + QStringLiteral("/copy-mixed.txt"))),
              converts ? QByteArray("one\ntwo\nthree") : QByteArray("one\r\ntwo\r\nthree"));
}

// With the file-size limit reached a download fails and says why: a file smaller than the
// session's write block, written only when the transfer ends, and a larger one that fails on
// the way. Once the limit is lifted the same session fetches the file whole.
TEST_P(TcFTPTransfer, DownloadBeyondTheFileSizeLimitFailsWithTheReason)
{
    login();
    const QByteArray small = testBytes(10000, 21);
    const QByteArray large = testBytes(1024 * 1024, 22);
    const QString smallHost = putHostFile(QStringLiteral("small.bin"), small);
    const QString largeHost = putHostFile(QStringLiteral("large.bin"), large);
    {
        const ovtest::FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.isActive());
        for (const QString &host : {smallHost, largeHost}) {
            const QString name = host.section(QLatin1Char('\\'), -1);
            SCOPED_TRACE(name.toStdString());
            const auto *done = run(QStringLiteral("*download ") + host + QLatin1Char('*')
                                           + localInternal(name),
                                   caDownload);
            ASSERT_NE(done, nullptr);
            EXPECT_FALSE(done->success);
            EXPECT_EQ(ftp.FailureReason(),
                      QStringLiteral("cannot write the local file: File too large"));
            EXPECT_LE(QFileInfo(localNative(name)).size(), 4096);
        }
    }
    const auto *again = run(QStringLiteral("*download ") + smallHost + QLatin1Char('*')
                                    + localInternal(QStringLiteral("small.bin")),
                            caDownload);
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(again->success);
    EXPECT_EQ(readAll(localNative(QStringLiteral("small.bin"))), small);
}

TEST_P(TcFTPTransfer, ResumesAPartialDownload)
{
    login();
    const QByteArray content = testBytes(1024 * 1024 + 5, 11);
    const QString host = putHostFile(QStringLiteral("big.bin"), content);
    const QString name = QStringLiteral("big.bin");
    ASSERT_TRUE(writeAll(localNative(name), content.left(1000)));

    const auto *done
            = run(QStringLiteral("*download ") + host + QLatin1Char('*') + localInternal(name),
                  caDownload);
    ASSERT_NE(done, nullptr);
    EXPECT_TRUE(done->success);
    EXPECT_EQ(done->size, content.size());
    const QStringList sent = probe.sent();
    const qsizetype rest = sent.indexOf(QStringLiteral("rest 1000"));
    ASSERT_GE(rest, 0) << sent.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(sent.value(rest + 1), QStringLiteral("retr /") + folder + QStringLiteral("/big.bin"));
    EXPECT_EQ(fileSha256(localNative(name)), sha256(content));

    // A local file as large as the host's (or larger) is fetched again from the start.
    for (qint64 localSize : {qint64(content.size()), qint64(content.size()) + 10}) {
        SCOPED_TRACE(localSize);
        ASSERT_TRUE(writeAll(localNative(name), testBytes(localSize, 99)));
        const qsizetype sentBefore = probe.sent().size();
        const auto *again
                = run(QStringLiteral("*download ") + host + QLatin1Char('*') + localInternal(name),
                      caDownload);
        ASSERT_NE(again, nullptr);
        EXPECT_TRUE(again->success);
        EXPECT_TRUE(probe.sent().mid(sentBefore).filter(QStringLiteral("rest")).isEmpty());
        EXPECT_EQ(fileSha256(localNative(name)), sha256(content));
    }

    // Without ResumeTransfers a partial file is replaced as well.
    ftp.setResumeTransfers(false);
    ASSERT_TRUE(writeAll(localNative(name), content.left(500)));
    const qsizetype sentBefore = probe.sent().size();
    const auto *whole
            = run(QStringLiteral("*download ") + host + QLatin1Char('*') + localInternal(name),
                  caDownload);
    ASSERT_NE(whole, nullptr);
    EXPECT_TRUE(whole->success);
    EXPECT_TRUE(probe.sent().mid(sentBefore).filter(QStringLiteral("rest")).isEmpty());
    EXPECT_EQ(fileSha256(localNative(name)), sha256(content));
}

TEST_P(TcFTPTransfer, RenamesOnTheHost)
{
    login();
    const QByteArray content = "rename me";
    putHostFile(QStringLiteral("old.txt"), content);
    ftp.AddCommand(QStringLiteral("*rename ") + hostFile(QStringLiteral("old.txt"))
                   + QStringLiteral("*new.txt"));
    ftp.Execute();
    ASSERT_TRUE(waitFor([&] {
        return ftp.State() == csIdle && probe.sent().last().startsWith(QLatin1String("rnto"));
    }));
    const QStringList sent = probe.sent();
    EXPECT_EQ(sent.at(sent.size() - 2),
              QStringLiteral("rnfr /") + folder + QStringLiteral("/old.txt"));
    EXPECT_EQ(sent.last(), QStringLiteral("rnto /") + folder + QStringLiteral("/new.txt"));
    EXPECT_TRUE(probe.received().last().startsWith(QLatin1String("250")));
    EXPECT_FALSE(QFile::exists(hostNative(folder + QStringLiteral("/old.txt"))));
    EXPECT_EQ(readAll(hostNative(folder + QStringLiteral("/new.txt"))), content);

    // RNFR of a missing file: no RNTO follows.
    const qsizetype sentBefore = probe.sent().size();
    ftp.AddCommand(QStringLiteral("*rename ") + hostFile(QStringLiteral("missing.txt"))
                   + QStringLiteral("*other.txt"));
    ftp.Execute();
    ASSERT_TRUE(waitFor([&] { return ftp.State() == csIdle; }));
    EXPECT_EQ(probe.sent().mid(sentBefore),
              QStringList{QStringLiteral("rnfr /") + folder + QStringLiteral("/missing.txt")});
}

INSTANTIATE_TEST_SUITE_P(Peers,
                         TcFTPTransfer,
                         ::testing::Values(TransferCase{Peer::Vsftpd, false},
                                           TransferCase{Peer::Vsftpd, true},
                                           TransferCase{Peer::Pyftpdlib, false},
                                           TransferCase{Peer::Pyftpdlib, true}),
                         caseName);
