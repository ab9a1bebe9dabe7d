// The data side of transfers: their acceptance and end, the data connection's notifications,
// Finish and Abort.
#include "ftp/tcftp.h"

#include <QRegularExpression>

namespace {

bool isTransferStart(const QString &code)
{
    return code == QLatin1String("125") || code == QLatin1String("150");
}

bool isTransferEnd(const QString &code)
{
    // 226 is the usual end of a transfer; RFC 959 also allows 250.
    return code == QLatin1String("226") || code == QLatin1String("250");
}

// The size a 150 reply announces, or -1:
//     150 Opening BINARY mode data connection for /pub/a.bin (100000 bytes).
qint64 announcedSize(const QString &reply)
{
    static const QRegularExpression bytes(QStringLiteral("\\((\\d+) bytes\\)"),
                                          QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = bytes.match(reply);
    bool ok = false;
    const qint64 size = match.hasMatch() ? match.captured(1).toLongLong(&ok) : -1;
    return ok ? size : -1;
}

} // namespace

// 125 or 150 to RETR or STOR: the host has taken the transfer on.
void TcFTP::transferAccepted()
{
    m_transferStarted = true;
    m_dataAccepted = true;
    startDataTls();
    if (m_downloading) {
        m_announcedSize = announcedSize(m_replyLine);
        if (!m_transferFailed && !openDownloadFile())
            Abort();
    } else if (m_uploading) {
        m_asciiTransfer = !m_binaryMode;
        m_lineEnds.reset();
        dataNeeded();
    }
}

// The final reply to RETR.
void TcFTP::retrEnded(ReplyFlags &flags)
{
    if (!m_downloading)
        return; // a plain "retr" line: nothing of ours to end
    if (!isTransferStart(m_previousCode)) {
        Finish(false);
        return;
    }
    const bool ended = isTransferEnd(m_inCmd);
    if (!ended) {
        // 426 and the like: keep what the host sent before it gave up, then end as failed
        // rather than wait for a data connection that may never close.
        while (m_downloading && m_data->State() == cwConnected && m_data->BytesAvailable() > 0)
            dataAvailable();
        Finish(false);
        return;
    }
    if ((m_data->State() == cwNotConnected || m_data->State() == cwNIL)
        && m_data->BytesAvailable() <= 0) {
        Finish(true);
        return;
    }
    // The data connection still holds bytes, or has not even been accepted yet (in active mode
    // the 226 can overtake the host's connect): its end finishes the download.
    flags.cont = false;
}

// The final reply to STOR. The upload is reported once the host has been told the file's
// modification time, so that nobody ends the session before that.
void TcFTP::storEnded()
{
    const bool ok = isTransferStart(m_previousCode) && isTransferEnd(m_inCmd);
    if (ok && m_uploading && !m_transferFailed && queueUploadTime()) {
        m_transferFile.close();
        return;
    }
    Finish(ok);
}

// The host cannot resume: the RETR already queued fetches the whole file, which replaces the
// local one only once the host has accepted it; the STOR already queued sends the whole file.
void TcFTP::restRefused()
{
    if (m_downloading)
        m_ioPos = 0;
    if (m_uploading && m_ioPos > 0 && m_transferFile.seek(0))
        m_ioPos = 0;
}

// Comes for every slice received. A signal nobody listens to costs one bit test inside Qt;
// asking first whether anybody listens costs more than that.
void TcFTP::emitProgress(TcFTPActionType action, qint64 size)
{
    Q_EMIT actionDone(action, QString(), size, false, true);
}

// A read notice. Listings and downloads read at once: an empty read means the notice was the
// host's end of the connection, which the socket reports as its state next. Asking for the
// count of waiting bytes first would cost one more system call for every 4096 bytes.
void TcFTP::dataAvailable()
{
    if (m_control->State() == cwNotConnected && !m_keepLastData) {
        while (!m_data->ReceiveView().isEmpty()) {
        }
        return;
    }
    // Nothing before the handshake is protected data: it is left unread, and the handshake
    // fails on it.
    if (m_dataProtected && !m_data->Encrypted())
        return;
    if (!m_downloading || m_outCmd != QLatin1String("retr")) {
        if (m_outCmd == QLatin1String("list") || m_outCmd == QLatin1String("mlsd"))
            listingDataAvailable();
        else if (m_data->BytesAvailable() > 0)
            closeDataSocket(true);
        return;
    }
    // Left in the socket's buffer: storeDownloadBytes writes it out before the socket reads
    // into that buffer again.
    const QByteArrayView bytes = m_data->ReceiveView();
    if (bytes.isEmpty())
        return;
    if (!m_transferStarted) {
        // Data arriving before the 150 reply is the host's acceptance as well.
        m_transferStarted = true;
        if (!openDownloadFile()) {
            Abort();
            return;
        }
    }
    m_ioPos += bytes.size();
    m_ioTransfered += bytes.size();
    if (!storeDownloadBytes(bytes)) {
        Abort();
        return;
    }
    emitProgress(caDownload, m_ioPos);
    endIfDataDrained();
}

void TcFTP::endIfDataDrained()
{
    // The socket reports its end only once every byte has been read.
    if (m_data->State() != cwNotConnected || m_data->BytesAvailable() > 0)
        return;
    if (isTransferStart(m_previousCode)) {
        // The final reply came before the last bytes: the transfer ends with them.
        const quint64 sentBefore = m_commandsSent;
        Finish(isTransferEnd(m_inCmd));
        if (m_commandsSent == sentBefore)
            runQueue();
    }
}

// Room to send: blocks of 4096 bytes go out until the socket takes less than a whole block;
// the rest waits for the next notification.
void TcFTP::dataNeeded()
{
    if (!m_uploading || !m_transferStarted || m_data->State() != cwConnected
        || (m_dataProtected && !m_data->Encrypted()))
        return;
    for (;;) {
        if (m_sendOffset >= m_blockEnd) {
            bool more = false;
            try {
                more = fillSendBlock();
            } catch (const TcFTPException &) {
                Abort();
                return;
            }
            if (!more) {
                // A file that grew or shrank while it went out arrived as neither its old nor
                // its new self. Count the file's bytes, not the wire's: in type A every LF went
                // out as CR LF.
                if (m_transferFile.pos() != m_ioSize || m_transferFile.size() != m_ioSize) {
                    m_transferFailed = true;
                    Q_EMIT warning(tr("%1 changed while being sent (%2 bytes when the upload "
                                      "started, %3 sent)")
                                           .arg(m_localFile)
                                           .arg(m_ioSize)
                                           .arg(m_transferFile.pos()));
                }
                // All sent: a graceful close tells the host the file is complete (226 follows).
                try {
                    m_data->Close(false);
                } catch (const TcWinsockException &) {
                    Finish(false);
                }
                return;
            }
        }
        qint64 taken = 0;
        try {
            taken = m_data->Send(QByteArray::fromRawData(m_readAhead.constData() + m_sendOffset,
                                                         m_blockEnd - m_sendOffset));
        } catch (const TcWinsockException &) {
            taken = 0;
        }
        m_sendOffset += taken;
        m_ioPos += taken;
        m_ioTransfered += taken;
        if (m_sendOffset < m_blockEnd || !m_uploading)
            return;
    }
}

void TcFTP::closeDataSocket(bool linger)
{
    try {
        m_data->Close(linger);
    } catch (const TcWinsockException &) {
    }
    try {
        m_data->StopListening();
    } catch (const TcWinsockException &) {
    }
}

// Ends the listing or transfer in progress and reports it.
void TcFTP::Finish(bool success)
{
    // The last slices received are still in the data socket's buffer.
    keepReceived();
    const bool wasQuiet = m_quietData;
    m_quietData = true;
    closeDataSocket(true);
    m_quietData = wasQuiet;

    if (m_listing) {
        const bool ok = success && !m_transferFailed;
        m_transferFailed = false;
        finishListing(ok);
    } else if (m_downloading) {
        m_downloading = false;
        bool ok = success && !m_transferFailed;
        // A host file of 0 bytes sends no data: the local file is made when it succeeds.
        if (ok && !m_transferFile.isOpen())
            ok = openDownloadFile();
        // Whatever the final reply, fewer bytes than announced is a download cut short. In
        // type A the host's size counts its own line ends, not the wire's.
        if (ok && !m_asciiTransfer && m_announcedSize >= 0 && m_ioPos < m_announcedSize) {
            failTransfer(tr("the data connection closed after %1 of the %2 bytes the host "
                            "announced")
                                 .arg(m_ioPos)
                                 .arg(m_announcedSize));
            m_connectionLost = true;
            ok = false;
        }
        ok = closeDownloadFile(ok);
        if (ok)
            stampDownload();
        const qint64 size = m_ioSize;
        m_ioTime = m_ioSize = m_ioPos = m_ioTransfered = -1;
        m_ioSrcFile.clear();
        m_transferStarted = m_transferFailed = false;
        Q_EMIT actionDone(caDownload, QString(), size, true, ok);
        return;
    } else if (m_uploading) {
        m_uploading = false;
        const bool ok = success && !m_transferFailed;
        m_transferFile.close();
        m_readAhead.clear();
        m_sendOffset = m_blockEnd = 0;
        const qint64 size = m_ioSize;
        m_ioTime = m_ioSize = m_ioPos = m_ioTransfered = -1;
        m_ioSrcFile.clear();
        m_transferStarted = m_transferFailed = false;
        Q_EMIT actionDone(caUpload, QString(), size, true, ok);
        return;
    }
    m_ioTime = m_ioSize = m_ioPos = m_ioTransfered = -1;
    m_ioSrcFile.clear();
}

void TcFTP::Abort()
{
    const TcWinsockStates state = m_control->State();
    if (state == cwNIL || state == cwNotConnected || state == cwReadyToConnect)
        return;
    if (state == cwPrepareConnection) {
        try {
            m_control->CancelPrepare();
        } catch (const TcWinsockException &) {
        }
        return;
    }
    m_commandQueue.clear();
    m_buffering = false;
    // Whatever the host says next, a transfer or listing cut short here is no success: it ends
    // now, under its own name, with its local file closed.
    if (m_downloading || m_uploading || m_listing) {
        m_transferFailed = true;
        Finish(false);
    } else {
        closeDataSocket(true);
    }
    // The host's final reply to the interrupted command is still to come: the session takes it
    // before it sends anything else.
    if (m_replyPending && m_control->State() == cwConnected) {
        m_abortWait = 0;
        setState(csWaitForReply);
    } else {
        setState(csIdle);
    }
}
