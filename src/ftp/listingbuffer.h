#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// The folders of a host that were already listed, shared by every session of the program.
//
// Keys are host folders in the internal folder form ("\", "\pub\", "\pub\gnu\"), compared
// without regard to case and kept in sorted order without duplicates; each folder holds its
// entry list. An entry's key is "d" + name for a folder and "f" + name for anything else, its
// fields are "<size>*<date>": the size in bytes as decimal text ("-1" for a folder) and the
// MS-DOS date-time as decimal text. "." and ".." are never stored.
//
// The buffer is owned outside the sessions (the main window, a CLI run, a test) and handed to
// each session by pointer; it is only touched on the main thread.
class ListingBuffer
{
public:
    struct Entry
    {
        QString key;    // "d" or "f" followed by the name
        QString fields; // "<size>*<date>"
        // The entry came from a symbolic link: shown as what it points to (a folder when the
        // listing says so), but a tree walk never enters it, or "loop -> ." would never end.
        bool fromLink = false;
    };
    using EntryList = QList<Entry>;

    // Number of buffered folders.
    int count() const { return int(m_folders.size()); }
    bool isEmpty() const { return m_folders.isEmpty(); }
    // True when the folder is buffered (case-insensitive).
    bool contains(const QString &folder) const;
    // The buffered folders in sorted order, each with the spelling it was first stored with.
    QStringList folders() const;
    // The entry list of a buffered folder, or nullptr.
    const EntryList *entries(const QString &folder) const;

    // Stores a complete entry list under the folder: the entries are sorted by key (without
    // regard to case); a folder already present keeps its spelling and gets the new list.
    void store(const QString &folder, EntryList entries);
    // Adds (or replaces) one entry of a folder, creating the folder when needed and keeping the
    // list sorted: the simple way to put a known file into the buffer.
    void addEntry(const QString &folder,
                  const QString &key,
                  const QString &fields,
                  bool fromLink = false);
    // Removes one folder; false when it was not buffered.
    bool remove(const QString &folder);
    // Removes every folder whose key begins with prefix (case-insensitive); returns how many.
    int removeBelow(const QString &prefix);
    void clear() { m_folders.clear(); }

private:
    struct Folder
    {
        QString name;
        EntryList entries;
    };
    static QString foldKey(const QString &text) { return text.toCaseFolded(); }
    static void sortEntries(EntryList &entries);

    QMap<QString, Folder> m_folders; // case-folded folder -> folder
};

// The fields ("<size>*<date>") of the entry with that key in the folder's entry list; empty
// when the folder is not buffered. A key missing from a buffered folder throws
// std::out_of_range.
QString LookupEntry(const ListingBuffer &buffer, const QString &folder, const QString &key);
