#include "tasks/queuejournal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace {

const QByteArray Header = QByteArrayLiteral("ORVANE-QUEUE-JOURNAL 1");
const QByteArray HeaderStem = QByteArrayLiteral("ORVANE-QUEUE-JOURNAL ");
const QChar Star = QLatin1Char('*');
// Compaction waits until the file holds this many records and four times the live ones: a queue
// of a few thousand files is rewritten once or twice, not at every other change.
constexpr qint64 CompactAfter = 4096;

QByteArray record(const QString &fields)
{
    const QByteArray bytes = fields.toUtf8();
    return QByteArray::number(qChecksum(bytes), 16).rightJustified(4, '0') + ' ' + bytes + '\n';
}

// The letter of a record's kind: a file's direction, or a tree or a folder.
const char KindLetters[] = "dutm";

QString kindLetter(const QueueJournal::Transfer &t)
{
    switch (t.kind) {
    case QueueJournal::Transfer::Tree:
        return QStringLiteral("t");
    case QueueJournal::Transfer::Folder:
        return QStringLiteral("m");
    case QueueJournal::Transfer::File:
        break;
    }
    return t.download ? QStringLiteral("d") : QStringLiteral("u");
}

QString transferFields(int id, const QueueJournal::Transfer &t)
{
    return QStringLiteral("add*%1*%2*%3*%4*%5")
            .arg(QString::number(id),
                 kindLetter(t),
                 QString::number(t.size),
                 t.hostPath,
                 t.localPath);
}

bool writeAll(int fd, const QByteArray &bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

QueueJournal::Contents damaged(const QString &problem)
{
    QueueJournal::Contents contents;
    contents.state = QueueJournal::Contents::Damaged;
    contents.problem = problem;
    return contents;
}

} // namespace

QueueJournal::QueueJournal(const QString &path, QObject *parent)
    : QObject(parent)
    , m_path(path)
{
    m_writeTimer.setSingleShot(true);
    m_writeTimer.setInterval(0);
    connect(&m_writeTimer, &QTimer::timeout, this, [this] { flush(); });
    m_syncTimer.setSingleShot(true);
    m_syncTimer.setInterval(5000);
    // The disk is asked on a thread of its own: on a busy disk that takes long, and the window
    // must not wait for it. One request at a time; the descriptor is a copy of its own.
    connect(&m_syncTimer, &QTimer::timeout, this, [this] {
        if (m_fd < 0 || !m_unsynced || m_syncing->load())
            return;
        const int fd = ::dup(m_fd);
        if (fd < 0)
            return;
        m_unsynced = false;
        m_syncing->store(true);
        std::thread([fd, syncing = m_syncing] {
            ::fdatasync(fd);
            ::close(fd);
            syncing->store(false);
        }).detach();
    });
}

QueueJournal::~QueueJournal()
{
    flush(true);
    closeFile(false);
}

QueueJournal::Contents QueueJournal::read(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        return damaged(file.errorString());
    const QByteArray data = file.readAll();
    Contents contents;
    contents.state = Contents::Readable;
    QList<QByteArray> lines = data.split('\n');
    // The last piece has no line end: an append that was cut off (or nothing at all).
    lines.removeLast();
    if (lines.isEmpty())
        return contents;
    if (lines.first() != Header) {
        return damaged(lines.first().startsWith(HeaderStem)
                               ? QStringLiteral("it was written by a version that is not known")
                               : QStringLiteral("it is not a queue journal"));
    }
    QHash<int, qsizetype> positions; // id -> index in contents.transfers
    QList<bool> alive;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray &line = lines.at(i);
        bool ok = false;
        const QByteArray bytes = line.mid(5);
        if (line.size() < 6 || line.at(4) != ' ' || line.left(4).toUInt(&ok, 16) != qChecksum(bytes)
            || !ok)
            return damaged(QStringLiteral("line %1 is damaged").arg(i + 1));
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString fields = decoder.decode(bytes);
        if (decoder.hasError())
            return damaged(QStringLiteral("line %1 is damaged").arg(i + 1));
        const QStringList f = fields.split(Star);
        bool idOk = false;
        const int id = f.value(1).toInt(&idOk);
        const char letter = f.value(2).size() == 1 ? f.at(2).at(0).toLatin1() : '\0';
        if (f.first() == QLatin1String("site") && f.size() >= 2) {
            contents.site = fields.mid(5);
        } else if (f.first() == QLatin1String("add") && f.size() == 6 && idOk && letter != '\0'
                   && std::strchr(KindLetters, letter)) {
            Transfer t;
            t.kind = letter == 't' ? Transfer::Tree
                                   : (letter == 'm' ? Transfer::Folder : Transfer::File);
            t.download = letter == 'd' || letter == 't';
            t.size = f.at(3).toLongLong();
            t.hostPath = f.at(4);
            t.localPath = f.at(5);
            positions.insert(id, contents.transfers.size());
            contents.transfers.append(t);
            alive.append(true);
        } else if (f.first() == QLatin1String("end") && f.size() == 2 && idOk) {
            if (positions.contains(id))
                alive[positions.take(id)] = false;
        } else {
            return damaged(QStringLiteral("line %1 is not understood").arg(i + 1));
        }
    }
    QList<Transfer> live;
    for (qsizetype i = 0; i < contents.transfers.size(); ++i) {
        if (alive.at(i))
            live.append(contents.transfers.at(i));
    }
    contents.transfers = live;
    return contents;
}

QString QueueJournal::setAside(const QString &path)
{
    QString aside = path + QStringLiteral(".damaged");
    for (int n = 2; QFileInfo::exists(aside) && n < 1000; ++n)
        aside = path + QStringLiteral(".damaged-%1").arg(n);
    return QFile::rename(path, aside) ? aside : QString();
}

void QueueJournal::setSite(const QString &site)
{
    if (site == m_site)
        return;
    m_site = site;
    m_siteWritten = false;
    if (!m_live.isEmpty())
        compact();
}

int QueueJournal::add(const Transfer &transfer)
{
    const int id = m_nextId++;
    m_live.insert(id, transfer);
    m_order.append(id);
    // The first transfer of a site starts a new file, which holds it already.
    if (!m_siteWritten)
        compact();
    else
        append(transferFields(id, transfer));
    return id;
}

void QueueJournal::end(int id)
{
    if (!m_live.remove(id))
        return;
    if (m_live.isEmpty()) {
        endAll();
        return;
    }
    append(QStringLiteral("end*") + QString::number(id));
    if (m_records > CompactAfter && m_records > 4 * qint64(m_live.size()))
        compact();
}

void QueueJournal::endAll()
{
    m_live.clear();
    m_order.clear();
    m_pending.clear();
    m_writeTimer.stop();
    closeFile(false);
    m_records = 0;
    m_siteWritten = false;
    if (QFile::exists(m_path) && !QFile::remove(m_path))
        m_error = QStringLiteral("cannot remove %1").arg(m_path);
}

void QueueJournal::append(const QString &fields)
{
    m_pending += record(fields);
    ++m_records;
    if (m_pending.size() > 256 * 1024)
        flush();
    else if (!m_writeTimer.isActive())
        m_writeTimer.start();
}

void QueueJournal::flush(bool sync)
{
    m_writeTimer.stop();
    if (!m_pending.isEmpty()) {
        if ((m_fd >= 0 || openForAppend()) && writeAll(m_fd, m_pending)) {
            m_unsynced = true;
            if (!m_syncTimer.isActive())
                m_syncTimer.start();
        } else {
            m_error = QStringLiteral("cannot write %1: %2")
                              .arg(m_path, QString::fromLocal8Bit(std::strerror(errno)));
        }
        m_pending.clear();
    }
    if (sync && m_fd >= 0 && m_unsynced) {
        ::fdatasync(m_fd);
        m_unsynced = false;
    }
}

// A new file with the header, the site and the live transfers, kept on disk before it takes
// the old one's name: a crash leaves the old file or the new one, never half of either.
void QueueJournal::compact()
{
    m_pending.clear();
    m_writeTimer.stop();
    closeFile(false);
    QByteArray data = Header + '\n' + record(QStringLiteral("site*") + m_site);
    QList<int> order;
    for (int id : std::as_const(m_order)) {
        if (m_live.contains(id)) {
            order.append(id);
            data += record(transferFields(id, m_live.value(id)));
        }
    }
    m_order = order;
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    const QString temporary = m_path + QStringLiteral(".new");
    const QByteArray name = QFile::encodeName(temporary);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    // Only a file that takes an older one's place must be on disk before it does; a first file
    // lost to a power cut loses nothing that was kept.
    const bool replacing = QFileInfo::exists(m_path);
    const bool written = fd >= 0 && writeAll(fd, data) && (!replacing || ::fsync(fd) == 0);
    if (fd >= 0)
        ::close(fd);
    if (!written || ::rename(name.constData(), QFile::encodeName(m_path).constData()) != 0) {
        m_error = QStringLiteral("cannot write %1: %2")
                          .arg(temporary, QString::fromLocal8Bit(std::strerror(errno)));
        ::unlink(name.constData());
        return;
    }
    m_siteWritten = true;
    m_records = 1 + order.size();
    m_unsynced = false;
}

bool QueueJournal::openForAppend()
{
    const QByteArray name = QFile::encodeName(m_path);
    m_fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
    return m_fd >= 0;
}

void QueueJournal::closeFile(bool sync)
{
    if (m_fd < 0)
        return;
    if (sync)
        ::fdatasync(m_fd);
    ::close(m_fd);
    m_fd = -1;
    m_syncTimer.stop();
}
