#include "support/vsftpdserver.h"

#include "support/eventwait.h"
#include "support/freeport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QLockFile>
#include <QProcess>
#include <QTcpSocket>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ovtest {

namespace {

const char VsftpdProgram[] = "/usr/sbin/vsftpd";
const QLatin1String PamService("orvane-ftptest");

// The account that logs in: home "/" (vsftpd changes to the home before local_root), no shell,
// and a cheap password hash (yescrypt costs every login a fifth of a second). Its PAM service
// checks password and account only: the stock one (pam_shells) refuses an account without a
// shell, and "nodelay" drops pam_unix's pause after a wrong password.
const char AccountScript[] = R"sh(set -e
export PATH=/usr/sbin:/usr/bin:/sbin:/bin
id -u %1 >/dev/null 2>&1 || useradd --system --no-create-home --home-dir / \
    --shell /usr/sbin/nologin %1
[ "$(getent passwd %1 | cut -d: -f6)" = / ] || usermod -d / %1
echo '%1:%2' | chpasswd --crypt-method SHA512 --sha-rounds 5000
printf 'auth required pam_unix.so nodelay\naccount required pam_unix.so\nsession required pam_permit.so\n' \
    > /etc/pam.d/%3
)sh";

// %1 the control port, %2 the folder, %3 the PAM service. Sandboxing (seccomp, isolate) fails in
// containers. Passive ports are vsftpd's choice, which retries one that is taken.
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
port_enable=YES
connect_from_port_20=NO
xferlog_enable=YES
dual_log_enable=YES
log_ftp_protocol=YES
vsftpd_log_file=%2/vsftpd.log
xferlog_file=%2/xferlog
)";

// Sets the account up once per test process, serialised across test processes by a lock file.
bool ensureAccount(QString *error)
{
    static bool done = false;
    QLockFile lock(QDir::temp().filePath(QStringLiteral("orvane-ftptest-account.lock")));
    *error = QStringLiteral("cannot lock the account set-up");
    if (done || !lock.tryLock(30000))
        return done;
    QProcess shell;
    shell.setProcessChannelMode(QProcess::MergedChannels);
    shell.start(QStringLiteral("/bin/sh"),
                {QStringLiteral("-c"),
                 QString::fromLatin1(AccountScript)
                         .arg(VsftpdServer::userName(), VsftpdServer::password(), PamService)});
    done = shell.waitForFinished(30000) && shell.exitStatus() == QProcess::NormalExit
           && shell.exitCode() == 0;
    *error = QString::fromLocal8Bit(shell.readAll());
    return done;
}

// Makes path (when missing) readable by everyone, owned by the account name ("" = root).
bool own(const QString &path, bool folder, const QString &name)
{
    const passwd *entry = name.isEmpty() ? nullptr : ::getpwnam(name.toLatin1().constData());
    const QByteArray native = QFile::encodeName(path);
    return (!folder || QFileInfo(path).isDir() || QDir().mkdir(path))
           && ::chmod(native.constData(), folder ? 0755 : 0644) == 0
           && ::chown(native.constData(), entry ? entry->pw_uid : 0, entry ? entry->pw_gid : 0)
                      == 0;
}

QString ownerOf(VsftpdServer::Tree tree)
{
    return tree == VsftpdServer::Tree::AnonymousRoot ? QString()
           : tree == VsftpdServer::Tree::Upload      ? QStringLiteral("ftp")
                                                     : VsftpdServer::userName();
}

} // namespace

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
    if (::geteuid() != 0 || !QFileInfo::exists(VsftpdProgram) || !::getpwnam("ftp"))
        return ::testing::AssertionFailure() << "vsftpd tests run as root with vsftpd installed "
                                             << "(scripts/install-deps.sh)";
    if (!ensureAccount(&error))
        return ::testing::AssertionFailure() << "test account: " << error.toStdString();
    // Every account must reach its tree; the folder holds nothing secret.
    const QString folder = m_peer.folder();
    if (!own(folder, true, "") || !own(folder + "/empty", true, "")
        || !own(anonymousRoot(), true, "") || !own(uploadFolder(), true, "ftp")
        || !own(userRoot(), true, userName()))
        return ::testing::AssertionFailure() << "cannot prepare " << folder.toStdString();
    // With TLS from the first byte the greeting comes only after a handshake: an accepted
    // connection is enough.
    const bool implicitTls = m_options.contains(QStringLiteral("implicit_ssl=YES"));
    // Another process may take the port before vsftpd binds it: then again with another.
    for (int attempt = 0; attempt < 3; ++attempt) {
        m_port = freePort();
        const QString config
                = QString::fromLatin1(Config).arg(QString::number(m_port), folder, PamService);
        if (!writeFile(m_peer.path("vsftpd.conf"), (config + m_options).toUtf8())
            || !m_peer.start(VsftpdProgram, {m_peer.path("vsftpd.conf")}, &error, true))
            return ::testing::AssertionFailure() << error.toStdString();
        QTcpSocket probe;
        waitFor(
                [&] {
                    if (probe.state() == QAbstractSocket::UnconnectedState)
                        probe.connectToHost(QHostAddress::LocalHost, m_port);
                    return !m_peer.isRunning() || probe.canReadLine()
                           || (implicitTls && probe.state() == QAbstractSocket::ConnectedState);
                },
                timeoutMs);
        if (m_peer.isRunning()
            && (probe.peek(4) == "220 "
                || (implicitTls && probe.state() == QAbstractSocket::ConnectedState)))
            return ::testing::AssertionSuccess();
        m_peer.stop();
        if (!log().contains(QStringLiteral("could not bind")))
            break;
    }
    return ::testing::AssertionFailure() << "vsftpd did not greet on port " << m_port << ":\n"
                                         << log().toStdString();
}

QStringList VsftpdServer::commands() const
{
    // Sun Dec  6 13:44:09 2026 [pid 6569] [ftp] FTP command: Client "127.0.0.1", "RETR a.txt"
    return m_peer.linesAfter(
            QStringLiteral("vsftpd.log"), "FTP command: Client \"127.0.0.1\", \"", '"');
}

} // namespace ovtest
