// The log window renders the engine's log as it is written: plain text in the colours of each
// line's mark, at most 999 lines, the newest in view; a banner clears it.
#include "formdriver.h"
#include "ui/logpanel.h"

#include "tasks/taskengine.h"
#include "widgets/logview.h"

#include <QScrollBar>

TEST(LogWindow, RendersTheEngineLogAsPlainTextBoundedAndScrolledToTheNewest)
{
    auto form = showForm();
    LogView *log = form->logPanel();
    TaskEngine *engine = form->engine();
    ASSERT_EQ(log->lineCount(), 1);
    EXPECT_EQ(log->line(0), "  : Orvane FTP Version 1.0 Final Beta");

    // A reply holding markup shows exactly as the host sent it.
    engine->WriteLog(">>: 220 <b>Welcome</b> & <font color=red>hi</font>", 0);
    engine->WriteLog(" !: Could not establish a connection to the host computer.", 0);
    ASSERT_EQ(log->lineCount(), 3);
    EXPECT_EQ(log->line(1), ">>: 220 <b>Welcome</b> & <font color=red>hi</font>");
    EXPECT_EQ(log->lineColor(1), log->shownColour(">>:"));
    EXPECT_EQ(log->lineColor(2), log->shownColour(" !:"));
    EXPECT_EQ(log->lineColor(0), log->shownColour("  :"));
    EXPECT_EQ(log->palette().color(QPalette::Base), form->palette().color(QPalette::Button));

    for (int i = 0; i < 1200; ++i)
        engine->WriteLog(QStringLiteral("<<: noop %1").arg(i), LogModel::NoSession);
    EXPECT_EQ(log->lineCount(), 999);
    EXPECT_EQ(engine->log()->lineCount(), 999);
    EXPECT_EQ(log->line(998), "<<: noop 1199");
    // 1203 lines were written: the banner, two lines and 1200 more; the oldest 204 are gone.
    EXPECT_EQ(log->line(0), "<<: noop 201");
    EXPECT_EQ(engine->log()->line(0), log->line(0));
    EXPECT_EQ(log->lineColor(998), log->shownColour("<<:"));
    QTest::qWait(50);
    EXPECT_EQ(log->verticalScrollBar()->value(), log->verticalScrollBar()->maximum());
    EXPECT_GT(log->verticalScrollBar()->maximum(), 0);

    // The banner leaves exactly one line, and the next line goes right below it.
    engine->log()->ShowBanner();
    ASSERT_EQ(log->lineCount(), 1);
    engine->WriteLog("  : next", LogModel::NoSession);
    ASSERT_EQ(log->lineCount(), 2);
    EXPECT_EQ(log->line(1), "  : next");
}
