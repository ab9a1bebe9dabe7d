#pragma once

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// The folders of a host that were already listed, shared by every session of the program.
//
// Keys are host folders in the internal folder form ("\", "\pub\", "\pub\gnu\"), compared with
// regard to case: most hosts are case-sensitive, and "\pub\Sub\" and "\pub\sub\" are two
// folders with lists of their own. Folders and entries are kept in sorted order (without regard
// to case first, so "Sub" and "sub" stand together, then by their exact spelling) without
// duplicates; each folder holds its entry list. An entry's key is "d" + name for a folder and
// "f" + name for anything else, its fields are "<size>*<date>": the size in bytes as decimal
// text ("-1" for a folder) and the MS-DOS date-time as decimal text. "." and ".." are never
// stored.
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
        // The host's modification time in UTC, to the second, when the listing gave one that
        // exactly (MLSD's modify fact); invalid otherwise.
        QDateTime modified = {};
    };
    using EntryList = QList<Entry>;

    // The order of folders and entry keys: without regard to case, then by exact spelling.
    static bool sortsBefore(const QString &a, const QString &b);
    // Puts a list into the stored order (folders first, each kind by sortsBefore), stable; a
    // list in that order already is left as it is. store does this itself.
    static void sortEntries(EntryList &entries);

    // Number of buffered folders.
    int count() const { return int(m_folders.size()); }
    bool isEmpty() const { return m_folders.isEmpty(); }
    // True when the folder is buffered (exact spelling).
    bool contains(const QString &folder) const;
    // The buffered folders in sorted order.
    QStringList folders() const;
    // The entry list of a buffered folder, or nullptr.
    const EntryList *entries(const QString &folder) const;
    // The entry with exactly this key in a buffered folder, or nullptr; a binary search over
    // the sorted list.
    const Entry *find(const QString &folder, const QString &key) const;

    // Stores a complete entry list under the folder, sorted by key; a folder already present
    // gets the new list.
    void store(const QString &folder, EntryList entries);
    // Adds (or replaces) the entry with exactly this key, creating the folder when needed and
    // keeping the list sorted: the simple way to put a known file into the buffer.
    void addEntry(const QString &folder,
                  const QString &key,
                  const QString &fields,
                  bool fromLink = false);
    // Removes one folder; false when it was not buffered.
    bool remove(const QString &folder);
    // Removes every folder whose key begins with prefix (exact spelling); returns how many.
    int removeBelow(const QString &prefix);
    void clear() { m_folders.clear(); }

private:
    struct FolderKey
    {
        QString name;
        bool operator<(const FolderKey &other) const { return sortsBefore(name, other.name); }
    };
    // Where key stands, or would stand, in a sorted entry list.
    static EntryList::const_iterator position(const EntryList &entries, const QString &key);

    QMap<FolderKey, EntryList> m_folders;
};

// The fields ("<size>*<date>") of the entry with exactly that key in the folder's entry list;
// empty when the folder is not buffered. A key missing from a buffered folder throws
// std::out_of_range.
QString LookupEntry(const ListingBuffer &buffer, const QString &folder, const QString &key);
