#pragma once

#include <QStyledItemDelegate>

// Draws item text as VisibleHostText shows it (control and bidirectional characters as visible
// escapes) while the model keeps the exact name: what a host names a file cannot steer what the
// user reads, and the name still travels back to the host in its own bytes.
class VisibleTextDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QString displayText(const QVariant &value, const QLocale &locale) const override;
};
