#include "widgets/progressdelegate.h"

#include <QApplication>
#include <QPainter>
#include <QStyleOptionProgressBar>

int ProgressDelegate::barWidth(const QStyleOptionViewItem &option, const QString &text)
{
    const int wanted = option.fontMetrics.horizontalAdvance(text) + 16;
    return qMax(60, qMin(wanted, option.rect.width() / 2));
}

void ProgressDelegate::paint(QPainter *painter,
                             const QStyleOptionViewItem &option,
                             const QModelIndex &index) const
{
    const QVariant percent = index.data(PercentRole);
    if (!percent.isValid() || percent.toInt() < 0) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const QString text = index.data(ProgressTextRole).toString();
    QStyleOptionViewItem rest = option;
    const int bar = barWidth(option, text);
    rest.rect.setLeft(option.rect.left() + bar + 4);
    QStyledItemDelegate::paint(painter, rest, index);

    QStyleOptionProgressBar progress;
    progress.rect = option.rect.adjusted(1, 1, 0, -1);
    progress.rect.setWidth(bar);
    progress.state = option.state | QStyle::State_Horizontal;
    progress.direction = option.direction;
    progress.fontMetrics = option.fontMetrics;
    progress.palette = option.palette;
    progress.minimum = 0;
    progress.maximum = 100;
    progress.progress = qBound(0, percent.toInt(), 100);
    progress.text = text;
    progress.textVisible = true;
    progress.textAlignment = Qt::AlignCenter;
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ProgressBar, &progress, painter, widget);
}

QSize ProgressDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const QVariant percent = index.data(PercentRole);
    if (percent.isValid() && percent.toInt() >= 0) {
        const QString text = index.data(ProgressTextRole).toString();
        size.rwidth() += option.fontMetrics.horizontalAdvance(text) + 20;
    }
    return size;
}
