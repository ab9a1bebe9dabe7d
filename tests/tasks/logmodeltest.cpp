#include "tasks/logmodel.h"
#include "support/qtprinters.h"
#include "tasks/sessiontext.h"

#include <gtest/gtest.h>

TEST(LogModel, KeepsTheLast999LinesNumberedAndSorted)
{
    LogModel log;
    for (int i = 1; i <= 2500; ++i) {
        log.WriteLog(QStringLiteral("  : line %1").arg(i), -1);
        if (i == 999 || i == 1000) {
            EXPECT_EQ(log.line(0), QStringLiteral("  : line %1").arg(i - 998));
        }
    }
    EXPECT_EQ(log.lineCount(), 999);
    EXPECT_EQ(log.rowCount(), 999);
    EXPECT_EQ(log.line(0), QStringLiteral("  : line 1502"));
    EXPECT_EQ(log.line(998), QStringLiteral("  : line 2500"));

    // Task numbers: task sessions always, the main session only once several tasks are
    // allowed, -1 never.
    bool mainNumbered = false;
    log.setMainSessionNumbered([&] { return mainNumbered; });
    // clang-format off
    struct Row { const char *line; int task; bool mainNumbered; const char *shown; LogModel::Kind kind; };
    const Row rows[] = {
        {"  : Task disconnected.", 1, false, "  : (01) Task disconnected.", LogModel::Information},
        {">>: 226 Transfer complete.", 12, false, ">>: (12) 226 Transfer complete.", LogModel::FromHost},
        {"<<: pwd", 0, false, "<<: pwd", LogModel::ToHost},
        {"<<: pwd", 0, true, "<<: (00) pwd", LogModel::ToHost},
        {"!!: Error in Host input", -1, true, "!!: Error in Host input", LogModel::Error},
        {" !: warning", -1, true, " !: warning", LogModel::Warning},
        {"odd line", -1, true, "odd line", LogModel::Other},
    };
    // clang-format on
    for (const Row &row : rows) {
        SCOPED_TRACE(row.shown);
        mainNumbered = row.mainNumbered;
        log.WriteLog(QString::fromLatin1(row.line), row.task);
        EXPECT_EQ(log.line(998), QString::fromLatin1(row.shown));
        EXPECT_EQ(log.kind(998), row.kind);
    }

    int cleared = 0;
    QObject::connect(&log, &LogModel::cleared, [&] { ++cleared; });
    log.ShowBanner();
    EXPECT_EQ(cleared, 1);
    EXPECT_EQ(log.lineCount(), 1);
}

TEST(SessionText, PasswordsAreMaskedInEveryCase)
{
    const char *const rows[][3] = {
            // sent, in the log, in the log-in information
            {"pass secret", "pass *****", "Sending password to host (pass *****)"},
            {"PASS secret", "pass *****", "Sending password to host (pass *****)"},
            {"Pass se cret", "pass *****", "Sending password to host (pass *****)"},
            {"USER ann", "USER ann", "Sending username to host (USER ann)"},
            {"passive", "passive", ""},
            {"pwd", "pwd", ""},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(SentTextForLog(QString::fromLatin1(row[0])), QString::fromLatin1(row[1]));
        EXPECT_EQ(SentTextForLoginInfo(QString::fromLatin1(row[0])), QString::fromLatin1(row[2]));
    }
}
