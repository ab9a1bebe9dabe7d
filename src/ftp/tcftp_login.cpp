// The control connection: reading replies, dispatching them by the command they answer,
// logging in and disconnecting.
#include "ftp/tcftp.h"

#include "util/fieldstring.h"
#include "util/pathforms.h"

#include <QRegularExpression>

namespace {

bool isCode(const QString &code, const char *wanted)
{
    return code == QLatin1String(wanted);
}

// 227 Entering Passive Mode (10,0,0,5,4,2): the port, or -1. Only the port is taken: the
// address in the reply could point the client at any machine.
int pasvPort(const QString &reply)
{
    static const QRegularExpression numbers(
            QStringLiteral("(\\d+),(\\d+),(\\d+),(\\d+),(\\d+),(\\d+)"));
    const QRegularExpressionMatch match = numbers.match(reply);
    const int high = match.hasMatch() ? match.captured(5).toInt() : -1;
    const int low = match.hasMatch() ? match.captured(6).toInt() : -1;
    if (high < 0 || high > 255 || low < 0 || low > 255)
        return -1;
    return high * 256 + low;
}

// The argument of a command line: everything after its first space.
QString argumentOf(const QString &commandLine)
{
    const qsizetype space = commandLine.indexOf(QLatin1Char(' '));
    return space < 0 ? QString() : commandLine.mid(space + 1);
}

} // namespace

void TcFTP::controlDataAvailable()
{
    // Nothing the host says is taken while its certificate waits for the owner's word.
    if (m_certificateHeld)
        return;
    m_replies.feed(m_control->Receive());
    FtpReplyReader::Line line;
    while (m_replies.nextLine(line)) {
        processLine(line);
        if (m_control->State() != cwConnected)
            return;
    }
    // A host that never ends its line, or its reply, is broken or hostile; keeping its bytes
    // would eat memory without end.
    if (m_replies.overflowed())
        protocolError(tr("The host sent a reply line longer than %1 bytes; disconnecting.")
                              .arg(FtpReplyReader::MaxLineLength));
    else if (m_replies.replyTooLong())
        protocolError(tr("The host sent a reply longer than %1 KiB; disconnecting.")
                              .arg(FtpReplyReader::MaxReplySize / 1024));
}

// The host broke the protocol: the user is told and the session ends.
void TcFTP::protocolError(const QString &text)
{
    Q_EMIT warning(text);
    disconnectQuietly();
}

// A line of a reply before its final line. Only the first lines of a long reply are
// reported; the final line says how many were left out.
void TcFTP::reportReplyText(const QString &text)
{
    if (m_replyLinesShown < MaxShownReplyLines
        && m_replyTextShown + text.size() <= MaxShownReplyText) {
        ++m_replyLinesShown;
        m_replyTextShown += text.size();
        Q_EMIT textIO(text, true, true);
        return;
    }
    ++m_replyLinesSkipped;
}

void TcFTP::processLine(const FtpReplyReader::Line &line)
{
    const QString &text = line.text;
    if (line.stray) {
        // "hello" or "abc ok" where a reply was due: the dialogue cannot go on.
        Q_EMIT textIO(text, true, false);
        const qsizetype shown = 80;
        protocolError(tr("The host sent an unexpected reply, without a three-digit code: %1")
                              .arg(text.size() > shown ? text.left(shown) + QStringLiteral("...")
                                                       : text));
        return;
    }
    // Server detection from the greeting, for instance
    //     220 Serv-U FTP Server v2.5 for WinSock ready...
    if (!m_loggedIn && m_hostType == csUnchecked && text.startsWith(QLatin1String("220"))) {
        const QString lower = text.toLower();
        if (lower.contains(QLatin1String("war-ftpd")))
            m_hostType = csWARFTPD;
        else if (lower.contains(QLatin1String("serv-u")))
            m_hostType = csServU;
        else if (lower.contains(QLatin1String("microsoft ftp service")))
            m_hostType = csMicrosoftFTP;
        else if (lower.contains(QLatin1String("windows nt ftp server")))
            m_hostType = csWinNTFTP;
        else if (lower.contains(QLatin1String("version wu-")))
            m_hostType = csWUFTPD;
    }
    if (m_loggedIn && m_hostType == csUnchecked)
        m_hostType = csUnknown;

    if (!line.final) {
        if (m_outCmd == QLatin1String("feat") || m_outCmd == QLatin1String("mlst"))
            m_featLines.append(text);
        reportReplyText(text);
        return;
    }
    if (m_replyLinesSkipped > 0)
        Q_EMIT textIO(
                tr("(%1 more lines of this reply not shown)").arg(m_replyLinesSkipped), true, true);
    m_replyLinesShown = m_replyLinesSkipped = 0;
    m_replyTextShown = 0;

    m_replyLine = text;
    m_previousCode = m_inCmd;
    m_inCmd = text.left(3);
    // A 1xx reply is a preliminary one: the host still owes the final reply.
    if (!m_inCmd.startsWith(QLatin1Char('1'))) {
        m_replyPending = false;
        m_abortWait = -1;
    }
    // The host's words are reported before what they bring about, so that a result ("sent",
    // "unsuccessfully received") follows the reply that decided it.
    Q_EMIT textIO(text, true, replyExpected());
    ReplyFlags flags;
    const quint64 sentBefore = m_commandsSent;
    dispatchReply(flags);
    if (flags.progress && !m_inCmd.startsWith(QLatin1Char('1')))
        m_sinceProgress.restart();
    // A handler that already ran the queue has sent the next command itself.
    if (flags.cont && m_commandsSent == sentBefore)
        runQueue();
}

// False for a final reply the session did not expect: a greeting after login or while USER or
// PASS waits for its answer, or a reply to a command that dispatchReply has no row for.
bool TcFTP::replyExpected() const
{
    static const QStringList answered{
            QStringLiteral("auth"), QStringLiteral("pbsz"), QStringLiteral("prot"),
            QStringLiteral("user"), QStringLiteral("pass"), QStringLiteral("cwd"),
            QStringLiteral("dele"), QStringLiteral("eprt"), QStringLiteral("epsv"),
            QStringLiteral("feat"), QStringLiteral("list"), QStringLiteral("mdtm"),
            QStringLiteral("mfmt"), QStringLiteral("mlsd"), QStringLiteral("mlst"),
            QStringLiteral("mkd"),  QStringLiteral("noop"), QStringLiteral("opts"),
            QStringLiteral("pasv"), QStringLiteral("port"), QStringLiteral("pwd"),
            QStringLiteral("retr"), QStringLiteral("rest"), QStringLiteral("rmd"),
            QStringLiteral("rnfr"), QStringLiteral("rnto"), QStringLiteral("size"),
            QStringLiteral("stor"), QStringLiteral("type")};
    if (isCode(m_inCmd, "421") || isCode(m_inCmd, "500"))
        return true;
    if (isCode(m_inCmd, "220"))
        return !m_loggedIn && m_outCmd != QLatin1String("user")
               && m_outCmd != QLatin1String("pass");
    return answered.contains(m_outCmd);
}

// One row per case, tested in this order; the first that matches acts. A command that gets a
// row here belongs in replyExpected's list as well.
void TcFTP::dispatchReply(ReplyFlags &flags)
{
    const QString &code = m_inCmd;
    const QString &out = m_outCmd;
    const bool transferStart = isCode(code, "125") || isCode(code, "150");

    if (isCode(code, "220")) {
        // A greeting after login, or while USER or PASS waits for its answer, answers nothing:
        // answering each with another USER would let a host keep the session busy for ever.
        if (m_loggedIn || out == QLatin1String("user") || out == QLatin1String("pass")) {
            flags.progress = false;
            flags.cont = m_loggedIn;
            return;
        }
        switch (m_firewallType) {
        case 0:
            sendLogin(QStringLiteral("user ") + m_username);
            break;
        case 1:
            sendLogin(QStringLiteral("user ") + m_username + QLatin1Char('@') + m_host);
            break;
        case 2:
            // The first 220 is the firewall's own greeting; the next one is the host's,
            // relayed once the firewall has opened the connection.
            if (!m_firewallOpened) {
                m_firewallOpened = true;
                AddCommand(QStringLiteral("open ") + m_host);
            } else {
                sendLogin(QStringLiteral("user ") + m_username);
            }
            break;
        default:
            break;
        }
        return;
    }
    if (isCode(code, "421")) {
        flags.cont = false;
        m_connectionLost = true;
        disconnectQuietly();
        return;
    }
    // A preliminary reply ends no command: transfers and listings act on it (their data
    // follows), any other command goes on waiting for its final reply.
    if (code.startsWith(QLatin1Char('1')) && out != QLatin1String("retr")
        && out != QLatin1String("stor") && out != QLatin1String("list")
        && out != QLatin1String("mlsd")) {
        flags.cont = false;
        flags.progress = false;
        return;
    }
    if (out == QLatin1String("auth")) {
        authReplied(flags);
        return;
    }
    if (out == QLatin1String("pbsz"))
        return;
    if (out == QLatin1String("prot")) {
        protReplied();
        return;
    }
    if (out == QLatin1String("user")) {
        if (isCode(code, "331")) {
            AddCommand(QStringLiteral("pass ") + m_password);
        } else if (isCode(code, "230")) {
            loginComplete();
        } else {
            flags.cont = false;
            disconnectQuietly();
        }
        return;
    }
    if (out == QLatin1String("pass")) {
        if (isCode(code, "230")) {
            loginComplete();
        } else {
            flags.cont = false;
            disconnectQuietly();
        }
        return;
    }
    if (out == QLatin1String("cwd")) {
        if (isCode(code, "250")) {
            m_folder = ConvertPath(argumentOf(m_commandLine), BackslashForm);
            m_serverFolder = m_folder;
            Q_EMIT actionDone(caChangeFolder, m_serverFolder, 0, true, true);
        } else {
            // The listing queued behind the CWD is dropped with the queue; so is its reload.
            m_commandQueue.clear();
            m_reloading = false;
            Q_EMIT actionDone(caChangeFolder, m_serverFolder, 0, true, false);
        }
        return;
    }
    if (out == QLatin1String("dele")) {
        QString name = ConvertPath(argumentOf(m_commandLine), BackslashForm);
        name.chop(1);
        Q_EMIT actionDone(caDelete, name, 0, true, isCode(code, "250"));
        return;
    }
    if (out == QLatin1String("eprt")) {
        if (!isCode(code, "200"))
            dataConnectionRefused();
        return;
    }
    if (out == QLatin1String("epsv")) {
        epsvReplied();
        return;
    }
    if (out == QLatin1String("feat")) {
        featReplied();
        return;
    }
    if (out == QLatin1String("list") || out == QLatin1String("mlsd")) {
        if (transferStart) {
            flags.cont = false;
            setState(csWaitForReply);
            m_dataAccepted = true;
            startDataTls();
        } else {
            listReplyEnded(flags);
        }
        return;
    }
    if (out == QLatin1String("mkd")) {
        Q_EMIT actionDone(caMakeFolder,
                          ConvertPath(argumentOf(m_commandLine), BackslashForm),
                          0,
                          true,
                          isCode(code, "257"));
        return;
    }
    if (out == QLatin1String("mdtm")) {
        mdtmReplied();
        return;
    }
    if (out == QLatin1String("mlst")) {
        mlstReplied();
        return;
    }
    if (out == QLatin1String("size")) {
        sizeReplied();
        return;
    }
    if (out == QLatin1String("mfmt")) {
        // The upload itself went well whatever the host says of the time.
        if (m_uploading)
            Finish(true);
        return;
    }
    if (out == QLatin1String("noop") || out == QLatin1String("opts"))
        return;
    if (out == QLatin1String("pasv")) {
        if (isCode(code, "227"))
            openPassiveConnection(pasvPort(m_replyLine));
        else
            dataConnectionRefused();
        return;
    }
    if (out == QLatin1String("port")) {
        if (!isCode(code, "200"))
            dataConnectionRefused();
        return;
    }
    if (out == QLatin1String("pwd")) {
        // 257 "/pub/incoming" is the current directory
        if (isCode(code, "257") && FieldCount(m_replyLine, QLatin1Char('"')) > 2) {
            const QString path = Field(m_replyLine, 2, QLatin1Char('"'));
            if (path.contains(QLatin1Char('/')))
                m_pathType = 0;
            else if (path.contains(QLatin1Char('\\')))
                m_pathType = 1;
            else
                m_pathType = 2;
            m_folder = ConvertPath(path, BackslashForm);
            m_serverFolder = m_folder;
        }
        return;
    }
    if (out == QLatin1String("retr")) {
        if (transferStart) {
            flags.cont = false;
            setState(csWaitForReply);
            transferAccepted();
        } else {
            retrEnded(flags);
        }
        return;
    }
    if (out == QLatin1String("rest")) {
        if (!isCode(code, "350"))
            restRefused();
        return;
    }
    if (out == QLatin1String("rmd")) {
        Q_EMIT actionDone(caRemoveFolder,
                          ConvertPath(argumentOf(m_commandLine), BackslashForm),
                          0,
                          true,
                          isCode(code, "250"));
        return;
    }
    if (out == QLatin1String("rnfr")) {
        if (isCode(code, "350"))
            m_commandQueue.prepend(QStringLiteral("rnto ") + m_renameTo);
        m_renameTo.clear();
        return;
    }
    if (out == QLatin1String("rnto"))
        return;
    if (out == QLatin1String("stor")) {
        if (transferStart) {
            flags.cont = false;
            setState(csWaitForReply);
            transferAccepted();
        } else {
            storEnded();
        }
        return;
    }
    if (out == QLatin1String("type")) {
        if (isCode(code, "200")) {
            const QString command = m_commandLine.toLower();
            if (command == QLatin1String("type a"))
                m_binaryMode = false;
            else if (command == QLatin1String("type i"))
                m_binaryMode = true;
        }
        return;
    }
}

void TcFTP::loginComplete()
{
    m_timer.start();
    m_secsIdle = 0;
    m_loggedIn = true;
    m_commandQueue.clear();
    // Each script line normally ends with CR LF; a last line without one is run as well.
    const QStringList script = m_loginScript.split(QStringLiteral("\r\n"));
    for (const QString &line : script) {
        if (!line.trimmed().isEmpty())
            m_commandQueue.append(line);
    }
    if (!m_autoTransferMode && m_binaryMode)
        m_commandQueue.prepend(QStringLiteral("type i"));
    // What the host offers decides how names travel and how data connections and listings
    // are asked for, so it is learnt before anything else.
    m_features.clear();
    m_featLines.clear();
    m_epsvRefused = false;
    m_mlstUnique = false;
    m_commandQueue.prepend(QStringLiteral("feat"));
    queueDataProtection();
}

void TcFTP::Disconnect()
{
    m_timer.stop();
    try {
        const TcWinsockStates state = m_control->State();
        if (state == cwNIL || state == cwNotConnected || state == cwReadyToConnect)
            throw TcFTPException(16631);
        if (m_listing || m_downloading || m_uploading)
            Finish(false);
        if (m_control->State() == cwPrepareConnection) {
            m_control->CancelPrepare();
            // A cancelled lookup leaves the socket in cwNIL, which ends the session.
        } else if (m_control->State() != cwNotConnected) {
            m_control->Close(true);
        }
        resetTransferFields();
        forgetHostType();
        m_replies.clear();
        m_controlBacklog.clear();
    } catch (const TcFTPException &) {
        throw;
    } catch (const std::exception &) {
        throw TcFTPException(16631);
    }
}

// Disconnect from inside a notification: the session ends either way.
void TcFTP::disconnectQuietly()
{
    try {
        Disconnect();
    } catch (const TcFTPException &) {
    }
}
