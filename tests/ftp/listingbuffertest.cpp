#include "ftp/listingbuffer.h"

#include <QRandomGenerator>

#include <algorithm>

#include <gtest/gtest.h>

// Stored whole or added one by one, a listing is in the order of its names and is found by
// binary search exactly as a linear scan finds it: names that differ in case alone, share
// prefixes, sort apart only by their exact spelling or have characters other than ASCII (some
// that fold to ASCII letters); duplicate keys keep the host's order and the first is found; a
// later addEntry replaces an earlier one.
TEST(ListingBuffer, LookUpAgreesWithALinearScan)
{
    QRandomGenerator random(16);
    const auto randomKey = [&] {
        static const QString letters = QStringLiteral("aAbBkKzZ_[{.1é\u212A");
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
    // In order as a stable sort by the rule puts it, also where every name shares a prefix
    // (in either case) that the quick comparison steps over.
    ListingBuffer::EntryList shared = listing;
    for (ListingBuffer::Entry &entry : shared)
        entry.key.insert(1, QLatin1String(random.bounded(2) ? "Entry 0" : "eNTRY 0"));
    stored.store(QStringLiteral("\\shared\\"), shared);
    for (const auto &[folder, input] :
         {std::pair(pub, listing), std::pair(QStringLiteral("\\shared\\"), shared)}) {
        ListingBuffer::EntryList expected = input;
        std::stable_sort(expected.begin(), expected.end(), [](const auto &a, const auto &b) {
            return ListingBuffer::sortsBefore(a.key, b.key);
        });
        const ListingBuffer::EntryList &sorted = *stored.entries(folder);
        ASSERT_EQ(sorted.size(), expected.size());
        for (qsizetype i = 0; i < sorted.size(); ++i)
            ASSERT_EQ(sorted.at(i).fields, expected.at(i).fields) << i;
    }
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
