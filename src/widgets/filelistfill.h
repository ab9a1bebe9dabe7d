#pragma once

#include "widgets/filelistmodel.h"

#include <QCollator>
#include <QList>

#include <functional>
#include <vector>

// The rows of a long list made and put in Name order a slice at a time, so that a list of a
// hundred thousand entries never holds the event loop for long: each step() does one slice (a
// number of rows made, or a pass of merging), and the owner returns to the event loop between
// steps. The order is the one FileListModel::sort() gives for the Name column: ".." first,
// folders before files, names in locale-aware order, rows that compare equal in the order they
// were made.
class FileListFill
{
public:
    // Rows made per step, and row positions merged per step.
    static constexpr int RowsPerStep = 2000;
    static constexpr int MergedPerStep = 100000;

    using MakeRow = std::function<FileListModel::Row(int index)>;

    // The rows are first (made already, the ".." row say) and then make(0) .. make(count - 1);
    // rows that show entries of source take their names from it.
    FileListFill(QList<FileListModel::Row> first,
                 int count,
                 MakeRow make,
                 FileListModel::SharedSource source = {});

    // Does one slice of the work; true once the rows are made and in order.
    bool step();
    bool done() const { return m_phase == Phase::Done; }
    // The rows in order, once done.
    QList<FileListModel::Row> takeRows();
    // The source the rows show entries of, to be shown with them.
    const FileListModel::SharedSource &source() const { return m_source; }
    // Where the first row given or made stands in that order (-1 without rows).
    int firstRowAt() const { return m_firstAt; }

private:
    enum class Phase { Make, Merge, Done };
    bool before(int a, int b) const;
    void finish();
    void addKey(const FileListModel::Row &row);

    Phase m_phase = Phase::Make;
    MakeRow m_make;
    FileListModel::SharedSource m_source;
    int m_count;
    int m_made = 0;
    qsizetype m_total;
    QCollator m_collator;
    QList<FileListModel::Row> m_rows;
    std::vector<QCollatorSortKey> m_keys;
    // Row positions in order: runs of RowsPerStep sorted as they are made, then merged in passes
    // of doubling width from m_order into m_spare.
    std::vector<int> m_order;
    std::vector<int> m_spare;
    qsizetype m_width = RowsPerStep;
    qsizetype m_at = 0;
    int m_firstAt = -1;
};
