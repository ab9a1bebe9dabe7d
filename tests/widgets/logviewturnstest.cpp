#include "widgets/logview.h"

#include <QCoreApplication>
#include <QTextDocument>

#include <gtest/gtest.h>

namespace {

// The lines of every turn of the event loop reach the document at that turn's end, in one edit,
// without anyone reading the log first.
TEST(LogWindow, EveryTurnsLinesReachTheDocumentInOneEdit)
{
    LogView log;
    int edits = 0;
    QObject::connect(log.document(), &QTextDocument::contentsChanged, [&] { ++edits; });
    for (int turn = 0; turn < 3; ++turn) {
        log.appendLogLine(QStringLiteral("  : turn %1 a").arg(turn));
        log.appendLogLine(QStringLiteral("  : turn %1 b").arg(turn));
        QCoreApplication::processEvents();
        EXPECT_EQ(edits, turn + 1);
        EXPECT_TRUE(log.document()->toPlainText().endsWith(QStringLiteral("turn %1 b").arg(turn)))
                << "turn " << turn;
    }
}

} // namespace
