#include "support/scriptedserver.h"

#include "support/eventwait.h"
#include "support/files.h"

#include <QRegularExpression>

#include <algorithm>

namespace ovtest {

namespace {
constexpr int PatternModulus = 251;

bool globAt(const char *text, const char *textEnd, const char *glob, const char *globEnd)
{
    for (; glob != globEnd; ++glob, ++text) {
        if (*glob == '*') {
            for (const char *from = text;; ++from) {
                if (globAt(from, textEnd, glob + 1, globEnd))
                    return true;
                if (from == textEnd)
                    return false;
            }
        }
        if (text == textEnd || (*glob != '?' && *glob != *text))
            return false;
    }
    return text == textEnd;
}
} // namespace

void ScriptedServer::addFile(const QString &name, const QByteArray &content)
{
    if (!writeFile(m_peer.path(name), content))
        ADD_FAILURE() << "cannot write " << name.toStdString();
}

::testing::AssertionResult ScriptedServer::start(int timeoutMs)
{
    stop();
    if (!writeFile(m_peer.path(QStringLiteral("script.txt")), m_script.toUtf8()))
        return ::testing::AssertionFailure() << "cannot write the script";
    return m_peer.startPython({QStringLiteral(ORVANE_TEST_PEERS_DIR "/scripted_ftp_server.py"),
                               QStringLiteral("--script"),
                               m_peer.path(QStringLiteral("script.txt")),
                               QStringLiteral("--dir"),
                               m_peer.folder()},
                              QStringLiteral("events.log"),
                              timeoutMs,
                              &m_port);
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

QStringList ScriptedServer::events() const
{
    QString text = QString::fromUtf8(m_peer.read(QStringLiteral("events.log")));
    // Only whole lines: the server may be writing the last one right now.
    text.truncate(text.lastIndexOf(u'\n') + 1);
    return text.split(u'\n', Qt::SkipEmptyParts);
}

QString ScriptedServer::failure() const
{
    const QStringList failures = events().filter(QRegularExpression(QStringLiteral("^FAIL ")));
    return failures.isEmpty() ? QString() : failures.first().mid(5);
}

QStringList ScriptedServer::extraCommands() const
{
    QStringList extra = events().filter(QRegularExpression(QStringLiteral("^EXTRA ")));
    for (QString &line : extra)
        line.remove(0, 6);
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
    return ::testing::AssertionFailure()
           << (failure().isEmpty() ? "the script did not finish in time"
                                   : "the script failed at " + failure().toStdString())
           << "\n"
           << log().toStdString();
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
