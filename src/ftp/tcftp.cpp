#include "ftp/tcftp.h"

#include "net/tcwinsockexception.h"

#include <cstring>
#include <exception>

TcFTP::TcFTP(QObject *parent)
    : QObject(parent)
    , m_control(new TcWinsock(this))
    , m_data(new TcWinsock(this))
{
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &TcFTP::timerTick);

    connect(m_control, &TcWinsock::stateChanged, this, &TcFTP::controlStateChanged);
    connect(m_control, &TcWinsock::dataAvailable, this, [this] {
        guarded(99, [this] { controlDataAvailable(); });
    });
    connect(m_control, &TcWinsock::dataNeeded, this, &TcFTP::controlDataNeeded);
    connect(m_control, &TcWinsock::encrypted, this, [this] {
        guarded(99, [this] { controlEncrypted(); });
    });
    connect(m_data, &TcWinsock::stateChanged, this, &TcFTP::dataStateChanged);
    connect(m_data, &TcWinsock::dataAvailable, this, [this] {
        guarded(99, [this] { dataAvailable(); });
    });
    connect(m_data, &TcWinsock::dataNeeded, this, [this] {
        guarded(99, [this] { dataNeeded(); });
    });
    connect(m_data, &TcWinsock::callerRefused, this, [this](const QString &address) {
        Q_EMIT warning(tr("Refused a data connection from %1: only the host (%2) may open it.")
                               .arg(address, m_control->PeerAddress()));
    });

    resetTransferFields();
}

TcFTP::~TcFTP()
{
    // Signals of the sockets must not reach a half-destroyed session.
    m_control->disconnect(this);
    m_data->disconnect(this);
    // A download cut off here keeps its partial, or leaves the file it was to replace.
    if (m_downloading) {
        keepReceived();
        closeDownloadFile(false);
    } else if (m_transferFile.isOpen()) {
        m_transferFile.close();
    }
}

void TcFTP::setASCExtension(const QStringList &extensions)
{
    QStringList sorted;
    for (const QString &extension : extensions) {
        if (!sorted.contains(extension, Qt::CaseInsensitive))
            sorted.append(extension);
    }
    std::sort(sorted.begin(), sorted.end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    m_ascExtension = sorted;
}

void TcFTP::setState(TcFTPStates state)
{
    if (state == m_state)
        return;
    m_state = state;
    if (state == csIdle)
        ++m_idles;
    Q_EMIT stateChanged(state);
}

void TcFTP::forgetHostType()
{
    // The next connection starts in the host's default type, ASCII, whatever this one used.
    if (m_autoTransferMode)
        m_binaryMode = false;
}

void TcFTP::resetTransferFields()
{
    m_ioPos = -1;
    m_ioTransfered = -1;
    m_ioSize = -1;
    m_ioTime = -1;
    m_ioDstFile.clear();
    m_ioSrcFile.clear();
    m_commandQueue.clear();
    m_idles = 0;
    m_downloading = false;
    m_uploading = false;
    m_buffering = false;
    m_bufferFolders.clear();
    m_reloading = false;
    m_loggedIn = false;
    m_folder.clear();
    m_serverFolder.clear();
    m_transferStarted = false;
    m_transferFailed = false;
    m_replyPending = false;
    m_abortWait = -1;
}

void TcFTP::reportInternalError(int number, const QString &message)
{
    Q_EMIT internalError(number, message);
}

// Runs a notification handler so that no exception reaches the event loop: a failure is
// reported as the given number.
template<typename F>
void TcFTP::guarded(int number, F &&body)
{
    try {
        body();
    } catch (const TcFTPException &e) {
        reportInternalError(e.number(), e.message());
    } catch (const std::exception &) {
        const TcFTPException replaced(number);
        reportInternalError(replaced.number(), replaced.message());
    }
}

void TcFTP::Connect(const TcFTPSession &session)
{
    if (m_state != csNotConnected)
        throw TcFTPException(4222);
    m_port = session.Port;
    m_username = session.Username;
    m_password = session.Password;
    m_hostType = csUnchecked;
    m_host = session.Host;
    m_firewallOpened = false;
    m_replyPending = false;
    m_abortWait = -1;
    m_replies.clear();
    m_controlBacklog.clear();
    m_inCmd.clear();
    m_previousCode.clear();
    m_outCmd.clear();
    m_replyLinesShown = m_replyLinesSkipped = 0;
    m_replyTextShown = 0;
    startControlTls();
    // The greeting is awaited like the final reply to a command.
    m_sinceProgress.start();
    m_timer.start();
    setState(csConnecting);
    if (m_firewallType != 0) {
        m_control->setPort(QString::number(m_firewallPort));
        m_control->setIP(m_firewallHost);
    } else {
        m_control->setPort(m_port);
        m_control->setIP(m_host);
    }
    try {
        m_control->PrepareConnection();
    } catch (const std::exception &) {
        // An unusable port or address: the session must not wait in csConnecting for good.
        m_timer.stop();
        setState(csNotConnected);
        throw;
    }
}

void TcFTP::AddCommand(const QString &line)
{
    if (line.isEmpty())
        throw TcFTPException(32232);
    m_commandQueue.append(line);
}

void TcFTP::timerTick()
{
    guarded(99, [this] {
        if (m_idles > 0)
            ++m_secsOnline;
        if (m_state == csIdle) {
            ++m_secsIdle;
            if (m_maxSecsIdle >= 1 && m_secsIdle >= m_maxSecsIdle) {
                m_commandQueue.prepend(QStringLiteral("noop"));
                runQueue();
            }
        }
        if (m_ioTime > -1)
            ++m_ioTime;
        checkReplyDeadline();
        if (m_state != csNotConnected && m_abortWait >= 0 && ++m_abortWait >= AbortReplySeconds) {
            // The host never answered the interrupted command: what it says next could not be
            // told from an answer to the next one.
            Q_EMIT warning(tr("The host did not answer the interrupted command; disconnecting."));
            disconnectQuietly();
        }
    });
}

// While the host is expected, something must move within ReplyTimeout: a host that keeps
// sending preliminary replies or continuation lines, and nothing else, is given up.
void TcFTP::checkReplyDeadline()
{
    if (m_replyTimeout < 1 || (m_state != csConnecting && m_state != csWaitForReply))
        return;
    const qint64 moved = qMax<qint64>(0, m_ioTransfered) + m_listBytes;
    if (moved != m_movedAtProgress) {
        m_movedAtProgress = moved;
        m_sinceProgress.restart();
        return;
    }
    if (m_sinceProgress.elapsed() < qint64(m_replyTimeout) * 1000)
        return;
    if (m_outCmd.isEmpty())
        Q_EMIT warning(tr("The host sent no greeting within %1 seconds; disconnecting.")
                               .arg(m_replyTimeout));
    else
        Q_EMIT warning(tr("The host sent no final reply to %1 and moved no data for %2 seconds; "
                          "disconnecting.")
                               .arg(m_outCmd.toUpper())
                               .arg(m_replyTimeout));
    m_connectionLost = true;
    disconnectQuietly();
}

// Both sockets report their state changes here, one handler each.
void TcFTP::controlStateChanged(TcWinsockStates newState)
{
    guarded(99, [this, newState] {
        switch (newState) {
        case cwNIL:
        case cwNotConnected: {
            m_timer.stop();
            reportTlsFailure(m_control, false);
            m_certificateHeld = false;
            m_dataProtected = false;
            const bool working = m_listing || m_downloading || m_uploading;
            // The host closed: release the socket as well (no state change follows).
            try {
                m_control->Close(true);
            } catch (const TcWinsockException &) {
            }
            // The host went away in the middle of a transfer: end it as failed so that the
            // local file is written out and closed and the owner learns of it, while the
            // session is still the one that carried it.
            if (working) {
                m_connectionLost = true;
                // Keep what the host sent before it went: a retry resumes from there.
                m_keepLastData = true;
                for (qint64 before = -2;
                     m_downloading && m_ioPos != before && m_data->BytesAvailable() > 0;) {
                    before = m_ioPos;
                    dataAvailable();
                }
                m_keepLastData = false;
                if (m_downloading || m_uploading || m_listing)
                    Finish(false);
            }
            forgetHostType();
            setState(csNotConnected);
            m_secsOnline = 0;
            m_loggedIn = false;
            break;
        }
        case cwPrepareConnection:
        case cwConnecting:
        case cwListening:
        case cwAccepting:
            break;
        case cwReadyToConnect:
            try {
                m_control->Connect();
            } catch (const TcWinsockException &) {
                try {
                    m_control->Close(true);
                } catch (const TcWinsockException &) {
                }
                setState(csNotConnected);
            }
            break;
        case cwConnected:
            m_ip = m_control->IP();
            setState(csWaitForReply);
            break;
        }
    });
}

void TcFTP::dataStateChanged(TcWinsockStates newState)
{
    guarded(99, [this, newState] {
        switch (newState) {
        case cwNIL:
        case cwNotConnected:
            if (m_control->State() == cwNotConnected || m_quietData)
                return;
            if (m_listing || m_downloading || m_uploading)
                reportTlsFailure(m_data, true);
            // A reset is no end of the file, whatever the host's final reply says.
            if (m_downloading && m_data->ReceiveError() != 0)
                failTransfer(tr("the data connection broke off: %1")
                                     .arg(QString::fromLocal8Bit(
                                             std::strerror(m_data->ReceiveError()))));
            if (m_downloading && m_data->ReceiveError() != 0)
                m_connectionLost = true;
            if (m_data->BytesAvailable() > 0)
                return; // the data handler ends the transfer once it has read the rest
            // Only the host's final reply ends a listing or transfer: while the last reply is
            // still 150 the close waits for it (a 426 may follow).
            if ((m_previousCode == QLatin1String("150") || m_previousCode == QLatin1String("125"))
                && (m_listing || m_downloading || m_uploading)) {
                const quint64 sentBefore = m_commandsSent;
                Finish(m_inCmd == QLatin1String("226") || m_inCmd == QLatin1String("250"));
                if (m_commandsSent == sentBefore)
                    runQueue();
            } else if (m_listing || m_downloading) {
                // The host has sent everything. Close our end at once: a host that waits for
                // it before its final reply (vsftpd closes with linger on) would otherwise wait
                // for our delayed acknowledgement, some 40 ms per file.
                m_quietData = true;
                try {
                    m_data->Close(false);
                } catch (const TcWinsockException &) {
                }
                m_quietData = false;
            }
            break;
        case cwPrepareConnection:
        case cwConnecting:
        case cwListening:
            break;
        case cwReadyToConnect:
            try {
                m_data->Connect();
            } catch (const TcWinsockException &) {
                closeDataSocket(true);
            }
            break;
        case cwConnected:
            m_ioTime = 0;
            if (m_listing) {
                m_listResult.clear();
            } else if (!m_downloading && !m_uploading) {
                // Nobody wants this data connection.
                try {
                    m_data->StopListening();
                } catch (const TcWinsockException &) {
                }
                closeDataSocket(true);
                break;
            }
            startDataTls();
            break;
        case cwAccepting:
            try {
                m_data->Accept();
            } catch (const TcWinsockException &) {
                try {
                    m_data->Close(false);
                } catch (const TcWinsockException &) {
                }
                Abort();
            }
            break;
        }
    });
}

// The control socket has room again: send what a long command line left behind.
void TcFTP::controlDataNeeded()
{
    guarded(99, [this] {
        if (m_controlBacklog.isEmpty() || m_control->State() != cwConnected)
            return;
        qint64 taken = 0;
        try {
            taken = m_control->Send(m_controlBacklog);
        } catch (const TcWinsockException &) {
            taken = 0;
        }
        m_controlBacklog.remove(0, taken);
    });
}
