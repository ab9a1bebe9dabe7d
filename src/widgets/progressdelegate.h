#pragma once

#include <QStyledItemDelegate>

// Paints a row that has progress as a bar with its text over it (percentage, bytes, speed, time
// left), followed by the row's caption; rows without progress are painted as usual. Progress
// comes from the model: PercentRole 0..100 (-1 or nothing: no bar) and ProgressTextRole.
class ProgressDelegate : public QStyledItemDelegate
{
public:
    static constexpr int PercentRole = Qt::UserRole + 40;
    static constexpr int ProgressTextRole = Qt::UserRole + 41;

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter,
               const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // The bar's width in a row of this width: room for its text, at most half the row.
    static int barWidth(const QStyleOptionViewItem &option, const QString &text);
};
