#include "ftp/listingbuffer.h"

#include <algorithm>
#include <stdexcept>

bool ListingBuffer::contains(const QString &folder) const
{
    return m_folders.contains(foldKey(folder));
}

QStringList ListingBuffer::folders() const
{
    QStringList names;
    names.reserve(m_folders.size());
    for (const Folder &folder : m_folders)
        names.append(folder.name);
    return names;
}

const ListingBuffer::EntryList *ListingBuffer::entries(const QString &folder) const
{
    const auto it = m_folders.constFind(foldKey(folder));
    return it == m_folders.cend() ? nullptr : &it->entries;
}

void ListingBuffer::sortEntries(EntryList &entries)
{
    std::stable_sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        return a.key.compare(b.key, Qt::CaseInsensitive) < 0;
    });
}

void ListingBuffer::store(const QString &folder, EntryList entries)
{
    sortEntries(entries);
    auto it = m_folders.find(foldKey(folder));
    if (it == m_folders.end())
        m_folders.insert(foldKey(folder), Folder{folder, std::move(entries)});
    else
        it->entries = std::move(entries);
}

void ListingBuffer::addEntry(const QString &folder,
                             const QString &key,
                             const QString &fields,
                             bool fromLink)
{
    auto it = m_folders.find(foldKey(folder));
    if (it == m_folders.end())
        it = m_folders.insert(foldKey(folder), Folder{folder, {}});
    EntryList &list = it->entries;
    for (Entry &entry : list) {
        if (entry.key.compare(key, Qt::CaseInsensitive) == 0) {
            entry = Entry{key, fields, fromLink};
            return;
        }
    }
    list.append(Entry{key, fields, fromLink});
    sortEntries(list);
}

bool ListingBuffer::remove(const QString &folder)
{
    return m_folders.remove(foldKey(folder)) > 0;
}

int ListingBuffer::removeBelow(const QString &prefix)
{
    const QString folded = foldKey(prefix);
    int removed = 0;
    for (auto it = m_folders.begin(); it != m_folders.end();) {
        if (it.key().startsWith(folded)) {
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
    const ListingBuffer::EntryList *list = buffer.entries(folder);
    if (!list)
        return QString();
    for (const ListingBuffer::Entry &entry : *list) {
        if (entry.key.compare(key, Qt::CaseInsensitive) == 0)
            return entry.fields;
    }
    throw std::out_of_range("no such entry in the listing buffer");
}
