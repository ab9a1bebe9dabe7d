// The project's scripted FTP server (tests/peers/scripted_ftp_server.py, whose top describes the
// script format) on 127.0.0.1: it plays an exact dialogue given as a script, including faults,
// and records every byte the client sent:
//
//     ScriptedServer server("greet 220 hello\nexpect USER anonymous\nreply 331 need pass\n...");
//     ASSERT_TRUE(server.start());
//     ... let the client talk to 127.0.0.1:server.port() ...
//     EXPECT_TRUE(server.waitForDone());
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

    // Puts a file in the server's work folder for "data-send-file NAME".
    void addFile(const QString &name, const QByteArray &content);

    // Starts the server and returns once it listens, or a failure with its output (a script
    // with an unknown step fails here). Use as ASSERT_TRUE(server.start()).
    ::testing::AssertionResult start(int timeoutMs = 10000);
    void stop() { m_peer.stop(); }
    quint16 port() const { return m_port; }
    QString workFolder() const { return m_peer.folder(); }

    // Every byte received on the control connection(s), exactly as it came.
    QByteArray transcript() const { return m_peer.read(QStringLiteral("control.bin")); }
    // The complete lines of transcript() (ended by LF), without their CR LF or LF.
    QList<QByteArray> commands() const;
    // What "data-recv NAME" stored (default names recv-1.bin, recv-2.bin, ...).
    QByteArray receivedData(const QString &name = QStringLiteral("recv-1.bin")) const
    {
        return m_peer.read(name);
    }

    // The server's event lines (see the script's documentation).
    QStringList events() const;
    QString failure() const; // "line 9: expected 'EPSV' but got 'PWD'", or ""
    // Commands that arrived after the script ended or failed, with no default to answer them.
    QStringList extraCommands() const;

    // Waits (spinning the event loop) until every step ran; a failure carries the failed step
    // and the event log. Use as EXPECT_TRUE(server.waitForDone()).
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
    QString m_script;
    PeerProcess m_peer{QStringLiteral("scripted")};
    quint16 m_port = 0;
};

} // namespace ovtest
