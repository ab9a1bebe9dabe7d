// orvane-ftp-cli against pyftpdlib's TLS handler. This host reads the upload's end only after
// its side of each data connection's handshake, and in active mode connects at PORT, before the
// transfer command: it closes a data connection that brings a handshake before the command.
#include "support/clirun.h"
#include "support/files.h"
#include "support/pyftpdlibserver.h"
#include "support/testcertificates.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using ovtest::CliRun;
using ovtest::TestCertificates;

namespace {

CliRun runTls(const QStringList &words)
{
    ovtest::CliRunOptions options;
    options.plainUnlessTold = false;
    return ovtest::runCli(words, options);
}

} // namespace

// Uploads and downloads byte-exact over TLS 1.3 in passive and active mode. Several uploads
// each: a client that closes its end over the host's late tickets resets the connection, and
// the host stores what it had read by then, a short file, as complete.
TEST(CliPyftpdlibTls, UploadsAndDownloadsByteExactInBothModes)
{
    TestCertificates certificates;
    ASSERT_TRUE(certificates.make());
    ovtest::PyftpdlibServer pyftpd;
    pyftpd.setTls(certificates.certificate(TestCertificates::Signed),
                  certificates.key(TestCertificates::Signed));
    ASSERT_TRUE(pyftpd.start());
    QTemporaryDir local;
    ASSERT_TRUE(local.isValid());
    const QByteArray bytes = ovtest::testBytes(2 * 1024 * 1024 + 5, 11);
    ASSERT_TRUE(ovtest::writeFile(local.filePath("up.bin"), bytes));
    const QString base = QStringLiteral("ftpes://127.0.0.1:%1/").arg(pyftpd.port());
    const QString ca = certificates.authority();

    for (const bool passive : {true, false}) {
        const QString mode = passive ? QStringLiteral("passive") : QStringLiteral("active");
        SCOPED_TRACE(mode.toStdString());
        const QStringList modeArgs = passive ? QStringList{"--passive"} : QStringList();
        for (int round = 0; round < 3; ++round) {
            const QString name = QStringLiteral("%1-%2.bin").arg(mode).arg(round);
            const CliRun run = runTls(QStringList{"-v", "--ca-file", ca} + modeArgs
                                      + QStringList{"put", local.filePath("up.bin"), base + name});
            ASSERT_EQ(run.exitStatus, 0) << run.describe();
            EXPECT_TRUE(run.out.contains("TLS established (TLSv1.3")) << run.describe();
            EXPECT_TRUE(run.out.contains(passive ? "<<: epsv" : "<<: port ")) << run.describe();
            const QByteArray stored = ovtest::readFile(pyftpd.path(name));
            EXPECT_EQ(stored.size(), bytes.size()) << name.toStdString();
            EXPECT_TRUE(stored == bytes) << name.toStdString();
        }
        const QString name = mode + QStringLiteral("-0.bin");
        const QString back = local.filePath("back-" + name);
        const CliRun run = runTls(QStringList{"--ca-file", ca} + modeArgs
                                  + QStringList{"get", base + name, back});
        ASSERT_EQ(run.exitStatus, 0) << run.describe();
        const QByteArray fetched = ovtest::readFile(back);
        EXPECT_EQ(fetched.size(), bytes.size());
        EXPECT_TRUE(fetched == bytes);
    }
}
