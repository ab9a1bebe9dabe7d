// The queue journal's file: what survives an append cut short, damage of every kind, and a
// file that stays small however long the queue runs.
#include "tasks/queuejournal.h"
#include "support/files.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QueueJournal::Transfer download(int n)
{
    return {true,
            1000 + n,
            QStringLiteral("\\pub\\f%1.bin").arg(n),
            QStringLiteral("Z:\\tmp\\dl\\f%1.bin").arg(n)};
}

TEST(QueueJournal, KeepsTheLiveTransfersInOrderAndStaysSmall)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("config/queue-journal");
    QList<int> ids;
    {
        QueueJournal journal(path);
        journal.setSite("quick ftp://127.0.0.1:2121");
        for (int n = 0; n < 3000; ++n)
            ids.append(journal.add(download(n)));
        journal.add({false, 7, "\\up\\a b.txt", "Z:\\home\\a b.txt"});
        // All but the last ten downloads end, one by one, as a long queue does.
        for (int n = 0; n < 2990; ++n)
            journal.end(ids.at(n));
        journal.flush();
        EXPECT_TRUE(journal.errorString().isEmpty()) << journal.errorString().toStdString();
        // Rewritten now and then, never left to grow with every change made.
        EXPECT_LT(QFileInfo(path).size(), 150 * 1024);
    }
    const QueueJournal::Contents contents = QueueJournal::read(path);
    ASSERT_EQ(contents.state, QueueJournal::Contents::Readable) << contents.problem.toStdString();
    EXPECT_EQ(contents.site, "quick ftp://127.0.0.1:2121");
    ASSERT_EQ(contents.transfers.size(), 11);
    EXPECT_EQ(contents.transfers.first(), download(2990));
    EXPECT_EQ(contents.transfers.at(9), download(2999));
    EXPECT_EQ(contents.transfers.last().hostPath, "\\up\\a b.txt");
    EXPECT_FALSE(contents.transfers.last().download);
}

TEST(QueueJournal, ACutOffLastLineIsIgnoredAndDamageIsSetAside)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("queue-journal");
    {
        QueueJournal journal(path);
        journal.setSite("quick ftp://127.0.0.1:21");
        for (int n = 0; n < 4; ++n)
            journal.add(download(n));
        journal.end(2);
    }
    const QByteArray whole = ovtest::readFile(path);
    ASSERT_EQ(QueueJournal::read(path).transfers.size(), 3);

    // An append cut off by a kill: the record without its line end is left out.
    ASSERT_TRUE(ovtest::writeFile(path, whole + "1234 add*9*d*5*\\pub\\x*Z:\\x"));
    QueueJournal::Contents cut = QueueJournal::read(path);
    EXPECT_EQ(cut.state, QueueJournal::Contents::Readable);
    EXPECT_EQ(cut.transfers.size(), 3);
    // So is a file cut inside its header.
    ASSERT_TRUE(ovtest::writeFile(path, whole.left(10)));
    EXPECT_EQ(QueueJournal::read(path).state, QueueJournal::Contents::Readable);
    EXPECT_TRUE(QueueJournal::read(path).transfers.isEmpty());

    QByteArray flipped = whole;
    flipped[whole.indexOf("f1.bin") + 1] = 'X';
    QByteArray invalid = whole;
    invalid.replace("f3.bin", "f\xff.bin");
    QByteArray unknownLine = whole;
    unknownLine.insert(whole.indexOf('\n') + 1, "0000 \n");
    const QByteArray unknownKind
            = "add*9*x*5*\\pub\\x*/tmp/x"; // a kind not known, its checksum right
    QByteArray unknownRecord = QByteArray(whole).append(
            QByteArray::number(qChecksum(unknownKind), 16).rightJustified(4, '0') + ' '
            + unknownKind + '\n');
    const QList<QByteArray> damaged = {
            flipped,                                             // a changed byte
            invalid,                                             // bytes that are no text
            QByteArray(whole).replace("JOURNAL 1", "JOURNAL 2"), // a later version
            "PK\x03\x04 something else entirely\n",              // not a journal
            unknownLine,
            unknownRecord,
    };
    for (const QByteArray &bytes : damaged) {
        ASSERT_TRUE(ovtest::writeFile(path, bytes));
        const QueueJournal::Contents contents = QueueJournal::read(path);
        EXPECT_EQ(contents.state, QueueJournal::Contents::Damaged) << bytes.toStdString();
        EXPECT_FALSE(contents.problem.isEmpty());
    }
    ASSERT_TRUE(ovtest::writeFile(path, "PK\x03\x04 something else entirely\n"));
    EXPECT_TRUE(QueueJournal::read(path).problem.contains("not a queue journal"));
    const QString aside = QueueJournal::setAside(path);
    EXPECT_EQ(aside, path + ".damaged");
    EXPECT_FALSE(QFileInfo::exists(path));
    ASSERT_TRUE(ovtest::writeFile(path, flipped));
    EXPECT_EQ(QueueJournal::setAside(path), path + ".damaged-2");
    EXPECT_EQ(ovtest::readFile(path + ".damaged-2"), flipped);
}

} // namespace
