#pragma once

#include "ftp/listingbuffer.h"
#include "widgets/filelistmodel.h"

// A host folder's entries as the listing buffer holds them, for the host list's rows to read.
// It holds a copy of the folder's entry list, which shares the entries with the buffer: the
// buffer changing or replacing that folder's list afterwards gives the buffer a list of its own
// and leaves this one as it was, so the rows shown never read an entry that is gone.
class ListedEntries : public FileListModel::Source
{
public:
    explicit ListedEntries(ListingBuffer::EntryList entries)
        : m_entries(std::move(entries))
    {}

    int count() const { return int(m_entries.size()); }
    const ListingBuffer::Entry &at(int entry) const { return m_entries.at(entry); }
    // The name after the kind letter of the key.
    QStringView name(int entry) const override
    {
        return QStringView(m_entries.at(entry).key).mid(1);
    }

private:
    const ListingBuffer::EntryList m_entries;
};
