// The session logged in to the scripted server, for the tests that play exact exchanges with
// it: connectTo/loginTo start the server with a script (loginTo puts the login in front and
// waits until the session is idle), runLine queues one line and runs it.
#pragma once

#include "ftp/tcftp.h"
#include "platform/localpath.h"
#include "sessionprobe.h"
#include "support/eventwait.h"
#include "support/scriptedserver.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

inline const QString ScriptedLogin = QStringLiteral(R"(
    greet 220 scripted host ready
    expect user ann
    reply 331 password please
    expect pass secret
    reply 230 logged in
)");

class TcFTPScripted : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(local.isValid());
        ftp.setListingBuffer(&buffer);
        ftp.setPassiveMode(true);
    }
    void TearDown() override
    {
        if (ftp.State() != csNotConnected)
            ftp.Disconnect();
    }

    // Starts the server with the script and connects the session to it.
    void connectTo(const QString &script)
    {
        server = std::make_unique<ovtest::ScriptedServer>(script);
        ASSERT_TRUE(server->start());
        ftp.Connect(::TcFTPSession{QStringLiteral("127.0.0.1"),
                                   QString::number(server->port()),
                                   QStringLiteral("ann"),
                                   QStringLiteral("secret")});
    }
    void loginTo(const QString &script)
    {
        connectTo(ScriptedLogin + script);
        ASSERT_TRUE(ovtest::waitFor([&] { return ftp.LoggedIn() && ftp.State() == csIdle; }))
                << server->log().toStdString();
    }
    void runLine(const QString &line)
    {
        ftp.AddCommand(line);
        try {
            ftp.Execute();
        } catch (const TcFTPException &e) {
            executeErrors.append(e.number());
        }
    }
    bool waitForDone(TcFTPActionType action, int count = 1)
    {
        return ovtest::waitFor(
                [&] { return probe.doneCount(action) >= count && ftp.State() == csIdle; });
    }
    QList<QByteArray> commands() const { return server->commands(); }
    QString localNative(const QString &name) const { return local.filePath(name); }
    QString localInternal(const QString &name) const { return NativeToLocal(local.filePath(name)); }

    std::unique_ptr<ovtest::ScriptedServer> server;
    QTemporaryDir local;
    ListingBuffer buffer;
    TcFTP ftp;
    SessionProbe probe{ftp};
    QList<int> executeErrors;
};
