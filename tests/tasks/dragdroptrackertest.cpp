// Following the items of a drag to another application through a real engine against vsftpd:
// the verdict comes only when every item has arrived, and a connection that goes away with
// items still waiting fails the drag on one of them.
#include "tasks/dragdroptracker.h"

#include "connectedengine.h"

#include <QFileInfo>

using namespace enginetest;

namespace {
constexpr int FileSize = 200 * 1024;
// Large enough to be seen half written (the session writes in blocks of 256 KiB).
constexpr int BigSize = 1500 * 1024;

struct Verdicts
{
    explicit Verdicts(DragDropTracker &tracker)
    {
        QObject::connect(&tracker, &DragDropTracker::arrived, [this] { ++arrived; });
        QObject::connect(&tracker, &DragDropTracker::failed, [this](const QString &item) {
            failed << item;
        });
    }
    int arrived = 0;
    QStringList failed;
};
} // namespace

using DragDropTracking = SlowEngineTest;

TEST_F(DragDropTracking, ArrivesAfterTheLastItemAndFailsWhenTheConnectionGoes)
{
    const QString pub = publish({{"q0.bin", ovtest::testBytes(FileSize, 0)},
                                 {"q1.bin", ovtest::testBytes(FileSize, 1)},
                                 {"q2.bin", ovtest::testBytes(BigSize, 2)}});
    QTemporaryDir temp;
    ASSERT_TRUE(engine.tempFolders().create(temp.path()));
    const QString dnd = engine.tempFolders().dragDrop();
    ASSERT_TRUE(connect(pub, 2));
    const auto queue = [&](int i) {
        const QString name = QStringLiteral("q%1.bin").arg(i);
        engine.transferQueue().append(TransferQueue::DownloadEntry(pub + name, dnd + name));
        return dnd + name;
    };
    const auto size = [&](int i) {
        return QFileInfo(LocalToNative(dnd + QStringLiteral("q%1.bin").arg(i))).size();
    };

    // Two items: the verdict waits for both, the second of them still in the queue or being
    // received by a task when the first has arrived.
    {
        DragDropTracker tracker(engine, dnd);
        Verdicts verdicts(tracker);
        QList<qint64> atVerdict;
        QObject::connect(&tracker, &DragDropTracker::arrived, [&] {
            atVerdict = {size(0), size(1)};
        });
        tracker.track({queue(0), queue(1)});
        engine.Pass();
        ASSERT_TRUE(waitFor([&] { return verdicts.arrived + verdicts.failed.size() > 0; }, 20000))
                << log();
        EXPECT_EQ(verdicts.arrived, 1);
        EXPECT_EQ(verdicts.failed, QStringList());
        EXPECT_EQ(atVerdict, QList<qint64>({FileSize, FileSize}));
        EXPECT_EQ(tracker.state(), DragDropTracker::Arrived);
        EXPECT_EQ(tracker.waitingItems(), QStringList());
    }

    // The connection goes while the item is being received: the drag fails on it.
    {
        DragDropTracker tracker(engine, dnd);
        Verdicts verdicts(tracker);
        tracker.track({queue(2)});
        engine.Pass();
        ASSERT_TRUE(waitFor([&] { return size(2) > 0; }, 10000)) << log();
        EXPECT_EQ(tracker.waitingItems(), QStringList({"q2.bin"}));
        engine.DisconnectMain();
        ASSERT_TRUE(waitFor([&] { return verdicts.arrived + verdicts.failed.size() > 0; }, 10000))
                << log();
        EXPECT_EQ(verdicts.arrived, 0);
        EXPECT_EQ(verdicts.failed, QStringList({"q2.bin"}));
        EXPECT_EQ(tracker.failedItem(), "q2.bin");
        EXPECT_LT(size(2), BigSize);
    }
}
