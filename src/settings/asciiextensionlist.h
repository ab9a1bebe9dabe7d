#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The file extensions transferred in ASCII mode when the program decides the transfer type.
// Items are lower case with a leading ".", unique, kept sorted. Stored as the items joined with
// ":"; the session gets each item without its first character ("txt" for ".txt").
class AsciiExtensionList
{
public:
    // ".bat", ".htm", ".html", ".c", ".pas", ".cpp", ".h", ".mak", ".txt" in list order.
    static QStringList defaultItems();

    // The item that typed text becomes: the characters \ / : * ? " < > | removed, a "." put in
    // front unless it starts with one (also for "tar.gz", which becomes ".tar.gz"), lower case.
    // Empty when nothing is left but the dot.
    static QString normalized(const QString &typed);

    // Adds the normalised text; false when it is empty or already listed (exact comparison).
    bool add(const QString &typed);
    // Removes the items at the given indexes, from the last to the first.
    void removeAt(QList<int> indexes);
    bool remove(const QString &item);
    void clear() { m_items.clear(); }

    const QStringList &items() const { return m_items; }
    int count() const { return int(m_items.size()); }
    bool contains(const QString &item) const { return m_items.contains(item); }

    // Replaces the items by the ":"-separated pieces of stored, each added as if typed: empty
    // pieces ("a::b") and duplicates are skipped.
    void load(const QString &stored);
    QString save() const;
    // The items without their first character, in list order.
    QStringList engineForm() const;

private:
    QStringList m_items;
};
