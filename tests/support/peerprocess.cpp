#include "support/peerprocess.h"

#include "support/eventwait.h"
#include "support/freeport.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QSet>
#include <QTcpServer>

#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace ovtest {

namespace {
// Stops every descendant of root, so none can fork or exit while they are collected; returns
// them. vsftpd puts each session in a session of its own, out of reach of its process group.
QSet<pid_t> stopDescendants(pid_t root)
{
    QSet<pid_t> found{root};
    for (qsizetype before = 0; before != found.size();) {
        before = found.size();
        for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            const pid_t pid = pid_t(entry.toInt());
            QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
            if (pid <= 0 || found.contains(pid) || !stat.open(QIODevice::ReadOnly))
                continue;
            // "1234 (vsftpd) S 1200 ...": the state and the parent follow the command name.
            const QByteArray line = stat.readAll();
            const QByteArray parent = line.mid(line.lastIndexOf(')') + 2).split(' ').value(1);
            if (found.contains(pid_t(parent.toInt()))) {
                ::kill(pid, SIGSTOP);
                found.insert(pid);
            }
        }
    }
    found.remove(root);
    return found;
}
} // namespace

PeerProcess::PeerProcess(const QString &name)
    : m_dir(QDir::temp().filePath(QStringLiteral("orvane-%1-XXXXXX").arg(name)))
{}

QByteArray PeerProcess::read(const QString &name) const
{
    QFile file(path(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool PeerProcess::start(const QString &program,
                        const QStringList &arguments,
                        QString *error,
                        bool inputIsOutput)
{
    stop();
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardOutputFile(path(QStringLiteral("output.txt")), QIODevice::Append);
    m_process.setStandardInputFile(QProcess::nullDevice());
    const QByteArray input = inputIsOutput ? QFile::encodeName(path("output.txt")) : QByteArray();
    m_process.setChildProcessModifier([input] {
        // Between fork and exec: only async-signal-safe calls.
        ::setsid();
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (const int fd = input.isEmpty() ? -1 : ::open(input.constData(), O_WRONLY | O_APPEND);
            fd >= 0) {
            ::dup2(fd, STDIN_FILENO);
            ::close(fd);
        }
    });
    m_process.start(program, arguments);
    m_pid = m_process.waitForStarted(5000) ? m_process.processId() : 0;
    *error = QStringLiteral("cannot start %1: %2").arg(program, m_process.errorString());
    return m_pid != 0;
}

::testing::AssertionResult PeerProcess::startPython(const QStringList &arguments,
                                                    const QString &readyName,
                                                    int timeoutMs,
                                                    quint16 *port)
{
    QString error;
    if (!m_dir.isValid() || !start(QStringLiteral("/usr/bin/python3"), arguments, &error))
        return ::testing::AssertionFailure() << error.toStdString();
    waitFor([&] { return read(readyName).contains('\n') || !isRunning(); }, timeoutMs);
    const QByteArray ready = read(readyName);
    *port = ready.startsWith("LISTENING ") ? ready.mid(10, ready.indexOf('\n') - 10).toUShort() : 0;
    if (*port != 0)
        return ::testing::AssertionSuccess();
    stop();
    return ::testing::AssertionFailure() << arguments.value(0).toStdString() << " did not start:\n"
                                         << log(readyName).toStdString();
}

bool PeerProcess::isRunning()
{
    if (m_process.state() != QProcess::NotRunning)
        m_process.waitForFinished(0);
    if (m_process.state() != QProcess::NotRunning)
        return true;
    m_pid = 0; // reaped: its id may be reused from now on, so stop() must not signal it
    return false;
}

void PeerProcess::stop()
{
    if (m_pid > 0 && m_process.state() != QProcess::NotRunning) {
        // Not reaped yet, so neither its id nor its group id can have been reused.
        const pid_t pid = pid_t(m_pid);
        ::kill(pid, SIGSTOP);
        for (const pid_t descendant : stopDescendants(pid))
            ::kill(descendant, SIGKILL);
        ::kill(-pid, SIGKILL);
        m_process.waitForFinished(5000);
    }
    m_pid = 0;
}

QString PeerProcess::log(const QString &name) const
{
    return QString::fromUtf8(read(QStringLiteral("output.txt")) + "--- " + name.toUtf8() + '\n'
                             + read(name));
}

QStringList PeerProcess::linesAfter(const QString &name, const QByteArray &marker, char end) const
{
    QStringList lines;
    for (const QByteArray &line : read(name).split('\n')) {
        const qsizetype at = line.indexOf(marker);
        if (at >= 0 && (!end || line.endsWith(end)))
            lines << QString::fromUtf8(line.mid(at + marker.size()).chopped(end ? 1 : 0));
    }
    return lines;
}

quint16 freePort()
{
    QTcpServer server;
    return server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0;
}

} // namespace ovtest
