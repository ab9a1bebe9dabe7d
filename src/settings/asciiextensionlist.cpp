#include "settings/asciiextensionlist.h"

#include "util/pathforms.h"

#include <algorithm>

namespace {

bool itemLess(const QString &a, const QString &b)
{
    const int order = QString::compare(a, b, Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a < b;
}

} // namespace

QStringList AsciiExtensionList::defaultItems()
{
    return {QStringLiteral(".bat"),
            QStringLiteral(".htm"),
            QStringLiteral(".html"),
            QStringLiteral(".c"),
            QStringLiteral(".pas"),
            QStringLiteral(".cpp"),
            QStringLiteral(".h"),
            QStringLiteral(".mak"),
            QStringLiteral(".txt")};
}

QString AsciiExtensionList::normalized(const QString &typed)
{
    QString text = StripIllegalChars(typed);
    if (text.isEmpty())
        return QString();
    if (!text.startsWith(QLatin1Char('.')))
        text.prepend(QLatin1Char('.'));
    text = StripIllegalChars(text.toLower());
    // A lone "." would hand the session an empty extension.
    if (text.size() < 2)
        return QString();
    return text;
}

bool AsciiExtensionList::add(const QString &typed)
{
    const QString item = normalized(typed);
    if (item.isEmpty() || m_items.contains(item))
        return false;
    m_items.insert(std::lower_bound(m_items.begin(), m_items.end(), item, itemLess), item);
    return true;
}

void AsciiExtensionList::removeAt(QList<int> indexes)
{
    std::sort(indexes.begin(), indexes.end());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    for (auto it = indexes.crbegin(); it != indexes.crend(); ++it) {
        if (*it >= 0 && *it < m_items.size())
            m_items.removeAt(*it);
    }
}

bool AsciiExtensionList::remove(const QString &item)
{
    return m_items.removeOne(item);
}

void AsciiExtensionList::load(const QString &stored)
{
    m_items.clear();
    const QStringList pieces = stored.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString &piece : pieces)
        add(piece);
}

QString AsciiExtensionList::save() const
{
    return m_items.join(QLatin1Char(':'));
}

QStringList AsciiExtensionList::engineForm() const
{
    QStringList extensions;
    extensions.reserve(m_items.size());
    for (const QString &item : m_items)
        extensions << item.mid(1);
    return extensions;
}
