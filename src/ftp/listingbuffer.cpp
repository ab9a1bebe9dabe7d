#include "ftp/listingbuffer.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

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

namespace {

// Sorts entries into the listing order, stable. A key of ASCII characters alone is compared as
// bytes, folded and then exact, which is the same order as sortsBefore's and far quicker over a
// long listing in no order: the bytes are made once, and the sort moves small records, most of
// which it tells apart by their kind and the next seven folded bytes after the prefix every
// name shares ("entry 0" in "entry 012", "entry 013"...). A pair in which either key has
// another character is left to sortsBefore.
void sortByKeys(ListingBuffer::EntryList &entries)
{
    struct Record
    {
        quint64 head;     // folded bytes from the shared prefix on, zero after the key's end
        qsizetype at;     // where the key's folded bytes start in bytes, then its exact bytes
        qsizetype length; // -1 for a key that is not all ASCII
        qsizetype index;  // the entry's place in the list
    };
    std::vector<Record> records;
    records.reserve(size_t(entries.size()));
    std::string bytes;
    qsizetype room = 0;
    for (const ListingBuffer::Entry &entry : entries)
        room += 2 * entry.key.size();
    bytes.reserve(size_t(room));
    for (qsizetype index = 0; index < entries.size(); ++index) {
        const QString &key = entries.at(index).key;
        const qsizetype at = qsizetype(bytes.size());
        bytes.resize(size_t(at + 2 * key.size()));
        char *folded = bytes.data() + at;
        char *exact = folded + key.size();
        qsizetype length = key.size();
        for (qsizetype i = 0; i < key.size(); ++i) {
            const char16_t c = key.at(i).unicode();
            if (c >= 0x80) {
                length = -1;
                break;
            }
            exact[i] = char(c);
            folded[i] = char(c >= u'A' && c <= u'Z' ? c + 32 : c);
        }
        if (length < 0)
            bytes.resize(size_t(at));
        records.push_back(Record{0, at, length, index});
    }
    // The folded prefix every ASCII key has after its kind, measured against the first one.
    const char *data = bytes.data();
    const auto ascii = [](const Record &record) {
        return record.length > 0;
    };
    const auto firstAscii = std::find_if(records.cbegin(), records.cend(), ascii);
    qsizetype shared = firstAscii == records.cend() ? 0 : firstAscii->length - 1;
    for (const Record &record : records) {
        if (!ascii(record))
            continue;
        const char *folded = data + record.at + 1;
        const char *first = data + firstAscii->at + 1;
        qsizetype i = 0;
        while (i < shared && i < record.length - 1 && folded[i] == first[i])
            ++i;
        shared = i;
    }
    for (Record &record : records) {
        if (!ascii(record))
            continue;
        const char *folded = data + record.at;
        quint64 head = quint64(uchar(folded[0])) << 56;
        for (qsizetype i = 0; i < 7; ++i) {
            const qsizetype from = 1 + shared + i;
            const quint64 byte = from < record.length ? uchar(folded[from]) : 0;
            head |= byte << (8 * (6 - i));
        }
        record.head = head;
    }
    std::stable_sort(records.begin(), records.end(), [&](const Record &a, const Record &b) {
        if (a.length < 0 || b.length < 0)
            return ListingBuffer::sortsBefore(entries.at(a.index).key, entries.at(b.index).key);
        if (a.head != b.head)
            return a.head < b.head;
        const qsizetype common = std::min(a.length, b.length);
        if (const int order = std::memcmp(data + a.at, data + b.at, size_t(common)))
            return order < 0;
        if (a.length != b.length)
            return a.length < b.length;
        return std::memcmp(data + a.at + a.length, data + b.at + b.length, size_t(a.length)) < 0;
    });
    ListingBuffer::EntryList sorted;
    sorted.reserve(entries.size());
    for (const Record &record : records)
        sorted.append(std::move(entries[record.index]));
    entries = std::move(sorted);
}

} // namespace

void ListingBuffer::sortEntries(EntryList &entries)
{
    // Hosts mostly send a folder's names in order already, folders and files mixed: then the
    // folders' keys only move to the front. Otherwise the whole list is sorted, which puts them
    // there too ("d" before "f").
    const Entry *lastFolder = nullptr;
    const Entry *lastFile = nullptr;
    for (const Entry &entry : entries) {
        const Entry *&last = entry.key.startsWith(QLatin1Char('d')) ? lastFolder : lastFile;
        if (last && sortsBefore(entry.key, last->key))
            return sortByKeys(entries);
        last = &entry;
    }
    const auto folder = [](const Entry &e) {
        return e.key.startsWith(QLatin1Char('d'));
    };
    if (!std::is_partitioned(entries.begin(), entries.end(), folder))
        std::stable_partition(entries.begin(), entries.end(), folder);
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
        list[at] = Entry{key, fields, fromLink, {}};
    else
        list.insert(at, Entry{key, fields, fromLink, {}});
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
