// The command language: the queue runner, the own commands, the data connection and the
// transfers with their ends.
#include "ftp/tcftp.h"

#include "platform/localpath.h"
#include "util/fieldstring.h"
#include "util/hosttext.h"
#include "util/pathforms.h"

#include <QFileInfo>
#include <QMetaMethod>
#include <QRegularExpression>

namespace {

constexpr qsizetype SendBlockSize = 4096;
constexpr qsizetype FileBlockSize = 256 * 1024;

bool isTransferStart(const QString &code)
{
    return code == QLatin1String("125") || code == QLatin1String("150");
}

bool isTransferEnd(const QString &code)
{
    // 226 is the usual end of a transfer; RFC 959 also allows 250.
    return code == QLatin1String("226") || code == QLatin1String("250");
}

QString firstWord(const QString &line)
{
    return line.section(QLatin1Char(' '), 0, 0).toLower();
}

QString argumentOf(const QString &line)
{
    const qsizetype space = line.indexOf(QLatin1Char(' '));
    return space < 0 ? QString() : line.mid(space + 1);
}

// A host path in slash form without the "/" that ConvertPath appends ("/" stays "/").
QString hostPath(const QString &path)
{
    QString slash = ConvertPath(path, SlashForm);
    if (slash.size() > 1 && slash.endsWith(QLatin1Char('/')))
        slash.chop(1);
    return slash;
}

} // namespace

void TcFTP::Execute()
{
    if (runQueue())
        throw TcFTPException(1241);
}

// Returns true when an own command failed on the way (it has been reported already).
bool TcFTP::runQueue()
{
    bool failed = false;
    const quint64 sentBefore = m_commandsSent;
    for (;;) {
        // A handler called back into the session and the next command is already out.
        if (m_commandsSent != sentBefore || m_control->State() != cwConnected)
            return failed;
        if (m_commandQueue.isEmpty()) {
            if (m_buffering) {
                if (!m_bufferFolders.isEmpty()) {
                    m_commandQueue.prepend(QStringLiteral("*list ") + m_bufferFolders.takeFirst());
                    continue;
                }
                m_buffering = false;
            }
            if (m_quitBeforeIdle)
                disconnectQuietly();
            else
                setState(csIdle);
            return failed;
        }
        const QString line = m_commandQueue.takeFirst();
        setState(csWaitForReply);
        if (line.startsWith(QLatin1Char('*'))) {
            try {
                runOwnCommand(line);
            } catch (const std::exception &) {
                failed = true;
            }
            continue;
        }
        if (sendHostCommand(line))
            return failed;
    }
}

void TcFTP::runOwnCommand(const QString &line)
{
    const QString command = firstWord(line);
    const QString argument = argumentOf(line);
    const bool twoFields = FieldCount(argument, QLatin1Char('*')) == 2;
    if (command == QLatin1String("*list")) {
        runListCommand(command, argument);
    } else if ((command == QLatin1String("*reload") || command == QLatin1String("*bufferfolder"))
               && !argument.isEmpty()) {
        runListCommand(command, argument);
    } else if (command == QLatin1String("*download") && twoFields) {
        startDownload(argument);
    } else if (command == QLatin1String("*upload") && twoFields) {
        startUpload(argument);
    } else if (command == QLatin1String("*rename") && twoFields
               && !Field(argument, 2, QLatin1Char('*')).isEmpty()) {
        startRename(argument);
    } else {
        Q_EMIT unknownCommand(line);
    }
}

// The one way a command line reaches the host. Returns false when nothing was sent.
bool TcFTP::sendHostCommand(const QString &queued)
{
    QString line = queued;
    const QString word = firstWord(line);
    qsizetype keep = 0;
    if (word == QLatin1String("mkd") || word == QLatin1String("rmd")
        || word == QLatin1String("cwd"))
        keep = 4;
    else if (word == QLatin1String("dele") || word == QLatin1String("retr")
             || word == QLatin1String("stor"))
        keep = 5;
    if (keep > 0 && line.size() >= keep)
        line = line.left(keep) + hostPath(line.mid(keep));

    // A name holding CR, LF or NUL would smuggle a second command to the host.
    if (line.contains(QLatin1Char('\r')) || line.contains(QLatin1Char('\n'))
        || line.contains(QChar(0))) {
        refuseCommandLine(line);
        return false;
    }

    setState(csWaitForReply);
    m_secsIdle = 0;
    m_commandLine = line;
    m_outCmd = word;
    ++m_commandsSent;
    Q_EMIT textIO(line, false, true);

    QByteArray bytes = EncodeHostText(line);
    bytes.append("\r\n");
    if (!m_controlBacklog.isEmpty()) {
        m_controlBacklog.append(bytes);
        return true;
    }
    qint64 taken = 0;
    try {
        taken = m_control->Send(bytes);
    } catch (const TcWinsockException &) {
        taken = 0;
    }
    if (taken < bytes.size() && m_control->State() == cwConnected)
        m_controlBacklog = bytes.mid(taken);
    return true;
}

// Nothing of the line goes out; the command ends as if the host had refused it.
void TcFTP::refuseCommandLine(const QString &line)
{
    const QString word = firstWord(line);
    QString shown = word == QLatin1String("pass") ? QStringLiteral("pass *****") : line;
    shown.replace(QLatin1Char('\r'), QLatin1String("\\r"))
            .replace(QLatin1Char('\n'), QLatin1String("\\n"))
            .replace(QChar(0), QLatin1String("\\0"));
    Q_EMIT warning(tr("Refused to send a command holding CR, LF or NUL: %1").arg(shown));

    const QString argument = argumentOf(line);
    if (word == QLatin1String("user") || word == QLatin1String("pass")
        || word == QLatin1String("open")) {
        disconnectQuietly();
    } else if (word == QLatin1String("cwd")) {
        m_commandQueue.clear();
        Q_EMIT actionDone(caChangeFolder, m_serverFolder, 0, true, false);
    } else if (word == QLatin1String("dele")) {
        QString name = ConvertPath(argument, BackslashForm);
        name.chop(1);
        Q_EMIT actionDone(caDelete, name, 0, true, false);
    } else if (word == QLatin1String("mkd")) {
        Q_EMIT actionDone(caMakeFolder, ConvertPath(argument, BackslashForm), 0, true, false);
    } else if (word == QLatin1String("rmd")) {
        Q_EMIT actionDone(caRemoveFolder, ConvertPath(argument, BackslashForm), 0, true, false);
    } else if (word == QLatin1String("rnfr")) {
        m_renameTo.clear();
    } else if (m_listing || m_downloading || m_uploading) {
        // retr, stor, list or one of the lines that prepare them
        m_commandQueue.clear();
        Finish(false);
    }
}

// "*rename \pub\a.txt*b.txt": RNFR /pub/a.txt, then RNTO /pub/b.txt. A new name that is a
// path of its own is sent as that path.
void TcFTP::startRename(const QString &argument)
{
    const QString oldPath = Field(argument, 1, QLatin1Char('*'));
    const QString newName = Field(argument, 2, QLatin1Char('*'));
    const QString oldSlash = hostPath(oldPath);
    QString newSlash;
    if (newName.contains(QLatin1Char('\\')) || newName.contains(QLatin1Char('/'))) {
        newSlash = hostPath(newName);
    } else {
        const qsizetype cut = oldSlash.lastIndexOf(QLatin1Char('/'));
        newSlash = oldSlash.left(cut + 1) + newName;
    }
    m_commandQueue.prepend(QStringLiteral("rnfr ") + oldSlash);
    m_renameTo = newSlash;
}

void TcFTP::startDownload(const QString &argument)
{
    const QString source = Field(argument, 1, QLatin1Char('*'));
    const QString destination = Field(argument, 2, QLatin1Char('*'));
    const qsizetype sourceCut = source.lastIndexOf(QLatin1Char('\\')) + 1;
    const qsizetype destinationCut = destination.lastIndexOf(QLatin1Char('\\')) + 1;
    const QString sourceFolder = source.left(sourceCut);
    const QString sourceName = source.mid(sourceCut);

    // The file's size comes from the listing buffer; without it there is no download.
    QString entry;
    try {
        if (m_listingBuffer)
            entry = LookupEntry(*m_listingBuffer, sourceFolder, QLatin1Char('f') + sourceName);
    } catch (const std::exception &) {
        entry.clear();
    }
    m_downloading = true;
    if (entry.isEmpty()) {
        // Report it: the owner waits for this download's end before it gives the next line.
        Finish(false);
        throw TcFTPException(23232);
    }

    prepareDataSocket();
    m_ioSrcFolder = sourceFolder;
    m_ioSrcFile = sourceName;
    m_ioDstFolder = destination.left(destinationCut);
    m_ioDstFile = destination.mid(destinationCut);
    m_ioSize = Field(entry, 1, QLatin1Char('*')).toLongLong();
    m_ioPos = 0;
    m_ioTransfered = 0;
    m_transferStarted = false;
    m_transferFailed = false;
    m_writeBuffer.clear();
    m_localFile = LocalToNative(m_ioDstFolder + m_ioDstFile);

    // Resume from the local size when it is smaller than the host's; a local file as large or
    // larger is fetched again from the start. Nothing is written before the host accepts.
    const QFileInfo local(m_localFile);
    const bool writable = local.exists() ? local.isFile() && local.isWritable()
                                         : QFileInfo(local.absolutePath()).isDir()
                                                   && QFileInfo(local.absolutePath()).isWritable();
    if (m_localFile.isEmpty() || !writable) {
        Finish(false);
        return;
    }
    if (m_resumeTransfers && local.exists() && local.size() < m_ioSize)
        m_ioPos = local.size();

    QStringList lines;
    try {
        const QString type = transferTypeCommand(sourceName, true);
        if (!type.isEmpty())
            lines.append(type);
        if (!m_passiveMode)
            m_data->Listen();
        lines.append(dataConnectionCommand());
    } catch (const std::exception &) {
        Finish(false);
        return;
    }
    if (m_ioPos > 0)
        lines.append(QStringLiteral("rest ") + QString::number(m_ioPos));
    lines.append(QStringLiteral("retr ") + ConvertPath(sourceFolder, SlashForm) + sourceName);
    m_commandQueue = lines + m_commandQueue;
}

void TcFTP::startUpload(const QString &argument)
{
    m_uploading = true;
    QString source = ConvertPath(Field(argument, 1, QLatin1Char('*')), BackslashForm);
    QString destination = ConvertPath(Field(argument, 2, QLatin1Char('*')), BackslashForm);
    source.chop(1);
    destination.chop(1);
    const qsizetype sourceCut = source.lastIndexOf(QLatin1Char('\\')) + 1;
    const qsizetype destinationCut = destination.lastIndexOf(QLatin1Char('\\')) + 1;

    prepareDataSocket();
    m_localFile = LocalToNative(source);
    m_transferFile.setFileName(m_localFile);
    if (m_localFile.isEmpty() || !m_transferFile.open(QIODevice::ReadOnly)) {
        Finish(false);
        return;
    }
    m_ioSrcFolder = source.left(sourceCut);
    m_ioSrcFile = source.mid(sourceCut);
    m_ioDstFolder = destination.left(destinationCut);
    m_ioDstFile = destination.mid(destinationCut);
    m_ioSize = m_transferFile.size();
    m_ioPos = 0;
    m_ioTransfered = 0;
    m_transferStarted = false;
    m_transferFailed = false;
    m_readAhead.clear();
    m_sendOffset = 0;
    m_blockEnd = 0;
    m_fileAtEnd = false;

    QStringList lines;
    try {
        const QString type = transferTypeCommand(m_ioSrcFile, true);
        if (!type.isEmpty())
            lines.append(type);
        if (!m_passiveMode) {
            try {
                m_data->Listen();
            } catch (const TcWinsockException &) {
            }
        }
        lines.append(dataConnectionCommand());
    } catch (const std::exception &) {
        Finish(false);
        return;
    }
    lines.append(QStringLiteral("stor ") + ConvertPath(m_ioDstFolder, SlashForm) + m_ioDstFile);
    m_commandQueue = lines + m_commandQueue;
}

// "type a", "type i" or nothing, by the file's extension when the program chooses the type.
QString TcFTP::transferTypeCommand(const QString &name, bool wantBinary) const
{
    if (!m_autoTransferMode)
        return QString();
    const QString extension = Field(name, FieldCount(name, QLatin1Char('.')), QLatin1Char('.'));
    if (!extension.isEmpty() && m_ascExtension.contains(extension, Qt::CaseInsensitive))
        wantBinary = false;
    if (wantBinary == m_binaryMode)
        return QString();
    return wantBinary ? QStringLiteral("type i") : QStringLiteral("type a");
}

// "pasv", or "port h1,h2,h3,h4,p1,p2" for the control connection's local address and the
// data listener's port.
QString TcFTP::dataConnectionCommand()
{
    if (m_passiveMode)
        return QStringLiteral("pasv");
    const int port = m_data->LocalPort().toInt();
    QString line = QStringLiteral("port ") + m_control->LocalAddress() + QLatin1Char(',')
                   + QString::number(port / 256) + QLatin1Char(',') + QString::number(port % 256);
    line.replace(QLatin1Char('.'), QLatin1Char(','));
    return line;
}

// Leaves the data socket closed and ready for the next transfer; whatever an earlier
// transfer left behind ends nothing now.
void TcFTP::prepareDataSocket()
{
    m_quietData = true;
    if (m_data->State() != cwNIL && m_data->State() != cwNotConnected)
        closeDataSocket(true);
    m_quietData = false;
    m_data->setPort(QStringLiteral("0"));
}

// 227 Entering Passive Mode (10,0,0,5,4,2). Only the port is taken: the address in the reply
// could point the client at any machine, so the data connection goes to the host that the
// control connection already reaches.
void TcFTP::openPassiveConnection()
{
    static const QRegularExpression numbers(
            QStringLiteral("(\\d+),(\\d+),(\\d+),(\\d+),(\\d+),(\\d+)"));
    const QRegularExpressionMatch match = numbers.match(m_replyLine);
    const int high = match.hasMatch() ? match.captured(5).toInt() : -1;
    const int low = match.hasMatch() ? match.captured(6).toInt() : -1;
    if (high < 0 || high > 255 || low < 0 || low > 255 || high * 256 + low == 0) {
        closeDataSocket(true);
        return;
    }
    try {
        m_data->setIP(m_control->PeerAddress());
        m_data->setPort(QString::number(high * 256 + low));
        m_data->PrepareConnection();
    } catch (const std::exception &) {
        closeDataSocket(true);
    }
}

// PASV or PORT refused: the transfer command is dropped, and the transfer ends as failed
// instead of waiting for a reply that never comes.
void TcFTP::dataConnectionRefused()
{
    m_commandQueue.clear();
    if (m_listing || m_downloading || m_uploading)
        Finish(false);
}

// 125 or 150 to RETR or STOR: the host has taken the transfer on.
void TcFTP::transferAccepted()
{
    m_transferStarted = true;
    if (m_downloading) {
        if (!openDownloadFile())
            Abort();
    } else if (m_uploading && m_data->State() == cwConnected) {
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

// The final reply to STOR.
void TcFTP::storEnded()
{
    Finish(isTransferStart(m_previousCode) && isTransferEnd(m_inCmd));
}

// The host cannot resume: the RETR already queued fetches the whole file, which replaces the
// local one only once the host has accepted it.
void TcFTP::restRefused()
{
    if (m_downloading)
        m_ioPos = 0;
}

// Opens the local file once the host has accepted the download: appended to when resuming,
// else created empty.
bool TcFTP::openDownloadFile()
{
    if (m_transferFile.isOpen())
        return true;
    m_transferFile.setFileName(m_localFile);
    const QIODevice::OpenMode mode = m_ioPos > 0 ? QIODevice::WriteOnly | QIODevice::Append
                                                 : QIODevice::WriteOnly | QIODevice::Truncate;
    if (!m_transferFile.open(mode)) {
        m_transferFailed = true;
        return false;
    }
    m_writeBuffer.reserve(FileBlockSize);
    return true;
}

bool TcFTP::flushDownload()
{
    if (m_writeBuffer.isEmpty())
        return true;
    const bool ok = m_transferFile.isOpen()
                    && m_transferFile.write(m_writeBuffer) == m_writeBuffer.size();
    m_writeBuffer.resize(0);
    if (!ok)
        m_transferFailed = true;
    return ok;
}

void TcFTP::emitProgress(TcFTPActionType action, qint64 size)
{
    static const QMetaMethod signal = QMetaMethod::fromSignal(&TcFTP::actionDone);
    if (isSignalConnected(signal))
        Q_EMIT actionDone(action, QString(), size, false, true);
}

void TcFTP::dataAvailable()
{
    if (m_data->BytesAvailable() <= 0)
        return;
    if (m_control->State() == cwNotConnected) {
        while (!m_data->Receive().isEmpty()) {
        }
        return;
    }
    if (m_outCmd == QLatin1String("list")) {
        listingDataAvailable();
        return;
    }
    if (m_outCmd != QLatin1String("retr") || !m_downloading) {
        closeDataSocket(true);
        return;
    }
    const QByteArray bytes = m_data->Receive();
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
    m_writeBuffer.append(bytes);
    if (m_writeBuffer.size() >= FileBlockSize && !flushDownload()) {
        Abort();
        return;
    }
    emitProgress(caDownload, m_ioPos);
    if (m_data->BytesAvailable() > 0)
        return;
    if (isTransferStart(m_previousCode) && m_data->State() == cwNotConnected) {
        const quint64 sentBefore = m_commandsSent;
        Finish(isTransferEnd(m_inCmd));
        if (m_commandsSent == sentBefore)
            runQueue();
    }
}

// Makes the next block of at most 4096 bytes ready; false when the file has been sent whole.
bool TcFTP::fillSendBlock()
{
    if (m_sendOffset >= m_readAhead.size()) {
        m_readAhead.resize(FileBlockSize);
        const qint64 got = m_fileAtEnd ? 0 : m_transferFile.read(m_readAhead.data(), FileBlockSize);
        if (got < 0) {
            m_readAhead.clear();
            m_sendOffset = m_blockEnd = 0;
            m_transferFailed = true;
            throw TcFTPException(99);
        }
        m_readAhead.resize(got);
        m_sendOffset = 0;
        if (got < FileBlockSize || m_transferFile.atEnd())
            m_fileAtEnd = true;
    }
    m_blockEnd = qMin(m_sendOffset + SendBlockSize, m_readAhead.size());
    return m_sendOffset < m_blockEnd;
}

// Room to send: blocks of 4096 bytes go out until the socket takes less than a whole block;
// the rest waits for the next notification.
void TcFTP::dataNeeded()
{
    if (!m_uploading || !m_transferStarted || m_data->State() != cwConnected)
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
    const bool wasQuiet = m_quietData;
    m_quietData = true;
    closeDataSocket(true);
    m_quietData = wasQuiet;

    if (m_listing) {
        finishListing(success);
    } else if (m_downloading) {
        m_downloading = false;
        bool ok = success && !m_transferFailed;
        // A host file of 0 bytes sends no data: the local file is made when it succeeds.
        if (ok && !m_transferFile.isOpen())
            ok = openDownloadFile();
        if (!flushDownload())
            ok = false;
        m_transferFile.close();
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
    // Whatever the host says next, a transfer cut short here is no success.
    if (m_downloading || m_uploading)
        m_transferFailed = true;
    setState(csIdle);
    closeDataSocket(true);
}
