#include "widgets/logview.h"

#include <QCoreApplication>
#include <QTextDocument>

#include <gtest/gtest.h>

namespace {

TEST(LogWindow, EveryTurnsLinesReachTheDocumentInOneEditColouredByTheirMark)
{
    LogView log;
    log.appendLogLine(">>: 230 <b>Welcome</b> &amp; <font color=red>hi</font>");
    log.appendLogLine("<<: pass *****");
    log.appendLogLine("  : Orvane FTP Version 1.0 Final Beta");
    log.appendLogLine(" !: (01) Task was unable to connect");
    log.appendLogLine("!!: Error u1-6144 - Please Report to Author.");
    log.appendLogLine("no mark\r\nsecond half");
    ASSERT_EQ(log.lineCount(), 6);
    EXPECT_EQ(log.line(0), ">>: 230 <b>Welcome</b> &amp; <font color=red>hi</font>");
    EXPECT_EQ(log.line(1), "<<: pass *****");
    EXPECT_EQ(log.line(5), "no mark  second half");
    const QColor colours[] = {log.shownColour(">>:"),
                              log.shownColour("<<:"),
                              log.shownColour("  :"),
                              log.shownColour(" !:"),
                              log.shownColour("!!:"),
                              log.shownColour("no ")};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(log.lineColor(i), colours[i]) << i;

    // The lines of one turn of the event loop go in together, and only the newest stay.
    log.clearLines();
    int edits = 0;
    QObject::connect(log.document(), &QTextDocument::contentsChanged, [&] { ++edits; });
    for (int i = 0; i < 2500; ++i)
        log.appendLogLine(QStringLiteral("%1: line %2").arg(i % 2 ? "!!" : "<<").arg(i));
    log.appendLine("plain", Qt::darkGreen);
    EXPECT_EQ(edits, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(edits, 1);
    EXPECT_EQ(log.lineCount(), LogView::MaxLines);
    EXPECT_EQ(log.line(0), "<<: line 1502");
    EXPECT_EQ(log.lineColor(0), log.shownColour("<<:"));
    EXPECT_EQ(log.lineColor(1), log.shownColour("!!:"));
    EXPECT_EQ(log.line(LogView::MaxLines - 1), "plain");
    EXPECT_EQ(log.lineColor(LogView::MaxLines - 1), QColor(Qt::darkGreen));
    // Every later turn's lines reach the document at that turn's end too, unread.
    for (int turn = 2; turn < 4; ++turn) {
        log.appendLogLine(QStringLiteral("  : turn %1 a").arg(turn));
        log.appendLogLine(QStringLiteral("  : turn %1 b").arg(turn));
        QCoreApplication::processEvents();
        EXPECT_EQ(edits, turn);
        EXPECT_TRUE(log.document()->toPlainText().endsWith(QStringLiteral("turn %1 b").arg(turn)));
    }
}

} // namespace
