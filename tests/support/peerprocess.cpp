#include "support/peerprocess.h"

#include "support/eventwait.h"

#include <QDir>
#include <QFile>
#include <QMultiHash>
#include <QSet>

#include <csignal>
#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

namespace ovtest {

namespace {
constexpr int StartTimeoutMs = 5000;
constexpr int ReapTimeoutMs = 5000;

#ifdef Q_OS_LINUX
constexpr int DescendantRounds = 5;

// Parent of every process, from /proc/<pid>/stat ("1234 (vsftpd) S 1200 ...": the field after
// the command name in parentheses is the state, then the parent).
QMultiHash<pid_t, pid_t> childrenByParent()
{
    QMultiHash<pid_t, pid_t> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool isPid = false;
        const pid_t pid = pid_t(entry.toInt(&isPid));
        if (!isPid)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1)
            children.insert(pid_t(fields.at(1).toInt()), pid);
    }
    return children;
}

// Stops every descendant of root, so none can fork or exit while they are collected; returns
// them. vsftpd puts each session in a session of its own, so its process group does not
// reach them and they would outlive the listener.
QSet<pid_t> stopDescendants(pid_t root)
{
    QSet<pid_t> found;
    for (int round = 0; round < DescendantRounds; ++round) {
        const QMultiHash<pid_t, pid_t> children = childrenByParent();
        QList<pid_t> pending{root};
        const qsizetype before = found.size();
        while (!pending.isEmpty()) {
            const pid_t parent = pending.takeLast();
            for (auto it = children.constFind(parent); it != children.cend() && it.key() == parent;
                 ++it) {
                if (!found.contains(it.value())) {
                    ::kill(it.value(), SIGSTOP);
                    found.insert(it.value());
                }
                pending << it.value();
            }
        }
        if (found.size() == before)
            break;
    }
    return found;
}
#endif
} // namespace

PeerProcess::~PeerProcess()
{
    stop();
}

bool PeerProcess::start(const QString &program,
                        const QStringList &arguments,
                        const QString &outputFile,
                        QString *error)
{
    stop();
    m_outputFile = outputFile;
    m_process.setProgram(program);
    m_process.setArguments(arguments);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardOutputFile(outputFile, QIODevice::Append);
    m_process.setStandardInputFile(QProcess::nullDevice());
    const QByteArray inputPath = m_inputIsOutput ? QFile::encodeName(outputFile) : QByteArray();
    m_process.setChildProcessModifier([inputPath] {
        // Runs in the child between fork and exec: only async-signal-safe calls.
        ::setsid();
#ifdef Q_OS_LINUX
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
        if (!inputPath.isEmpty()) {
            const int fd = ::open(inputPath.constData(), O_WRONLY | O_APPEND);
            if (fd >= 0) {
                ::dup2(fd, STDIN_FILENO);
                ::close(fd);
            }
        }
    });
    m_process.start();
    if (!m_process.waitForStarted(StartTimeoutMs)) {
        if (error)
            *error = QStringLiteral("cannot start %1: %2").arg(program, m_process.errorString());
        return false;
    }
    m_pid = m_process.processId();
    return true;
}

quint16 PeerProcess::startListening(const QString &program,
                                    const QStringList &arguments,
                                    const QString &outputFile,
                                    const QString &readyFile,
                                    int timeoutMs,
                                    QString *error)
{
    if (!start(program, arguments, outputFile, error))
        return 0;
    QByteArray ready;
    waitFor(
            [&] {
                QFile file(readyFile);
                if (file.open(QIODevice::ReadOnly))
                    ready = file.readLine();
                return ready.endsWith('\n') || !isRunning();
            },
            timeoutMs);
    const quint16 port = ready.startsWith("LISTENING ") ? ready.mid(10).trimmed().toUShort() : 0;
    if (port == 0) {
        *error = QStringLiteral("%1 did not start (waited at most %2 ms):\n")
                         .arg(arguments.value(0, program))
                         .arg(timeoutMs);
        stop();
    }
    return port;
}

bool PeerProcess::isRunning()
{
    if (m_process.state() == QProcess::NotRunning) {
        m_pid = 0;
        return false;
    }
    m_process.waitForFinished(0);
    if (m_process.state() != QProcess::NotRunning)
        return true;
    // Reaped: its id may be reused from now on, so stop() must not signal it any more.
    m_pid = 0;
    return false;
}

void PeerProcess::stop()
{
    if (m_pid <= 0)
        return;
    if (m_process.state() != QProcess::NotRunning) {
        // Not reaped yet, so neither its id nor its group id can have been reused.
        const pid_t pid = pid_t(m_pid);
#ifdef Q_OS_LINUX
        ::kill(pid, SIGSTOP);
        for (const pid_t descendant : stopDescendants(pid))
            ::kill(descendant, SIGKILL);
#endif
        ::kill(-pid, SIGKILL);
        ::kill(pid, SIGKILL);
        m_process.waitForFinished(ReapTimeoutMs);
    }
    m_pid = 0;
}

QString PeerProcess::output() const
{
    QFile file(m_outputFile);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

} // namespace ovtest
