#include "ftp/listingbuffer.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

// Stored whole or added one by one, a listing is found by binary search exactly as a linear
// scan finds it: names that differ in case alone, share prefixes or sort apart only by their
// exact spelling; the first of duplicate keys, and a later addEntry replacing an earlier one.
TEST(ListingBuffer, LookUpAgreesWithALinearScan)
{
    QRandomGenerator random(16);
    const auto randomKey = [&] {
        static const QString letters = QStringLiteral("aAbBzZ_.1é");
        QString key = random.bounded(2) ? QStringLiteral("d") : QStringLiteral("f");
        for (int i = 0, length = 1 + random.bounded(4); i < length; ++i)
            key += letters.at(random.bounded(int(letters.size())));
        return key;
    };
    const QString pub = QStringLiteral("\\pub\\");
    ListingBuffer stored, added;
    ListingBuffer::EntryList listing;
    for (int i = 0; i < 3000; ++i) {
        const QString key = randomKey(), fields = QStringLiteral("%1*%2").arg(i).arg(i * 7);
        listing.append({key, fields});
        added.addEntry(pub, key, fields);
    }
    stored.store(pub, listing);
    const auto linearFind = [](const ListingBuffer::EntryList &list, const QString &key) {
        const auto it = std::find_if(
                list.cbegin(), list.cend(), [&](const auto &e) { return e.key == key; });
        return it == list.cend() ? nullptr : &*it;
    };
    const ListingBuffer::EntryList &list = *stored.entries(pub), &addedList = *added.entries(pub);
    for (int i = 1; i < addedList.size(); ++i)
        ASSERT_TRUE(ListingBuffer::sortsBefore(addedList.at(i - 1).key, addedList.at(i).key)) << i;
    for (int i = 0; i < 5000; ++i) {
        const QString key = randomKey();
        const ListingBuffer::Entry *linear = linearFind(list, key);
        ASSERT_EQ(stored.find(pub, key), linear) << key.toStdString();
        ASSERT_EQ(added.find(pub, key), linearFind(addedList, key)) << key.toStdString();
        if (linear)
            EXPECT_EQ(LookupEntry(stored, pub, key), linear->fields);
        else
            EXPECT_THROW(LookupEntry(stored, pub, key), std::out_of_range);
    }
    EXPECT_EQ(stored.find(QStringLiteral("\\PUB\\"), list.first().key), nullptr);
    EXPECT_TRUE(LookupEntry(stored, QStringLiteral("\\other\\"), QStringLiteral("fa")).isEmpty());
}
