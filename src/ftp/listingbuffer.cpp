#include "ftp/listingbuffer.h"

#include <algorithm>
#include <stdexcept>

bool ListingBuffer::sortsBefore(const QString &a, const QString &b)
{
    // Names are mostly ASCII, whose letters fold by themselves; Qt's comparison, which folds
    // every character through its tables, takes over from the first other character (some fold
    // to ASCII letters: the Kelvin sign to "k"). Before it every character was one code unit,
    // so it starts on a whole character in both names.
    const auto *x = reinterpret_cast<const char16_t *>(a.constData());
    const auto *y = reinterpret_cast<const char16_t *>(b.constData());
    const qsizetype common = std::min(a.size(), b.size());
    qsizetype i = 0;
    int order = 0;
    for (; i < common; ++i) {
        char16_t p = x[i];
        char16_t q = y[i];
        if ((p | q) >= 0x80)
            break;
        if (p == q)
            continue;
        p = p >= u'A' && p <= u'Z' ? char16_t(p + 32) : p;
        q = q >= u'A' && q <= u'Z' ? char16_t(q + 32) : q;
        if (p != q)
            return p < q;
    }
    if (i < common)
        order = QStringView(a).mid(i).compare(QStringView(b).mid(i), Qt::CaseInsensitive);
    else
        order = a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
    return order != 0 ? order < 0 : a < b;
}

bool ListingBuffer::contains(const QString &folder) const
{
    return m_folders.contains(FolderKey{folder});
}

QStringList ListingBuffer::folders() const
{
    QStringList names;
    names.reserve(m_folders.size());
    for (auto it = m_folders.cbegin(); it != m_folders.cend(); ++it)
        names.append(it.key().name);
    return names;
}

const ListingBuffer::EntryList *ListingBuffer::entries(const QString &folder) const
{
    const auto it = m_folders.constFind(FolderKey{folder});
    return it == m_folders.cend() ? nullptr : &it.value();
}

ListingBuffer::EntryList::const_iterator ListingBuffer::position(const EntryList &entries,
                                                                 const QString &key)
{
    // The order tells keys that differ in case alone apart, so the first entry not before key
    // is the one with exactly that key when there is one.
    return std::lower_bound(
            entries.cbegin(), entries.cend(), key, [](const Entry &entry, const QString &wanted) {
                return sortsBefore(entry.key, wanted);
            });
}

const ListingBuffer::Entry *ListingBuffer::find(const QString &folder, const QString &key) const
{
    const EntryList *list = entries(folder);
    if (!list)
        return nullptr;
    const auto it = position(*list, key);
    return it != list->cend() && it->key == key ? &*it : nullptr;
}

void ListingBuffer::sortEntries(EntryList &entries)
{
    // Hosts mostly send a folder's names in order already, folders and files mixed: the
    // folders' keys go first, and each kind is sorted only when it is not in order yet.
    const auto before = [](const Entry &a, const Entry &b) {
        return sortsBefore(a.key, b.key);
    };
    const auto files = std::stable_partition(entries.begin(), entries.end(), [](const Entry &e) {
        return e.key.startsWith(QLatin1Char('d'));
    });
    for (const auto &[from, to] :
         {std::pair(entries.begin(), files), std::pair(files, entries.end())}) {
        if (!std::is_sorted(from, to, before))
            std::stable_sort(from, to, before);
    }
}

void ListingBuffer::store(const QString &folder, EntryList entries)
{
    sortEntries(entries);
    m_folders.insert(FolderKey{folder}, std::move(entries));
}

void ListingBuffer::addEntry(const QString &folder,
                             const QString &key,
                             const QString &fields,
                             bool fromLink)
{
    EntryList &list = m_folders[FolderKey{folder}];
    const qsizetype at = position(list, key) - list.cbegin();
    if (at < list.size() && list.at(at).key == key)
        list[at] = Entry{key, fields, fromLink};
    else
        list.insert(at, Entry{key, fields, fromLink});
}

bool ListingBuffer::remove(const QString &folder)
{
    return m_folders.remove(FolderKey{folder}) > 0;
}

int ListingBuffer::removeBelow(const QString &prefix)
{
    int removed = 0;
    for (auto it = m_folders.begin(); it != m_folders.end();) {
        if (it.key().name.startsWith(prefix)) {
            it = m_folders.erase(it);
            ++removed;
        } else {
            ++it;
        }
    }
    return removed;
}

QString LookupEntry(const ListingBuffer &buffer, const QString &folder, const QString &key)
{
    if (!buffer.contains(folder))
        return QString();
    if (const ListingBuffer::Entry *entry = buffer.find(folder, key))
        return entry->fields;
    throw std::out_of_range("no such entry in the listing buffer");
}
