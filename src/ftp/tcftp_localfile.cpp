// The transfer's local file: opening it, writing received bytes in large blocks, reading the
// file to send, and replacing an existing file only once its new content has arrived whole.
#include "ftp/tcftp.h"

#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace {

constexpr qsizetype SendBlockSize = 4096;
constexpr qsizetype FileBlockSize = 256 * 1024;
// Received bytes at least this many go to the file in a write of their own; fewer are gathered
// into blocks of FileBlockSize.
constexpr qsizetype DirectWriteSize = 64 * 1024;
// Longest file name the local file systems take, in bytes.
constexpr qsizetype NameMax = 255;

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

void TcFTP::failTransfer(const QString &reason)
{
    m_transferFailed = true;
    if (m_failureReason.isEmpty())
        m_failureReason = reason;
}

bool TcFTP::openDownloadFile()
{
    if (m_transferFile.isOpen())
        return true;
    m_asciiTransfer = !m_binaryMode;
    m_lineEnds.reset();
    // One block and the slice that fills it: appending never grows the buffer.
    m_writeBuffer.reserve(FileBlockSize + 2 * SendBlockSize);
    m_partFile.clear();

    // The whole file fetched over an existing one goes into a part file first, so that a
    // download that fails leaves the old file as it was. A resumed download appends to its
    // partial, and a new file is written in place: its partial is what a resume needs.
    const QFileInfo local(m_localFile);
    if (m_ioPos == 0 && local.exists()) {
        const QString finalPath
                = local.isSymLink() ? local.canonicalFilePath() : local.absoluteFilePath();
        if (openPartFile(finalPath))
            return true;
        failTransfer(tr("cannot create a part file next to the local file: %1")
                             .arg(m_transferFile.errorString()));
        return false;
    }
    m_transferFile.setFileName(m_localFile);
    const QIODevice::OpenMode mode = m_ioPos > 0 ? QIODevice::WriteOnly | QIODevice::Append
                                                 : QIODevice::WriteOnly | QIODevice::Truncate;
    // Unbuffered: the blocks are gathered here, and every write's failure must show at once.
    if (!m_transferFile.open(mode | QIODevice::Unbuffered)) {
        failTransfer(tr("cannot open the local file: %1").arg(m_transferFile.errorString()));
        return false;
    }
    return true;
}

// ".name.part-k3v9q2", readable by the owner only; made new, so it can take no file's place.
bool TcFTP::openPartFile(const QString &finalPath)
{
    const QFileInfo target(finalPath);
    const QString folder = target.absolutePath() + QLatin1Char('/');
    for (int attempt = 0; attempt < 10; ++attempt) {
        const QString tag = QStringLiteral(".part-")
                            + QString::number(QRandomGenerator::global()->generate64(), 36);
        QString name = QLatin1Char('.') + target.fileName() + tag;
        if (QFile::encodeName(name).size() > NameMax)
            name = QStringLiteral(".orvane") + tag;
        m_transferFile.setFileName(folder + name);
        if (m_transferFile.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered,
                                QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
            m_partFile = m_transferFile.fileName();
            m_replacedFile = finalPath;
            return true;
        }
        if (!QFileInfo::exists(folder + name))
            return false;
    }
    return false;
}

bool TcFTP::storeDownloadBytes(QByteArrayView bytes)
{
    if (m_asciiTransfer) {
        m_lineEnds.receive(bytes, m_writeBuffer);
        return m_writeBuffer.size() < FileBlockSize || flushDownload();
    }
    // Binary slices are not copied: they stay in the data socket's buffer, one after the
    // other, until it has handed out everything it read at once, and go to the file from there.
    if (m_received.data() + m_received.size() == bytes.data()) {
        m_received = QByteArrayView(m_received.data(), m_received.size() + bytes.size());
    } else {
        if (!keepReceived())
            return false;
        m_received = bytes;
    }
    return m_data->ReadAheadLeft() > 0 || keepReceived();
}

bool TcFTP::keepReceived()
{
    const QByteArrayView bytes = std::exchange(m_received, {});
    if (bytes.isEmpty())
        return true;
    if (bytes.size() < DirectWriteSize) {
        m_writeBuffer.append(bytes);
        return m_writeBuffer.size() < FileBlockSize || flushDownload();
    }
    return (m_writeBuffer.isEmpty() || flushDownload())
           && writeDownload(bytes.data(), bytes.size());
}

bool TcFTP::flushDownload()
{
    const bool ok = writeDownload(m_writeBuffer.constData(), m_writeBuffer.size());
    m_writeBuffer.resize(0);
    return ok;
}

bool TcFTP::writeDownload(const char *data, qint64 size)
{
    bool ok = m_transferFile.isOpen();
    // A write can take part of a block (the file-size limit reached in its middle); the next
    // write of the rest then fails with the system's reason.
    while (ok && size > 0) {
        const qint64 written = m_transferFile.write(data, size);
        if (written <= 0) {
            ok = false;
        } else {
            data += written;
            size -= written;
        }
    }
    if (!ok)
        failTransfer(tr("cannot write the local file: %1").arg(m_transferFile.errorString()));
    return ok;
}

bool TcFTP::closeDownloadFile(bool success)
{
    bool ok = success;
    if (m_transferFile.isOpen()) {
        if (m_asciiTransfer)
            m_lineEnds.finishReceiving(m_writeBuffer);
        // A partial written in place is kept for resuming; a part file that goes need not be.
        if ((ok || m_partFile.isEmpty()) && !flushDownload())
            ok = false;
        m_writeBuffer.resize(0);
        m_transferFile.close();
        if (m_transferFile.error() != QFileDevice::NoError) {
            failTransfer(tr("cannot write the local file: %1").arg(m_transferFile.errorString()));
            ok = false;
        }
    }
    if (!m_partFile.isEmpty()) {
        if (ok)
            ok = replaceWithPartFile();
        if (!ok)
            QFile::remove(m_partFile);
        m_partFile.clear();
        m_replacedFile.clear();
    }
    return ok;
}

// The old file's permissions go to the new content, which then takes its name in one step.
bool TcFTP::replaceWithPartFile()
{
    const QFileInfo old(m_replacedFile);
    if (old.exists() && !QFile::setPermissions(m_partFile, old.permissions())) {
        failTransfer(tr("cannot replace the local file: cannot set its permissions"));
        return false;
    }
    if (std::rename(QFile::encodeName(m_partFile).constData(),
                    QFile::encodeName(m_replacedFile).constData())
        != 0) {
        failTransfer(tr("cannot replace the local file: %1").arg(systemError(errno)));
        return false;
    }
    return true;
}

// Makes the next block of at most 4096 bytes ready; false when the file has been sent whole.
// In type A the file is read into a block of its own and converted into the one sent from.
bool TcFTP::fillSendBlock()
{
    if (m_sendOffset >= m_readAhead.size()) {
        QByteArray &into = m_asciiTransfer ? m_readRaw : m_readAhead;
        into.resize(FileBlockSize);
        const qint64 got = m_fileAtEnd ? 0 : m_transferFile.read(into.data(), FileBlockSize);
        if (got < 0) {
            m_readAhead.clear();
            m_sendOffset = m_blockEnd = 0;
            failTransfer(tr("cannot read the local file: %1").arg(m_transferFile.errorString()));
            throw TcFTPException(99);
        }
        into.resize(got);
        if (m_asciiTransfer) {
            m_readAhead.resize(0);
            m_lineEnds.send(m_readRaw, m_readAhead);
        }
        m_sendOffset = 0;
        if (got < FileBlockSize || m_transferFile.atEnd())
            m_fileAtEnd = true;
    }
    m_blockEnd = qMin(m_sendOffset + SendBlockSize, m_readAhead.size());
    return m_sendOffset < m_blockEnd;
}
