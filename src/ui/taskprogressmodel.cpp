#include "ui/taskprogressmodel.h"

#include "tasks/taskengine.h"
#include "widgets/progressdelegate.h"

#include <QLocale>

namespace {

// Speed is measured over this much of the recent past.
constexpr qint64 SpeedWindowMs = 3000;

QString sizeText(qint64 bytes)
{
    return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

} // namespace

TaskProgressModel::TaskProgressModel(TaskEngine &engine,
                                     QAbstractItemModel *source,
                                     QObject *parent)
    : QIdentityProxyModel(parent)
    , m_engine(engine)
{
    setSourceModel(source);
    m_clock.start();
    m_timer.setInterval(SampleIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &TaskProgressModel::sample);
    // A row's caption changes when its session takes new work: sampling starts then.
    connect(source, &QAbstractItemModel::dataChanged, this, &TaskProgressModel::wake);
    connect(source, &QAbstractItemModel::rowsInserted, this, &TaskProgressModel::wake);
    connect(&engine, &TaskEngine::transferEnded, this, &TaskProgressModel::transferEnded);
}

void TaskProgressModel::wake()
{
    if (!m_timer.isActive())
        m_timer.start();
}

int TaskProgressModel::percent(const Progress &progress) const
{
    if (progress.done < 0)
        return -1;
    if (progress.total <= 0)
        return progress.finished ? 100 : 0;
    return int(qBound(qint64(0), progress.done * 100 / progress.total, qint64(100)));
}

void TaskProgressModel::sample()
{
    const int rows = rowCount();
    m_rows.resize(rows);
    const TaskList &tasks = m_engine.taskList();
    const qint64 now = m_clock.elapsed();
    bool active = false;
    for (int row = 0; row < rows; ++row) {
        Progress &p = m_rows[row];
        const TcFTP *session = row < tasks.count() ? tasks.session(row) : nullptr;
        const bool transferring = session && (session->Downloading() || session->Uploading())
                                  && session->IOPos() >= 0;
        if (transferring) {
            const QString file = session->IOdstFolder() + session->IOdstFile();
            if (p.session != session || p.file != file || p.finished)
                p = Progress{session, file};
            p.changed = p.changed || p.done != session->IOPos() || p.total != session->IOSize();
            p.done = session->IOPos();
            p.total = session->IOSize();
            p.samples.emplace_back(now, session->IOTransfered());
            while (p.samples.size() > 2 && now - p.samples.front().first > SpeedWindowMs)
                p.samples.pop_front();
            const qint64 span = p.samples.back().first - p.samples.front().first;
            const qint64 speed
                    = span >= SampleIntervalMs
                              ? (p.samples.back().second - p.samples.front().second) * 1000 / span
                              : -1;
            p.changed = p.changed || speed != p.speed;
            p.speed = speed;
            active = true;
        } else if (p.finished && !p.finishShown) {
            p.finishShown = true;
            active = true;
        } else if (p.done >= 0) {
            p = Progress{};
            p.changed = true;
        }
        if (p.changed) {
            p.changed = false;
            const QModelIndex at = index(row, 0);
            Q_EMIT dataChanged(at, at);
        }
    }
    if (!active)
        m_timer.stop();
}

void TaskProgressModel::transferEnded(bool,
                                      const QString &folder,
                                      const QString &file,
                                      bool success)
{
    for (Progress &p : m_rows) {
        if (p.done < 0 || p.finished || p.file != folder + file)
            continue;
        if (success) {
            p.finished = true;
            p.done = qMax(p.done, p.total);
            p.changed = true;
            wake();
        }
        return;
    }
}

QVariant TaskProgressModel::data(const QModelIndex &index, int role) const
{
    if (role < ProgressDelegate::PercentRole || index.row() >= m_rows.size())
        return QIdentityProxyModel::data(index, role);
    const Progress &p = m_rows.at(index.row());
    const qint64 left = p.total > 0 ? qMax<qint64>(0, p.total - p.done) : -1;
    const qint64 seconds = p.finished                 ? 0
                           : p.speed > 0 && left >= 0 ? (left + p.speed - 1) / p.speed
                                                      : -1;
    switch (role) {
    case ProgressDelegate::PercentRole:
        return percent(p);
    case ProgressDelegate::ProgressTextRole:
        return p.done < 0 ? QString() : progressText(p.done, p.total, p.speed, seconds);
    case BytesDoneRole:
        return p.done;
    case BytesTotalRole:
        return p.total;
    case SpeedRole:
        return p.speed;
    case SecondsLeftRole:
        return p.done < 0 ? -1 : seconds;
    default:
        return QIdentityProxyModel::data(index, role);
    }
}

QString TaskProgressModel::durationText(qint64 seconds)
{
    if (seconds < 60)
        return tr("%1 s").arg(seconds);
    if (seconds < 3600)
        return tr("%1 min %2 s").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return tr("%1 h %2 min").arg(seconds / 3600).arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'));
}

QString TaskProgressModel::progressText(qint64 done, qint64 total, qint64 speed, qint64 secondsLeft)
{
    QStringList parts;
    if (total > 0)
        parts << tr("%1%").arg(qBound(qint64(0), done * 100 / total, qint64(100)));
    parts << (total >= 0 ? tr("%1 of %2").arg(sizeText(done), sizeText(total)) : sizeText(done));
    if (speed >= 0)
        parts << tr("%1/s").arg(sizeText(speed));
    if (secondsLeft >= 0)
        parts << tr("%1 left").arg(durationText(secondsLeft));
    return parts.join(QStringLiteral(" \u2013 "));
}
