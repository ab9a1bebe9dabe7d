#include "widgets/visibletextdelegate.h"

#include "util/hosttext.h"

QString VisibleTextDelegate::displayText(const QVariant &value, const QLocale &locale) const
{
    return VisibleHostText(QStyledItemDelegate::displayText(value, locale));
}
