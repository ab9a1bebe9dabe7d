// A TcFTP session for engine tests, with its listing buffer and a local folder, recording
// everything the session reports.
#pragma once

#include "ftp/tcftp.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace ovtest {

class FtpTestServer;

class FtpSession
{
public:
    struct Text
    {
        QString line;
        bool fromHost;
        bool valid;
    };
    struct Done
    {
        TcFTPActionType action;
        QString fileFolder;
        qint64 size;
        bool success;
    };

    FtpSession();
    ~FtpSession() { reset(); }

    void connectTo(quint16 port,
                   const QString &user = QStringLiteral("ann"),
                   const QString &password = QStringLiteral("secret"),
                   const QString &host = QStringLiteral("127.0.0.1"));
    // Logged in and idle within timeoutMs.
    bool waitLoggedIn(int timeoutMs = 10000);
    // Idle with no transfer or listing in progress, or not connected.
    bool waitSettled(int timeoutMs = 20000);
    // Queues the line and runs the queue; an exception is recorded in errors.
    void run(const QString &line);
    // run(), then waitSettled(); false (after failing the test) when the session did not settle.
    bool runAndWait(const QString &line, int timeoutMs = 20000);
    // connectTo() the server with its login, then waitLoggedIn(); false (after failing the test
    // with the server's log) when the session did not log in.
    bool loginTo(const FtpTestServer &server, const QString &host = QStringLiteral("127.0.0.1"));
    // runAndWait(); success when an action of that kind ended, and ended well.
    ::testing::AssertionResult ran(const QString &line, TcFTPActionType action);
    // The keys of a buffered folder's entries in order, "@" after one from a link, and with
    // sizes, " SIZE" after each.
    QStringList keys(const QString &folder, bool sizes = false) const;
    // Disconnects when connected and forgets what was recorded, for a second dialogue.
    void reset();

    QStringList sent() const { return lines(false); } // command lines the session sent
    QStringList received() const { return lines(true); }
    int doneCount(TcFTPActionType action) const;
    const Done *lastDone(TcFTPActionType action) const; // nullptr when there is none

    QString localPath(const QString &name) const { return local.filePath(name); }
    QString localInternal(const QString &name) const;

    QTemporaryDir local;
    ListingBuffer buffer;
    TcFTP ftp;
    QList<TcFTPStates> states;
    QList<Text> texts;
    QList<Done> actions; // finished actions, in order
    QStringList warnings;
    QStringList unknownCommands;
    QList<int> errors; // numbers of the exceptions Execute raised
    int progressEvents = 0;

private:
    QStringList lines(bool fromHost) const;
};

} // namespace ovtest
