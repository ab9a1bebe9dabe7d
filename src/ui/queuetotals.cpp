#include "ui/queuetotals.h"

#include "platform/localpath.h"
#include "tasks/taskengine.h"
#include "ui/taskprogressmodel.h"
#include "util/fieldstring.h"
#include "widgets/pacedcall.h"

#include <QFileInfo>
#include <QLocale>

#include <stdexcept>

namespace {

constexpr int RecountIntervalMs = 250;
// The pace is measured over this much of the recent past.
constexpr qint64 PaceWindowMs = 5000;
const QChar Star = QLatin1Char('*');

} // namespace

QueueTotals::QueueTotals(TaskEngine &engine, QObject *parent)
    : QObject(parent)
    , m_engine(engine)
    , m_recount(new PacedCall(
              RecountIntervalMs, [this] { update(); }, this))
{
    m_clock.start();
    // The pace changes while files move without changing the rows.
    m_tick.setInterval(1000);
    connect(&m_tick, &QTimer::timeout, m_recount, &PacedCall::request);
    for (QAbstractItemModel *rows : {engine.queueRows(), engine.taskRows()}) {
        connect(rows, &QAbstractItemModel::dataChanged, m_recount, &PacedCall::request);
        connect(rows, &QAbstractItemModel::rowsInserted, m_recount, &PacedCall::request);
        connect(rows, &QAbstractItemModel::rowsRemoved, m_recount, &PacedCall::request);
    }
}

qint64 QueueTotals::entrySize(const QString &entry) const
{
    bool download = false;
    QString host;
    QString local;
    if (!TransferQueue::FileOf(entry, &download, &host, &local))
        return -1;
    if (!download)
        return QFileInfo(LocalToNative(local)).size();
    const int cut = int(host.lastIndexOf(QLatin1Char('\\'))) + 1;
    try {
        const QString fields = LookupEntry(
                m_engine.listingBuffer(), host.left(cut), QLatin1Char('f') + host.mid(cut));
        return fields.isEmpty() ? 0 : qMax<qint64>(0, Field(fields, 1, Star).toLongLong());
    } catch (const std::out_of_range &) {
        return 0; // not in the listing: a file of a size not known
    }
}

void QueueTotals::followQueue()
{
    const TransferQueue &queue = m_engine.transferQueue();
    if (queue.reshaped() != m_reshaped) {
        m_sizes.clear();
        m_reshaped = queue.reshaped();
    } else {
        for (quint64 n = queue.takenFromFront() - m_taken; n > 0 && !m_sizes.empty(); --n)
            m_sizes.pop_front();
    }
    m_taken = queue.takenFromFront();
    while (int(m_sizes.size()) > queue.count())
        m_sizes.pop_back();
    for (int i = int(m_sizes.size()); i < queue.count(); ++i)
        m_sizes.push_back(entrySize(queue.at(i)));
}

void QueueTotals::update()
{
    followQueue();
    int files = 0;
    qint64 bytes = 0;
    const TransferQueue &queue = m_engine.transferQueue();
    for (int i = 0; i < queue.count(); ++i) {
        if (m_sizes[i] >= 0) {
            ++files;
            bytes += m_sizes[i];
        }
    }
    const TaskList &tasks = m_engine.taskList();
    for (int i = 0; i < tasks.count(); ++i) {
        const TcFTP *session = tasks.session(i);
        if ((session->Downloading() || session->Uploading()) && session->IOPos() >= 0) {
            ++files;
            bytes += qMax<qint64>(0, session->IOSize() - session->IOPos());
        }
    }
    // The pace: bytes (or, for empty files, files) done per second since the work left grew last.
    const qint64 now = m_clock.elapsed();
    if (!m_samples.empty() && (files > m_samples.back().files || bytes > m_samples.back().bytes))
        m_samples.clear();
    m_samples.push_back({now, files, bytes});
    while (m_samples.size() > 2 && now - m_samples.front().ms > PaceWindowMs)
        m_samples.pop_front();
    const Sample &first = m_samples.front();
    const qint64 span = now - first.ms;
    qint64 seconds = -1;
    if (files == 0) {
        seconds = 0;
    } else if (span >= 1000 && first.bytes > bytes) {
        seconds = (bytes * span / (first.bytes - bytes) + 999) / 1000;
    } else if (span >= 1000 && first.files > files) {
        seconds = (qint64(files) * span / (first.files - files) + 999) / 1000;
    }
    files > 0 ? m_tick.start() : m_tick.stop();
    if (files == m_files && bytes == m_bytes && seconds == m_seconds)
        return;
    m_files = files;
    m_bytes = bytes;
    m_seconds = seconds;
    Q_EMIT changed();
}

QString QueueTotals::text() const
{
    if (m_files == 0)
        return {};
    const QString size
            = QLocale().formattedDataSize(m_bytes, 1, QLocale::DataSizeTraditionalFormat);
    const QString head = tr("%n file(s), %1 left", nullptr, m_files).arg(size);
    return m_seconds < 0 ? tr("%1, estimating time").arg(head)
                         : tr("%1, about %2").arg(head, TaskProgressModel::durationText(m_seconds));
}
