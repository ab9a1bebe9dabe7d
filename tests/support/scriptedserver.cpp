#include "support/scriptedserver.h"

#include "support/eventwait.h"
#include "support/files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace ovtest {

namespace {
const char Python[] = "/usr/bin/python3";
constexpr int PatternModulus = 251;

QByteArray readOrEmpty(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool globAt(const char *text, const char *textEnd, const char *glob, const char *globEnd)
{
    while (glob != globEnd) {
        if (*glob == '*') {
            ++glob;
            for (const char *from = text;; ++from) {
                if (globAt(from, textEnd, glob, globEnd))
                    return true;
                if (from == textEnd)
                    return false;
            }
        }
        if (text == textEnd || (*glob != '?' && *glob != *text))
            return false;
        ++glob;
        ++text;
    }
    return text == textEnd;
}
} // namespace

ScriptedServer::ScriptedServer(const QString &script)
    : m_script(script)
    , m_dir(std::make_unique<QTemporaryDir>(
              QDir::temp().filePath(QStringLiteral("orvane-scripted-XXXXXX"))))
{}

ScriptedServer::~ScriptedServer()
{
    stop();
}

QString ScriptedServer::addFile(const QString &name, const QByteArray &content)
{
    const QString target = m_dir->filePath(name);
    if (!writeFile(target, content))
        ADD_FAILURE() << "cannot write " << target.toStdString();
    return target;
}

::testing::AssertionResult ScriptedServer::start(int timeoutMs)
{
    stop();
    if (!m_dir->isValid())
        return ::testing::AssertionFailure() << "cannot create a temporary folder";
    const QString scriptFile = m_dir->filePath(QStringLiteral("script.txt"));
    QFile file(scriptFile);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(m_script.toUtf8()) < 0)
        return ::testing::AssertionFailure() << "cannot write " << scriptFile.toStdString();
    file.close();
    QString error;
    m_port = m_process.startListening(
            QString::fromLatin1(Python),
            {QStringLiteral(ORVANE_TEST_PEERS_DIR "/scripted_ftp_server.py"),
             QStringLiteral("--script"),
             scriptFile,
             QStringLiteral("--dir"),
             m_dir->path()},
            m_dir->filePath(QStringLiteral("output.txt")),
            m_dir->filePath(QStringLiteral("events.log")),
            timeoutMs,
            &error);
    if (m_port == 0)
        return ::testing::AssertionFailure() << error.toStdString() << log().toStdString();
    return ::testing::AssertionSuccess();
}

void ScriptedServer::stop()
{
    m_process.stop();
}

QByteArray ScriptedServer::transcript() const
{
    return readOrEmpty(m_dir->filePath(QStringLiteral("control.bin")));
}

QList<QByteArray> ScriptedServer::commands() const
{
    QList<QByteArray> lines = transcript().split('\n');
    lines.removeLast(); // the unfinished rest after the last LF (empty when there is none)
    for (QByteArray &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    return lines;
}

QByteArray ScriptedServer::receivedData(const QString &name) const
{
    return readOrEmpty(m_dir->filePath(name));
}

QStringList ScriptedServer::events() const
{
    QString text = QString::fromUtf8(readOrEmpty(m_dir->filePath(QStringLiteral("events.log"))));
    // Only whole lines: the server may be writing the last one right now.
    text.truncate(text.lastIndexOf(u'\n') + 1);
    return text.split(u'\n', Qt::SkipEmptyParts);
}

QString ScriptedServer::failure() const
{
    for (const QString &line : events()) {
        if (line.startsWith(QStringLiteral("FAIL ")))
            return line.mid(5);
    }
    return QString();
}

QStringList ScriptedServer::extraCommands() const
{
    QStringList extra;
    for (const QString &line : events()) {
        if (line.startsWith(QStringLiteral("EXTRA ")))
            extra << line.mid(6);
    }
    return extra;
}

::testing::AssertionResult ScriptedServer::waitForDone(int timeoutMs)
{
    const auto done = [&] {
        return events().contains(QStringLiteral("DONE"));
    };
    waitFor([&] { return done() || !failure().isEmpty(); }, timeoutMs);
    if (done())
        return ::testing::AssertionSuccess();
    auto result = ::testing::AssertionFailure();
    if (!failure().isEmpty())
        result << "the script failed at " << failure().toStdString();
    else
        result << "the script did not finish within " << timeoutMs << " ms";
    return result << "\n" << log().toStdString();
}

bool ScriptedServer::waitForCommand(const QByteArray &glob, int timeoutMs)
{
    return waitFor(
            [&] {
                const QList<QByteArray> lines = commands();
                return std::any_of(lines.cbegin(), lines.cend(), [&](const QByteArray &line) {
                    return matchesGlob(line, glob);
                });
            },
            timeoutMs);
}

QString ScriptedServer::log() const
{
    return QStringLiteral("--- scripted server events\n")
           + QString::fromUtf8(readOrEmpty(m_dir->filePath(QStringLiteral("events.log"))))
           + QStringLiteral("--- output\n") + m_process.output();
}

QByteArray ScriptedServer::pattern(qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char(i % PatternModulus);
    return bytes;
}

bool ScriptedServer::matchesGlob(const QByteArray &text, const QByteArray &glob)
{
    return globAt(text.cbegin(), text.cend(), glob.cbegin(), glob.cend());
}

} // namespace ovtest
