#include "widgets/logview.h"

#include "support/eventwait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextDocument>

#include <gtest/gtest.h>

namespace {

// The lines of a turn after a quiet spell reach the document at that turn's end, in one edit;
// while lines keep coming they are written together, a few times a second at most, without
// anyone reading the log.
TEST(LogWindow, LinesReachTheDocumentTogetherAFewTimesASecond)
{
    LogView log;
    int edits = 0;
    QObject::connect(log.document(), &QTextDocument::contentsChanged, [&] { ++edits; });
    log.appendLogLine(QStringLiteral("  : quiet a"));
    log.appendLogLine(QStringLiteral("  : quiet b"));
    QCoreApplication::processEvents();
    EXPECT_EQ(edits, 1);
    EXPECT_TRUE(log.document()->toPlainText().endsWith(QStringLiteral("quiet b")));

    QElapsedTimer clock;
    clock.start();
    for (int turn = 0; turn < 20; ++turn) {
        log.appendLogLine(QStringLiteral("  : turn %1").arg(turn));
        QCoreApplication::processEvents();
    }
    // One edit per interval that went by, and one for the lines still waiting.
    const qint64 bound = 2 + clock.elapsed() / LogView::FlushIntervalMs;
    EXPECT_LE(edits - 1, bound);
    EXPECT_TRUE(ovtest::waitFor(
            [&] { return log.document()->toPlainText().endsWith(QStringLiteral("turn 19")); }));
    EXPECT_EQ(log.document()->blockCount(), 22);
}

} // namespace
