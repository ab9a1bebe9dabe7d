#include "widgets/filelistfill.h"

#include <algorithm>

FileListFill::FileListFill(QList<FileListModel::Row> first,
                           int count,
                           MakeRow make,
                           FileListModel::SharedSource source)
    : m_make(std::move(make))
    , m_source(std::move(source))
    , m_count(count)
    , m_rows(std::move(first))
{
    m_total = m_rows.size() + count;
    m_rows.reserve(m_total);
    m_keys.reserve(m_total);
    m_order.reserve(m_total);
    for (const FileListModel::Row &row : std::as_const(m_rows))
        addKey(row);
}

void FileListFill::addKey(const FileListModel::Row &row)
{
    // The name is read in place, only while its key is made.
    const QStringView name = FileListModel::NameOf(row, m_source.get());
    m_keys.push_back(m_collator.sortKey(QString::fromRawData(name.data(), name.size())));
    m_order.push_back(int(m_order.size()));
}

bool FileListFill::before(int a, int b) const
{
    const FileListModel::Kind x = m_rows.at(a).kind;
    const FileListModel::Kind y = m_rows.at(b).kind;
    return x != y ? x < y : m_keys[a].compare(m_keys[b]) < 0;
}

bool FileListFill::step()
{
    const auto less = [this](int a, int b) {
        return before(a, b);
    };
    if (m_phase == Phase::Make) {
        // Make rows up to the end of the next run and sort that run.
        const qsizetype runStart = (m_order.size() / RowsPerStep) * RowsPerStep;
        const qsizetype runEnd = std::min<qsizetype>(runStart + RowsPerStep, m_total);
        while (m_made < m_count && qsizetype(m_order.size()) < runEnd) {
            m_rows.append(m_make(m_made++));
            addKey(m_rows.last());
        }
        std::stable_sort(m_order.begin() + runStart, m_order.end(), less);
        if (m_made == m_count) {
            m_phase = Phase::Merge;
            m_spare.resize(m_order.size());
        }
        if (m_phase == Phase::Make)
            return false;
    }
    if (m_phase == Phase::Merge) {
        // Merge pairs of neighbouring runs; a merge takes the earlier run's row first when two
        // compare equal, so rows that compare equal keep their order.
        const qsizetype n = qsizetype(m_order.size());
        qsizetype merged = 0;
        while (m_width < n && merged < MergedPerStep) {
            const qsizetype middle = std::min(m_at + m_width, n);
            const qsizetype end = std::min(m_at + 2 * m_width, n);
            std::merge(m_order.begin() + m_at,
                       m_order.begin() + middle,
                       m_order.begin() + middle,
                       m_order.begin() + end,
                       m_spare.begin() + m_at,
                       less);
            merged += end - m_at;
            m_at = end;
            if (m_at >= n) {
                m_order.swap(m_spare);
                m_width *= 2;
                m_at = 0;
            }
        }
        if (m_width < n)
            return false;
        finish();
    }
    return true;
}

void FileListFill::finish()
{
    // Each row keeps its rank in this order, so that a Name sort of the shown list compares
    // numbers; rows that compare equal share a rank (in order, a row never sorts before the one
    // ahead of it).
    QList<FileListModel::Row> sorted;
    sorted.reserve(m_rows.size());
    int rank = 0;
    for (qsizetype at = 0; at < qsizetype(m_order.size()); ++at) {
        const int i = m_order[at];
        if (at > 0 && before(m_order[at - 1], i))
            ++rank;
        if (i == 0)
            m_firstAt = int(sorted.size());
        m_rows[i].nameRank = rank;
        sorted.append(std::move(m_rows[i]));
    }
    m_rows = std::move(sorted);
    m_keys.clear();
    m_order.clear();
    m_spare.clear();
    m_phase = Phase::Done;
}

QList<FileListModel::Row> FileListFill::takeRows()
{
    return std::exchange(m_rows, {});
}
