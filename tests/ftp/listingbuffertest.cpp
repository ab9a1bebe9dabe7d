#include "ftp/listingbuffer.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace {

const ListingBuffer::Entry *LinearFind(const ListingBuffer::EntryList &list, const QString &key)
{
    for (const ListingBuffer::Entry &entry : list) {
        if (entry.key == key)
            return &entry;
    }
    return nullptr;
}

// Names that differ in case alone, share prefixes or sort apart only by their exact spelling.
QString RandomKey(QRandomGenerator &random)
{
    static const QString letters = QStringLiteral("aAbBzZ_.1é");
    QString key = random.bounded(2) ? QStringLiteral("d") : QStringLiteral("f");
    const int length = 1 + random.bounded(4);
    for (int i = 0; i < length; ++i)
        key += letters.at(random.bounded(int(letters.size())));
    return key;
}

TEST(ListingBuffer, LookUpAgreesWithALinearScan)
{
    QRandomGenerator random(16);
    ListingBuffer stored;
    ListingBuffer added;
    ListingBuffer::EntryList listing;
    for (int i = 0; i < 3000; ++i) {
        const QString key = RandomKey(random);
        const QString fields = QStringLiteral("%1*%2").arg(i).arg(i * 7);
        listing.append({key, fields});
        added.addEntry(QStringLiteral("\\pub\\"), key, fields);
    }
    stored.store(QStringLiteral("\\pub\\"), listing);

    const ListingBuffer::EntryList &list = *stored.entries(QStringLiteral("\\pub\\"));
    const ListingBuffer::EntryList &addedList = *added.entries(QStringLiteral("\\pub\\"));
    for (int i = 1; i < addedList.size(); ++i) {
        ASSERT_TRUE(ListingBuffer::sortsBefore(addedList.at(i - 1).key, addedList.at(i).key))
                << "added entries out of order or twice at " << i;
    }
    for (int i = 0; i < 5000; ++i) {
        const QString key = RandomKey(random);
        const ListingBuffer::Entry *linear = LinearFind(list, key);
        const ListingBuffer::Entry *found = stored.find(QStringLiteral("\\pub\\"), key);
        ASSERT_EQ(found, linear) << key.toStdString();
        // The first of duplicate keys of one listing is the one found; a later addEntry of the
        // same key replaces what was there.
        const ListingBuffer::Entry *addedLinear = LinearFind(addedList, key);
        ASSERT_EQ(added.find(QStringLiteral("\\pub\\"), key), addedLinear) << key.toStdString();
        if (linear) {
            EXPECT_EQ(LookupEntry(stored, QStringLiteral("\\pub\\"), key), linear->fields);
        } else {
            EXPECT_THROW(LookupEntry(stored, QStringLiteral("\\pub\\"), key), std::out_of_range);
        }
    }
    EXPECT_EQ(stored.find(QStringLiteral("\\PUB\\"), list.first().key), nullptr);
    EXPECT_TRUE(LookupEntry(stored, QStringLiteral("\\other\\"), QStringLiteral("fa")).isEmpty());
}

} // namespace
