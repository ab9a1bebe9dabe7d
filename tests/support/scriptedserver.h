// The project's scripted FTP server (tests/peers/scripted_ftp_server.py, whose top describes the
// script format) on 127.0.0.1: it plays an exact dialogue given as a script, including faults,
// and records every byte the client sent.
#pragma once

#include "support/peerprocess.h"
#include "support/qtprinters.h"

#include <QList>

namespace ovtest {

class ScriptedServer
{
public:
    explicit ScriptedServer(const QString &script)
        : m_script(script)
    {}

    // A file in the work folder, where "data-send-file NAME" reads and "data-recv NAME" writes.
    void addFile(const QString &name, const QByteArray &content);

    // Returns once it listens, or a failure with its output (a script with an unknown step).
    ::testing::AssertionResult start(int timeoutMs = 10000);
    void stop() { m_peer.stop(); }
    quint16 port() const { return m_port; }
    QString workFolder() const { return m_peer.folder(); }

    // Every byte received on the control connection(s), exactly as it came.
    QByteArray transcript() const { return m_peer.read(QStringLiteral("control.bin")); }
    // The complete lines of transcript() (ended by LF), without their CR LF or LF.
    QList<QByteArray> commands() const;

    QStringList events() const; // the server's event lines (see the script's documentation)
    // "line 9: expected 'EPSV' but got 'PWD'", or ""
    QString failure() const { return eventsAfter(QStringLiteral("FAIL")).value(0); }
    // Commands that arrived after the script ended or failed, with no default to answer them.
    QStringList extraCommands() const { return eventsAfter(QStringLiteral("EXTRA")); }

    // Until every step ran; a failure carries the event log with the failed step.
    ::testing::AssertionResult waitForDone(int timeoutMs = 5000);
    // Waits until a received command line matches glob (* and ? only, case-sensitive).
    bool waitForCommand(const QByteArray &glob, int timeoutMs = 5000);

    // The events log and process output, for failure messages.
    QString log() const { return m_peer.log(QStringLiteral("events.log")); }

    // The bytes of "data-send-pattern N" / "data-close-early N": byte i is i % 251.
    static QByteArray pattern(qint64 size);
    // True when text matches glob, where * is any run of characters and ? one character.
    static bool matchesGlob(const QByteArray &text, const QByteArray &glob);

private:
    QStringList eventsAfter(const QString &word) const;

    QString m_script;
    PeerProcess m_peer{QStringLiteral("scripted")};
    quint16 m_port = 0;
};

} // namespace ovtest
