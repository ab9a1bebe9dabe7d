#include "support/ftpsession.h"

#include "platform/localpath.h"
#include "support/eventwait.h"
#include "support/ftptestserver.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace ovtest {

FtpSession::FtpSession()
{
    ftp.setListingBuffer(&buffer);
    ftp.setPassiveMode(true);
    QObject::connect(&ftp, &TcFTP::stateChanged, &ftp, [this](TcFTPStates s) { states << s; });
    QObject::connect(&ftp, &TcFTP::textIO, &ftp, [this](const QString &line, bool in, bool ok) {
        texts.append(Text{line, in, ok});
    });
    QObject::connect(&ftp,
                     &TcFTP::actionDone,
                     &ftp,
                     [this](TcFTPActionType a, const QString &f, qint64 n, bool done, bool ok) {
                         if (done)
                             actions.append(Done{a, f, n, ok});
                         else
                             ++progressEvents;
                     });
    QObject::connect(&ftp, &TcFTP::warning, &ftp, [this](const QString &t) { warnings << t; });
    QObject::connect(&ftp, &TcFTP::unknownCommand, &ftp, [this](const QString &line) {
        unknownCommands << line;
    });
}

void FtpSession::connectTo(quint16 port,
                           const QString &user,
                           const QString &password,
                           const QString &host)
{
    ftp.Connect(TcFTPSession{host, QString::number(port), user, password});
}

bool FtpSession::waitLoggedIn(int timeoutMs)
{
    return waitFor([&] { return ftp.LoggedIn() && ftp.State() == csIdle; }, timeoutMs);
}

bool FtpSession::waitSettled(int timeoutMs)
{
    return waitFor(
            [&] {
                return ftp.State() == csNotConnected
                       || (ftp.State() == csIdle && !ftp.Downloading() && !ftp.Uploading()
                           && !ftp.Listing());
            },
            timeoutMs);
}

void FtpSession::run(const QString &line)
{
    ftp.AddCommand(line);
    try {
        ftp.Execute();
    } catch (const TcFTPException &e) {
        errors.append(e.number());
    }
}

bool FtpSession::runAndWait(const QString &line, int timeoutMs)
{
    run(line);
    const bool settled = waitSettled(timeoutMs);
    EXPECT_TRUE(settled) << "no end of " << line.toStdString();
    return settled;
}

bool FtpSession::loginTo(const FtpTestServer &server, const QString &host)
{
    connectTo(server.port(), server.loginUser(), server.loginPassword(), host);
    if (waitLoggedIn())
        return true;
    ADD_FAILURE() << "no login: " << server.log().toStdString();
    return false;
}

::testing::AssertionResult FtpSession::ran(const QString &line, TcFTPActionType action)
{
    const int before = doneCount(action);
    if (runAndWait(line) && doneCount(action) > before && lastDone(action)->success)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << line.toStdString() << " failed: " << ftp.ReplyLine().toStdString() << "; sent "
           << sent().join(QStringLiteral(" | ")).toStdString();
}

QStringList FtpSession::keys(const QString &folder, bool sizes) const
{
    QStringList found;
    if (const ListingBuffer::EntryList *entries = buffer.entries(folder)) {
        for (const ListingBuffer::Entry &e : *entries)
            found << e.key + (e.fromLink ? "@" : "")
                             + (sizes ? u' ' + e.fields.section(u'*', 0, 0) : QString());
    }
    return found;
}

void FtpSession::reset()
{
    if (ftp.State() != csNotConnected)
        ftp.Disconnect();
    states.clear();
    texts.clear();
    actions.clear();
    warnings = unknownCommands = {};
    errors.clear();
    progressEvents = 0;
}

QStringList FtpSession::lines(bool fromHost) const
{
    QStringList lines;
    for (const Text &text : texts) {
        if (text.fromHost == fromHost)
            lines << text.line;
    }
    return lines;
}

int FtpSession::doneCount(TcFTPActionType action) const
{
    return int(std::ranges::count(actions, action, &Done::action));
}

const FtpSession::Done *FtpSession::lastDone(TcFTPActionType action) const
{
    const auto last = std::ranges::find(actions.crbegin(), actions.crend(), action, &Done::action);
    return last == actions.crend() ? nullptr : &*last;
}

QString FtpSession::localInternal(const QString &name) const
{
    return NativeToLocal(local.filePath(name));
}

} // namespace ovtest
