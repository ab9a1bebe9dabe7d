// The command language: the queue runner, the own commands and how transfers are set up.
#include "ftp/tcftp.h"

#include "platform/localpath.h"
#include "util/fieldstring.h"
#include "util/hosttext.h"
#include "util/pathforms.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace {

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
        // A handler called back into the session and the next command is already out; or the
        // host has not given its final reply to the last command yet (after an abort): nothing
        // goes out before it, or that reply would be taken for the next command's.
        if (m_commandsSent != sentBefore || m_control->State() != cwConnected || m_replyPending)
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
    } else if (command == QLatin1String("*upload")
               && (twoFields || FieldCount(argument, QLatin1Char('*')) == 3)) {
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
    m_sinceProgress.restart();
    m_commandLine = line;
    m_outCmd = word;
    ++m_commandsSent;
    m_replyPending = true;
    Q_EMIT textIO(line, false, true);

    QByteArray bytes = m_nameCodec.encode(line);
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
    // Named before anything can fail, so that a failure report names this transfer's file and
    // not the previous one's.
    m_ioSrcFolder = sourceFolder;
    m_ioSrcFile = sourceName;
    m_ioDstFolder = destination.left(destinationCut);
    m_ioDstFile = destination.mid(destinationCut);
    m_downloading = true;
    m_failureReason.clear();
    m_connectionLost = false;
    if (entry.isEmpty()) {
        // Report it: the owner waits for this download's end before it gives the next line.
        // The reason is said here: the last reply, whatever it was, is not this file's.
        m_failureReason = tr("the folder's listing on the host does not show it");
        Finish(false);
        throw TcFTPException(23232);
    }

    prepareDataSocket();
    m_ioSize = Field(entry, 1, QLatin1Char('*')).toLongLong();
    m_ioPos = 0;
    m_ioTransfered = 0;
    m_transferStarted = false;
    m_transferFailed = false;
    m_announcedSize = -1;
    m_writeBuffer.clear();
    m_received = {};
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
    // In type A the local file's line ends differ from the host's: its size says nothing of
    // where to go on, so such a file is always fetched whole.
    const bool asText = m_autoTransferMode ? hasAsciiExtension(sourceName) : !m_binaryMode;
    if (m_resumeTransfers && !asText && local.exists() && local.size() < m_ioSize)
        m_ioPos = local.size();
    // A listing without the size (an MLSD entry with no size fact): the host is asked, and its
    // answer decides whether the partial is resumed.
    m_resumeCandidate = -1;
    const bool askSize = m_ioSize < 0 && HostOffers(QStringLiteral("SIZE"));
    if (askSize && m_resumeTransfers && !asText && local.exists() && local.size() > 0)
        m_resumeCandidate = local.size();

    QStringList lines;
    const QString timeCommand = downloadTimeCommand(sourceFolder, sourceName);
    if (!timeCommand.isEmpty())
        lines.append(timeCommand);
    try {
        lines += dataSetupCommands(sourceName, true);
    } catch (const std::exception &) {
        Finish(false);
        return;
    }
    // After the type command: hosts give no size in type A.
    if (askSize)
        lines.insert(lines.size() - 1,
                     QStringLiteral("size ") + ConvertPath(sourceFolder, SlashForm) + sourceName);
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

    m_ioSrcFolder = source.left(sourceCut);
    m_ioSrcFile = source.mid(sourceCut);
    m_ioDstFolder = destination.left(destinationCut);
    m_ioDstFile = destination.mid(destinationCut);
    m_failureReason.clear();
    m_connectionLost = false;
    prepareDataSocket();
    m_localFile = LocalToNative(source);
    m_transferFile.setFileName(m_localFile);
    // A named pipe or a device never ends, or has no size to check the upload against.
    if (!m_localFile.isEmpty() && QFileInfo::exists(m_localFile)
        && !QFileInfo(m_localFile).isFile()) {
        Q_EMIT warning(
                tr("%1 is not a regular file (a pipe, a device or a socket); it is not sent.")
                        .arg(m_localFile));
        Finish(false);
        return;
    }
    if (m_localFile.isEmpty() || !m_transferFile.open(QIODevice::ReadOnly)) {
        failTransfer(tr("cannot open the local file: %1").arg(m_transferFile.errorString()));
        Finish(false);
        return;
    }
    m_ioSize = m_transferFile.size();
    m_ioPos = 0;
    // Told to go on from an offset: the host's file holds the first part already. In type A
    // sizes differ on both sides, so such a file always goes whole.
    const qint64 offset = Field(argument, 3, QLatin1Char('*')).toLongLong();
    const bool asText = m_autoTransferMode ? hasAsciiExtension(m_ioSrcFile) : !m_binaryMode;
    if (offset > 0 && offset < m_ioSize && !asText && m_transferFile.seek(offset))
        m_ioPos = offset;
    m_ioTransfered = 0;
    m_transferStarted = false;
    m_transferFailed = false;
    m_readAhead.clear();
    m_sendOffset = 0;
    m_blockEnd = 0;
    m_fileAtEnd = false;

    QStringList lines;
    try {
        lines = dataSetupCommands(m_ioSrcFile, true);
    } catch (const std::exception &) {
        Finish(false);
        return;
    }
    if (m_ioPos > 0)
        lines.append(QStringLiteral("rest ") + QString::number(m_ioPos));
    lines.append(QStringLiteral("stor ") + ConvertPath(m_ioDstFolder, SlashForm) + m_ioDstFile);
    m_commandQueue = lines + m_commandQueue;
}

// "type a", "type i" or nothing, by the file's extension when the program chooses the type.
QString TcFTP::transferTypeCommand(const QString &name, bool wantBinary) const
{
    if (!m_autoTransferMode)
        return QString();
    if (hasAsciiExtension(name))
        wantBinary = false;
    if (wantBinary == m_binaryMode)
        return QString();
    return wantBinary ? QStringLiteral("type i") : QStringLiteral("type a");
}

bool TcFTP::hasAsciiExtension(const QString &name) const
{
    const QString extension = Field(name, FieldCount(name, QLatin1Char('.')), QLatin1Char('.'));
    return !extension.isEmpty() && m_ascExtension.contains(extension, Qt::CaseInsensitive);
}

// "epsv" or "pasv"; in active mode "port h1,h2,h3,h4,p1,p2" for the control connection's
// local address and the data listener's port, or "eprt |2|address|port|" over IPv6.
QString TcFTP::dataConnectionCommand()
{
    if (m_passiveMode)
        return UsesEpsv() ? QStringLiteral("epsv") : QStringLiteral("pasv");
    const int port = m_data->LocalPort().toInt();
    if (m_control->PeerIsIPv6())
        return QStringLiteral("eprt |2|%1|%2|").arg(m_control->LocalAddress()).arg(port);
    QString line = QStringLiteral("port ") + m_control->LocalAddress() + QLatin1Char(',')
                   + QString::number(port / 256) + QLatin1Char(',') + QString::number(port % 256);
    line.replace(QLatin1Char('.'), QLatin1Char(','));
    return line;
}

QStringList TcFTP::dataSetupCommands(const QString &name, bool wantBinary)
{
    QStringList lines;
    const QString type = transferTypeCommand(name, wantBinary);
    if (!type.isEmpty())
        lines.append(type);
    if (!m_passiveMode) {
        try {
            listenForHost();
        } catch (const TcWinsockException &e) {
            m_failureReason
                    = tr("cannot listen for a data connection: %1")
                              .arg(e.systemError() != 0
                                           ? qt_error_string(e.systemError())
                                           : QStringLiteral("socket error %1").arg(e.number()));
            throw;
        }
    }
    lines.append(dataConnectionCommand());
    return lines;
}

// The active-mode data listener: on the address the control connection uses here, and open to
// the host alone. Anyone else on the network could otherwise connect first and be taken for
// the host: its bytes stored as the download, or the upload sent to it.
void TcFTP::listenForHost()
{
    m_data->setListenAddress(m_control->LocalAddress());
    m_data->setAcceptFrom(m_control->PeerAddress());
    m_data->Listen();
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
    m_dataAccepted = false;
    // Protected data connections run TLS as the client of the handshake in either mode,
    // resuming the control connection's session; startDataTls says when.
    m_data->setTls(m_dataProtected ? m_tlsContext : nullptr, m_host, false, false);
    m_data->setGatherSends(true);
}

// The data connection goes to the host that the control connection already reaches, whatever
// address a PASV reply names.
void TcFTP::openPassiveConnection(int port)
{
    if (port <= 0 || port > 65535) {
        closeDataSocket(true);
        return;
    }
    try {
        m_data->setIP(m_control->PeerAddress());
        m_data->setPort(QString::number(port));
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
