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
#include <QTcpSocket>

#include <grp.h>
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

struct Owner
{
    uid_t uid = 0;
    gid_t gid = 0;
};

Owner ownerOf(const char *name)
{
    const passwd *entry = ::getpwnam(name);
    return entry ? Owner{entry->pw_uid, entry->pw_gid} : Owner{};
}

bool setOwner(const QString &path, mode_t mode, Owner owner)
{
    const QByteArray native = QFile::encodeName(path);
    return ::chmod(native.constData(), mode) == 0
           && ::chown(native.constData(), owner.uid, owner.gid) == 0;
}

bool makeFolder(const QString &path, Owner owner)
{
    return (QFileInfo(path).isDir() || QDir().mkdir(path)) && setOwner(path, 0755, owner);
}

} // namespace

VsftpdServer::VsftpdServer()
{
    m_process.setInputIsOutput(true);
}

VsftpdServer::~VsftpdServer()
{
    stop();
}

void VsftpdServer::setOption(const QString &name, const QString &value)
{
    m_extraOptions.insert(name, value);
}

QString VsftpdServer::userName()
{
    return QString::fromLatin1(AccountName);
}

QString VsftpdServer::password()
{
    return QString::fromLatin1(AccountPassword);
}

QString VsftpdServer::folder() const
{
    return m_dir ? m_dir->path() : QString();
}

QString VsftpdServer::anonymousRoot() const
{
    return folder() + QStringLiteral("/anon");
}

QString VsftpdServer::uploadFolder() const
{
    return anonymousRoot() + QStringLiteral("/upload");
}

QString VsftpdServer::userHome() const
{
    return folder() + QStringLiteral("/home");
}

QString VsftpdServer::path(Tree tree, const QString &relativePath) const
{
    const QString base = tree == Tree::AnonymousRoot ? anonymousRoot()
                         : tree == Tree::Upload      ? uploadFolder()
                                                     : userHome();
    return relativePath.isEmpty() ? base : base + u'/' + relativePath;
}

static Owner treeOwner(VsftpdServer::Tree tree)
{
    return tree == VsftpdServer::Tree::AnonymousRoot ? Owner{}
           : tree == VsftpdServer::Tree::Upload      ? ownerOf("ftp")
                                                     : ownerOf(AccountName);
}

QString VsftpdServer::createFolder(Tree tree, const QString &relativePath) const
{
    const Owner owner = treeOwner(tree);
    QString current = path(tree);
    for (const QString &part : relativePath.split(u'/', Qt::SkipEmptyParts)) {
        current += u'/' + part;
        if (!makeFolder(current, owner)) {
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
    if (!writeFile(target, content) || !setOwner(target, 0644, treeOwner(tree))) {
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

QString VsftpdServer::createUserFile(const QString &relativePath, const QByteArray &content)
{
    return createFile(Tree::UserHome, relativePath, content);
}

QString VsftpdServer::createUserFolder(const QString &relativePath)
{
    return createFolder(Tree::UserHome, relativePath);
}

bool VsftpdServer::writeConfig(QString *error) const
{
    QMap<QString, QString> options{
            {"listen", "YES"},
            {"listen_ipv6", "NO"},
            {"listen_address", "127.0.0.1"},
            {"listen_port", QString::number(m_port)},
            {"background", "NO"},
            // Sandboxing that fails in containers and adds nothing to a test.
            {"seccomp_sandbox", "NO"},
            {"isolate", "NO"},
            {"isolate_network", "NO"},
            {"secure_chroot_dir", folder() + "/empty"},
            {"anonymous_enable", "YES"},
            {"no_anon_password", "YES"},
            {"anon_root", anonymousRoot()},
            {"anon_upload_enable", "YES"},
            {"anon_mkdir_write_enable", "YES"},
            {"anon_other_write_enable", "YES"},
            {"anon_umask", "022"},
            {"local_enable", "YES"},
            {"write_enable", "YES"},
            {"local_umask", "022"},
            {"local_root", userHome()},
            {"chroot_local_user", "YES"},
            {"allow_writeable_chroot", "YES"},
            {"pam_service_name", PamService},
            {"delay_failed_login", "0"},
            {"pasv_enable", "YES"},
            {"pasv_address", "127.0.0.1"},
            {"pasv_min_port", QString::number(m_passiveFirst)},
            {"pasv_max_port", QString::number(m_passiveLast)},
            {"port_enable", "YES"},
            {"connect_from_port_20", "NO"},
            {"xferlog_enable", "YES"},
            {"dual_log_enable", "YES"},
            {"log_ftp_protocol", "YES"},
            {"vsftpd_log_file", folder() + "/vsftpd.log"},
            {"xferlog_file", folder() + "/xferlog"},
    };
    for (auto it = m_extraOptions.cbegin(); it != m_extraOptions.cend(); ++it)
        options.insert(it.key(), it.value());
    QByteArray text;
    for (auto it = options.cbegin(); it != options.cend(); ++it)
        text += it.key().toUtf8() + '=' + it.value().toUtf8() + '\n';
    QFile file(folder() + QStringLiteral("/vsftpd.conf"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size()) {
        *error = QStringLiteral("cannot write %1: %2").arg(file.fileName(), file.errorString());
        return false;
    }
    return true;
}

::testing::AssertionResult VsftpdServer::start(int timeoutMs)
{
    stop();
    if (::geteuid() != 0)
        return ::testing::AssertionFailure() << "vsftpd tests must run as root";
    if (!QFileInfo::exists(QString::fromLatin1(VsftpdProgram)))
        return ::testing::AssertionFailure()
               << VsftpdProgram << " is missing (run scripts/install-deps.sh)";
    if (!::getpwnam("ftp"))
        return ::testing::AssertionFailure()
               << "the system has no \"ftp\" account for anonymous logins (reinstall vsftpd)";
    QString error;
    if (!ensureAccount(&error))
        return ::testing::AssertionFailure() << "test account: " << error.toStdString();

    m_dir = std::make_unique<QTemporaryDir>(
            QDir::temp().filePath(QStringLiteral("orvane-vsftpd-XXXXXX")));
    if (!m_dir->isValid())
        return ::testing::AssertionFailure() << "cannot create a temporary folder";
    // Every account must reach its tree; the folder holds nothing secret.
    if (!makeFolder(folder(), Owner{}) || !makeFolder(folder() + "/empty", Owner{})
        || !makeFolder(anonymousRoot(), Owner{}) || !makeFolder(uploadFolder(), ownerOf("ftp"))
        || !makeFolder(userHome(), ownerOf(AccountName)))
        return ::testing::AssertionFailure()
               << "cannot prepare the served folders in " << folder().toStdString();

    ::testing::AssertionResult result = ::testing::AssertionFailure();
    for (int attempt = 0; attempt < StartAttempts; ++attempt) {
        m_port = freePort();
        m_passiveFirst = freePortRange(PassivePortCount);
        m_passiveLast = quint16(m_passiveFirst + PassivePortCount - 1);
        if (m_port == 0 || m_passiveFirst == 0)
            return ::testing::AssertionFailure() << "no free ports on 127.0.0.1";
        if (!writeConfig(&error))
            return ::testing::AssertionFailure() << error.toStdString();
        if (!m_process.start(QString::fromLatin1(VsftpdProgram),
                             {folder() + QStringLiteral("/vsftpd.conf")},
                             folder() + QStringLiteral("/output.txt"),
                             &error))
            return ::testing::AssertionFailure() << error.toStdString();
        result = waitUntilReady(timeoutMs);
        if (result)
            return result;
        m_process.stop();
        // Another process took a port between our check and vsftpd's bind: try new ports.
        if (!log().contains(QStringLiteral("could not bind")))
            break;
    }
    return result;
}

::testing::AssertionResult VsftpdServer::waitUntilReady(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (!m_process.isRunning())
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
        if (greeting.startsWith("220 ") && m_process.isRunning())
            return ::testing::AssertionSuccess();
        // With TLS from the first byte the greeting comes only after a handshake: an accepted
        // connection is enough.
        if (m_extraOptions.value(QStringLiteral("implicit_ssl")) == QLatin1String("YES")
            && probe.state() == QAbstractSocket::ConnectedState && m_process.isRunning())
            return ::testing::AssertionSuccess();
        spinFor(20);
    }
    return ::testing::AssertionFailure()
           << "vsftpd did not greet on port " << m_port << " within " << timeoutMs << " ms:\n"
           << log().toStdString();
}

void VsftpdServer::stop()
{
    m_process.stop();
}

QStringList VsftpdServer::commands() const
{
    // Sun Dec  6 13:44:09 2026 [pid 6569] [ftp] FTP command: Client "127.0.0.1", "RETR a.txt"
    static const QByteArray marker = "FTP command: Client \"127.0.0.1\", \"";
    QStringList lines;
    QFile file(folder() + QStringLiteral("/vsftpd.log"));
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const qsizetype at = line.indexOf(marker);
        if (at >= 0 && line.endsWith('"'))
            lines << QString::fromUtf8(line.mid(at + marker.size()).chopped(1));
    }
    return lines;
}

QString VsftpdServer::log() const
{
    QString text = m_process.output();
    QFile file(folder() + QStringLiteral("/vsftpd.log"));
    if (file.open(QIODevice::ReadOnly))
        text += QStringLiteral("--- vsftpd.log\n") + QString::fromUtf8(file.readAll());
    return text;
}

} // namespace ovtest
