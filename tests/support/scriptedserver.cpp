#include "support/scriptedserver.h"

#include "support/eventwait.h"
#include "support/files.h"

#include <algorithm>

namespace ovtest {

namespace {
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
    for (QByteArray &line : lines)
        line.chop(line.endsWith('\r') ? 1 : 0);
    return lines;
}

QStringList ScriptedServer::events() const
{
    QString text = QString::fromUtf8(m_peer.read(QStringLiteral("events.log")));
    text.truncate(text.lastIndexOf(u'\n') + 1); // whole lines: the last may be being written
    return text.split(u'\n', Qt::SkipEmptyParts);
}

QStringList ScriptedServer::eventsAfter(const QString &word) const
{
    QStringList lines;
    for (const QString &line : events()) {
        if (line.startsWith(word + u' '))
            lines << line.mid(word.size() + 1);
    }
    return lines;
}

::testing::AssertionResult ScriptedServer::waitForDone(int timeoutMs)
{
    waitFor([&] { return events().contains(QStringLiteral("DONE")) || !failure().isEmpty(); },
            timeoutMs);
    if (events().contains(QStringLiteral("DONE")))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the script did not finish: " << log().toStdString();
}

bool ScriptedServer::waitForCommand(const QByteArray &glob, int timeoutMs)
{
    const auto matches = [&](const QByteArray &line) {
        return matchesGlob(line, glob);
    };
    return waitFor([&] { return std::ranges::any_of(commands(), matches); }, timeoutMs);
}

QByteArray ScriptedServer::pattern(qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char(i % 251);
    return bytes;
}

bool ScriptedServer::matchesGlob(const QByteArray &text, const QByteArray &glob)
{
    return globAt(text.cbegin(), text.cend(), glob.cbegin(), glob.cend());
}

} // namespace ovtest
