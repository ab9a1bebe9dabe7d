#pragma once

#include <QString>
#include <QStringList>

#include <utility>

// The transfer queue: entry texts, first in, first out (the scheduler takes entry 0, producers
// append). An entry is a field string separated by "*"; its first character is the kind:
//   "d*" host file "*" local file                   download one file
//   "u*" local file "*" host file                   upload one file
//   either of them with a fourth field naming what to do when the target exists ("*skip",
//   "*rename", ...: ExistsPolicy::name); without it the options' choice applies
//   "c*" FTP command                                one raw command ("c*mkd \pub\new\")
//   "b*" host folder                                list the tree into the listing buffer
//   "b*" host folder "*" local folder "*!download"  buffer the tree, then download all of it
//   (with a fifth field, a choice as above: each of the tree's files is queued with it)
//   "b*" host folder "*!delete"                     buffer the tree, then delete all of it
// Host paths are in the internal folder form, local paths in the internal local form. Fields
// have no escaping, so a name holding "*" (or "\" on the local side) cannot travel in an entry:
// producers check names with the CanTravel functions and skip such names with a warning.
class TransferQueue
{
public:
    // Told of every change, for a record of the queue kept elsewhere.
    class Observer
    {
    public:
        virtual ~Observer() = default;
        virtual void entryAppended(const QString &entry) = 0;
        // Handed to a session.
        virtual void entryTaken(const QString &entry) = 0;
        // Left the queue without being carried out.
        virtual void entryRemoved(const QString &entry) = 0;
    };
    void setObserver(Observer *observer) { m_observer = observer; }

    int count() const { return int(m_entries.size()); }
    bool isEmpty() const { return m_entries.isEmpty(); }
    const QString &at(int index) const { return m_entries.at(index); }
    const QStringList &entries() const { return m_entries; }
    // operation: the engine operation the entry belongs to (0 for none).
    void append(const QString &entry, int operation = 0)
    {
        m_entries.append(entry);
        m_operations.append(operation);
        if (m_observer)
            m_observer->entryAppended(entry);
    }
    // Puts an entry back at the front (a transfer held back while the user was asked, or
    // one tried again).
    void prepend(const QString &entry, int operation)
    {
        ++m_reshaped;
        m_entries.prepend(entry);
        m_operations.prepend(operation);
    }
    int operationAt(int index) const { return m_operations.at(index); }
    bool holdsOperation(int operation) const { return m_operations.contains(operation); }
    QString takeFirst()
    {
        ++m_takenFromFront;
        m_operations.removeFirst();
        const QString entry = m_entries.takeFirst();
        if (m_observer)
            m_observer->entryTaken(entry);
        return entry;
    }
    void removeAt(int index)
    {
        ++m_reshaped;
        const QString entry = m_entries.takeAt(index);
        m_operations.removeAt(index);
        if (m_observer)
            m_observer->entryRemoved(entry);
    }
    void clear()
    {
        ++m_reshaped;
        const QStringList entries = std::exchange(m_entries, {});
        m_operations.clear();
        if (m_observer) {
            for (const QString &entry : entries)
                m_observer->entryRemoved(entry);
        }
    }
    // Counts of the changes other than appending, for views that follow the queue row by row:
    // entries taken from the front, and any other removal. Both only grow.
    quint64 takenFromFront() const { return m_takenFromFront; }
    quint64 reshaped() const { return m_reshaped; }
    // True when some entry contains text (for example a temporary folder's path).
    bool anyEntryContains(const QString &text) const;

    // The file a download ("d*") or upload ("u*") entry moves; false for entries of other kinds.
    static bool FileOf(const QString &entry, bool *download, QString *hostFile, QString *localFile);

    // The queue view's caption of an entry; an entry of an unknown kind keeps previous.
    static QString Caption(const QString &entry, const QString &previous = QString());

    static QString DownloadEntry(const QString &hostFile, const QString &localFile);
    static QString UploadEntry(const QString &localFile, const QString &hostFile);
    static QString MakeFolderEntry(const QString &hostFolder);
    static QString BufferEntry(const QString &hostFolder);
    static QString DownloadTreeEntry(const QString &hostFolder, const QString &localFolder);
    static QString DeleteTreeEntry(const QString &hostFolder);

    // A host name or path can travel when it holds no "*" and no line break.
    static bool HostNameCanTravel(const QString &name);
    // A local name (or a native local path) can travel when it holds neither "*", "\" nor a
    // line break.
    static bool LocalNameCanTravel(const QString &name);
    // A local path in the internal local form ("\" separates its folders) can travel when it
    // holds neither "*" nor a line break.
    static bool LocalPathCanTravel(const QString &path);
    // A host name that can become a local name and travel in a queue entry: not empty, "." or
    // "..", and holding neither "/", "*" nor "\".
    static bool HostNameCanArrive(const QString &name);

private:
    QStringList m_entries;
    QList<int> m_operations;
    quint64 m_takenFromFront = 0;
    quint64 m_reshaped = 0;
    Observer *m_observer = nullptr;
};
