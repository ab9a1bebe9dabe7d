// The project's scripted FTP server (tests/peers/scripted_ftp_server.py, whose top describes the
// script format) on 127.0.0.1: it plays an exact dialogue given as a script, including faults,
// and records every byte the client sent.
//
//     ScriptedServer server(R"(
//         greet 220 hello
//         expect USER anonymous
//         reply 331 need pass
//         ...
//     )");
//     ASSERT_TRUE(server.start());
//     ... let the client talk to 127.0.0.1:server.port() ...
//     EXPECT_TRUE(server.waitForDone());
//     EXPECT_EQ(server.commands().at(0), "USER anonymous");
#pragma once

#include "support/peerprocess.h"
#include "support/qtprinters.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace ovtest {

class ScriptedServer
{
public:
    explicit ScriptedServer(const QString &script);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer &) = delete;
    ScriptedServer &operator=(const ScriptedServer &) = delete;

    // Puts a file in the server's work folder for "data-send-file NAME"; returns its path.
    QString addFile(const QString &name, const QByteArray &content);

    // Starts the server and returns once it listens, or a failure with its output (a script
    // with an unknown step fails here). Use as ASSERT_TRUE(server.start()).
    ::testing::AssertionResult start(int timeoutMs = 10000);
    void stop();

    quint16 port() const { return m_port; }
    QString workFolder() const { return m_dir->path(); }

    // Every byte received on the control connection(s), exactly as it came.
    QByteArray transcript() const;
    // The complete lines of transcript() (ended by LF), without their CR LF or LF.
    QList<QByteArray> commands() const;
    // What "data-recv NAME" stored (default names recv-1.bin, recv-2.bin, ...).
    QByteArray receivedData(const QString &name = QStringLiteral("recv-1.bin")) const;

    // The server's event lines: LISTENING, CONNECTED, STEP, RECV, SENT, DATA, ENDLESS, CLOSED,
    // EXTRA, DONE, FAIL (see the script's documentation).
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
    QString log() const;

    // The bytes of "data-send-pattern N" / "data-close-early N": byte i is i % 251.
    static QByteArray pattern(qint64 size);
    // True when text matches glob, where * is any run of characters and ? one character.
    static bool matchesGlob(const QByteArray &text, const QByteArray &glob);

private:
    QString m_script;
    std::unique_ptr<QTemporaryDir> m_dir;
    PeerProcess m_process;
    quint16 m_port = 0;
};

} // namespace ovtest
