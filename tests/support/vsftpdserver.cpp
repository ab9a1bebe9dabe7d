#include "support/vsftpdserver.h"

#include "support/eventwait.h"
#include "support/freeport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QLockFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ovtest {

namespace {

const char VsftpdProgram[] = "/usr/sbin/vsftpd";
const char AccountName[] = "ovftptest";
const char AccountPassword[] = "Orv4ne-ftp-test";
const char PamService[] = "orvane-ftptest";
constexpr int PassivePortCount = 16;
constexpr int StartAttempts = 3;
constexpr int SetUpTimeoutMs = 30000;
constexpr int RangeLow = 20000;
constexpr int RangeHigh = 32000;
constexpr int RangeAttempts = 200;

// The local account that logs in to vsftpd: home "/" (vsftpd changes to the home before it moves
// to local_root), no login shell, and a cheap password hash (the default, yescrypt, costs every
// login a fifth of a second). Its PAM service checks the password and the account only: the
// stock one (pam_shells) refuses an account without a shell, and "nodelay" drops pam_unix's
// two-second pause after a wrong password.
const char AccountScript[] = R"sh(set -e
export PATH=/usr/sbin:/usr/bin:/sbin:/bin
id -u %1 >/dev/null 2>&1 || useradd --system --no-create-home --home-dir / \
    --shell /usr/sbin/nologin %1
[ "$(getent passwd %1 | cut -d: -f6)" = / ] || usermod -d / %1
echo '%1:%2' | chpasswd --crypt-method SHA512 --sha-rounds 5000
printf 'auth required pam_unix.so nodelay\naccount required pam_unix.so\nsession required pam_permit.so\n' \
    > /etc/pam.d/%3
)sh";

// %1 the control port, %2 the folder, %3 the PAM service, %4 and %5 the passive port range.
// Sandboxing (seccomp, isolate) fails in containers and adds nothing to a test.
const char Config[] = R"(listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=%1
background=NO
seccomp_sandbox=NO
isolate=NO
isolate_network=NO
secure_chroot_dir=%2/empty
anonymous_enable=YES
no_anon_password=YES
anon_root=%2/anon
anon_upload_enable=YES
anon_mkdir_write_enable=YES
anon_other_write_enable=YES
anon_umask=022
local_enable=YES
write_enable=YES
local_umask=022
local_root=%2/home
chroot_local_user=YES
allow_writeable_chroot=YES
pam_service_name=%3
delay_failed_login=0
pasv_enable=YES
pasv_address=127.0.0.1
pasv_min_port=%4
pasv_max_port=%5
port_enable=YES
connect_from_port_20=NO
xferlog_enable=YES
dual_log_enable=YES
log_ftp_protocol=YES
vsftpd_log_file=%2/vsftpd.log
xferlog_file=%2/xferlog
)";

// The first of PassivePortCount consecutive ports that are all free right now, picked at random
// below the system's ephemeral range, so that outgoing connections do not take them meanwhile.
quint16 freePassiveRange()
{
    for (int attempt = 0; attempt < RangeAttempts; ++attempt) {
        const int first
                = QRandomGenerator::global()->bounded(RangeLow, RangeHigh - PassivePortCount);
        QTcpServer held[PassivePortCount];
        int port = first;
        while (port < first + PassivePortCount
               && held[port - first].listen(QHostAddress::LocalHost, quint16(port)))
            ++port;
        if (port == first + PassivePortCount)
            return quint16(first);
    }
    return 0;
}

// Sets the account up once per test process, serialised across test processes by a lock file.
bool ensureAccount(QString *error)
{
    static bool done = false;
    if (done)
        return true;
    QLockFile lock(QDir::temp().filePath(QStringLiteral("orvane-ftptest-account.lock")));
    if (!lock.tryLock(SetUpTimeoutMs)) {
        *error = QStringLiteral("cannot lock the test account set-up");
        return false;
    }
    QProcess shell;
    shell.setProcessChannelMode(QProcess::MergedChannels);
    shell.start(QStringLiteral("/bin/sh"),
                {QStringLiteral("-c"),
                 QString::fromLatin1(AccountScript).arg(AccountName, AccountPassword, PamService)});
    done = shell.waitForFinished(SetUpTimeoutMs) && shell.exitStatus() == QProcess::NormalExit
           && shell.exitCode() == 0;
    if (!done) {
        shell.kill();
        shell.waitForFinished(SetUpTimeoutMs);
        *error = QString::fromLocal8Bit(shell.readAll());
    }
    return done;
}

// Makes path (when missing) with the given mode, owned by the account name ("" = root).
bool own(const QString &path, bool folder, const char *name)
{
    const passwd *entry = *name ? ::getpwnam(name) : nullptr;
    const QByteArray native = QFile::encodeName(path);
    return (!folder || QFileInfo(path).isDir() || QDir().mkdir(path))
           && ::chmod(native.constData(), folder ? 0755 : 0644) == 0
           && ::chown(native.constData(), entry ? entry->pw_uid : 0, entry ? entry->pw_gid : 0)
                      == 0;
}

const char *ownerOf(VsftpdServer::Tree tree)
{
    return tree == VsftpdServer::Tree::AnonymousRoot ? ""
           : tree == VsftpdServer::Tree::Upload      ? "ftp"
                                                     : AccountName;
}

} // namespace

QString VsftpdServer::userName()
{
    return QString::fromLatin1(AccountName);
}

QString VsftpdServer::password()
{
    return QString::fromLatin1(AccountPassword);
}

QString VsftpdServer::path(Tree tree, const QString &relativePath) const
{
    const char *base = tree == Tree::AnonymousRoot ? "/anon"
                       : tree == Tree::Upload      ? "/anon/upload"
                                                   : "/home";
    return m_peer.folder() + QLatin1String(base)
           + (relativePath.isEmpty() ? QString() : u'/' + relativePath);
}

QString VsftpdServer::createFolder(Tree tree, const QString &relativePath) const
{
    QString current = path(tree);
    for (const QString &part : relativePath.split(u'/', Qt::SkipEmptyParts)) {
        current += u'/' + part;
        if (!own(current, true, ownerOf(tree))) {
            ADD_FAILURE() << "cannot create the folder " << current.toStdString();
            return QString();
        }
    }
    return current;
}

QString VsftpdServer::createFile(Tree tree,
                                 const QString &relativePath,
                                 const QByteArray &content) const
{
    const int slash = relativePath.lastIndexOf(u'/');
    if (slash > 0 && createFolder(tree, relativePath.left(slash)).isEmpty())
        return QString();
    const QString target = path(tree, relativePath);
    if (!writeFile(target, content) || !own(target, false, ownerOf(tree))) {
        ADD_FAILURE() << "cannot write " << target.toStdString();
        return QString();
    }
    return target;
}

void VsftpdServer::createTree(Tree tree, const QString &folder, const FileTree &files) const
{
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        createFile(tree, folder + u'/' + it.key(), it.value());
}

::testing::AssertionResult VsftpdServer::start(int timeoutMs)
{
    stop();
    QString error;
    if (::geteuid() != 0)
        return ::testing::AssertionFailure() << "vsftpd tests must run as root";
    if (!QFileInfo::exists(QString::fromLatin1(VsftpdProgram)) || !::getpwnam("ftp"))
        return ::testing::AssertionFailure() << VsftpdProgram << " or the \"ftp\" account is "
                                             << "missing (run scripts/install-deps.sh)";
    if (!ensureAccount(&error))
        return ::testing::AssertionFailure() << "test account: " << error.toStdString();
    // Every account must reach its tree; the folder holds nothing secret.
    const QString folder = m_peer.folder();
    if (folder.isEmpty() || !own(folder, true, "") || !own(folder + "/empty", true, "")
        || !own(anonymousRoot(), true, "") || !own(uploadFolder(), true, "ftp")
        || !own(userRoot(), true, AccountName))
        return ::testing::AssertionFailure()
               << "cannot prepare the served folders in " << folder.toStdString();

    ::testing::AssertionResult result = ::testing::AssertionFailure();
    for (int attempt = 0; attempt < StartAttempts; ++attempt) {
        m_port = freePort();
        const quint16 passive = freePassiveRange();
        if (m_port == 0 || passive == 0)
            return ::testing::AssertionFailure() << "no free ports on 127.0.0.1";
        const QString config
                = QString::fromLatin1(Config).arg(QString::number(m_port),
                                                  folder,
                                                  QString::fromLatin1(PamService),
                                                  QString::number(passive),
                                                  QString::number(passive + PassivePortCount - 1))
                  + m_options;
        if (!writeFile(m_peer.path("vsftpd.conf"), config.toUtf8()))
            return ::testing::AssertionFailure() << "cannot write the configuration";
        if (!m_peer.start(
                    QString::fromLatin1(VsftpdProgram), {m_peer.path("vsftpd.conf")}, &error, true))
            return ::testing::AssertionFailure() << error.toStdString();
        if ((result = waitUntilReady(timeoutMs)))
            return result;
        m_peer.stop();
        // Another process took a port between our check and vsftpd's bind: try new ports.
        if (!log().contains(QStringLiteral("could not bind")))
            break;
    }
    return result;
}

::testing::AssertionResult VsftpdServer::waitUntilReady(int timeoutMs)
{
    // With TLS from the first byte the greeting comes only after a handshake: an accepted
    // connection is enough.
    const bool implicitTls = m_options.contains(QStringLiteral("implicit_ssl=YES"));
    for (QDeadlineTimer deadline(timeoutMs); !deadline.hasExpired(); spinFor(20)) {
        if (!m_peer.isRunning())
            return ::testing::AssertionFailure() << "vsftpd exited at start:\n"
                                                 << log().toStdString();
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_port);
        QByteArray greeting;
        waitFor(
                [&] {
                    greeting += probe.readAll();
                    return greeting.contains('\n')
                           || probe.state() == QAbstractSocket::UnconnectedState;
                },
                int(qBound(qint64(1), deadline.remainingTime(), qint64(2000))));
        if ((greeting.startsWith("220 ")
             || (implicitTls && probe.state() == QAbstractSocket::ConnectedState))
            && m_peer.isRunning())
            return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "vsftpd did not greet on port " << m_port << " within " << timeoutMs << " ms:\n"
           << log().toStdString();
}

QStringList VsftpdServer::commands() const
{
    // Sun Dec  6 13:44:09 2026 [pid 6569] [ftp] FTP command: Client "127.0.0.1", "RETR a.txt"
    return m_peer.linesAfter(
            QStringLiteral("vsftpd.log"), "FTP command: Client \"127.0.0.1\", \"", '"');
}

} // namespace ovtest
