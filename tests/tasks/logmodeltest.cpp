#include "tasks/logmodel.h"
#include "support/qtprinters.h"
#include "tasks/sessiontext.h"

#include <gtest/gtest.h>

TEST(LogModel, ThousandthLineDropsTheFirst)
{
    LogModel log;
    for (int i = 1; i <= 999; ++i)
        log.WriteLog(QStringLiteral("  : line %1").arg(i), -1);
    ASSERT_EQ(log.lineCount(), 999);
    EXPECT_EQ(log.line(0), QStringLiteral("  : line 1"));

    log.WriteLog(QStringLiteral("  : line 1000"), -1);
    EXPECT_EQ(log.lineCount(), 999);
    EXPECT_EQ(log.line(0), QStringLiteral("  : line 2"));
    EXPECT_EQ(log.line(998), QStringLiteral("  : line 1000"));
    EXPECT_EQ(log.rowCount(), 999);

    for (int i = 1001; i <= 2500; ++i)
        log.WriteLog(QStringLiteral("  : line %1").arg(i), -1);
    EXPECT_EQ(log.lineCount(), 999);
    EXPECT_EQ(log.line(0), QStringLiteral("  : line 1502"));
}

TEST(LogModel, TaskNumbersFollowTheRules)
{
    LogModel log;
    bool mainNumbered = false;
    log.setMainSessionNumbered([&] { return mainNumbered; });

    log.WriteLog(QStringLiteral("  : Task disconnected from host computer."), 1);
    EXPECT_EQ(log.line(0), QStringLiteral("  : (01) Task disconnected from host computer."));

    log.WriteLog(QStringLiteral(">>: 226 Transfer complete."), 12);
    EXPECT_EQ(log.line(1), QStringLiteral(">>: (12) 226 Transfer complete."));

    // Main session: no number with MaxTasks 1, "(00)" once several tasks are allowed.
    log.WriteLog(QStringLiteral("<<: pwd"), 0);
    EXPECT_EQ(log.line(2), QStringLiteral("<<: pwd"));
    mainNumbered = true;
    log.WriteLog(QStringLiteral("<<: pwd"), 0);
    EXPECT_EQ(log.line(3), QStringLiteral("<<: (00) pwd"));

    // -1 is never numbered, whatever the settings.
    log.WriteLog(QStringLiteral("!!: Error u1-332 - Please Report to Author."), -1);
    EXPECT_EQ(log.line(4), QStringLiteral("!!: Error u1-332 - Please Report to Author."));
}

TEST(LogModel, KindsBannerAndRoles)
{
    LogModel log;
    int written = 0;
    QObject::connect(&log, &LogModel::lineWritten, [&](const QString &) { ++written; });
    log.WriteLog(QStringLiteral("  : info"), -1);
    log.WriteLog(QStringLiteral(">>: 220 hello"), -1);
    log.WriteLog(QStringLiteral("<<: user ann"), -1);
    log.WriteLog(QStringLiteral("!!: Error in Host input 220 again"), -1);
    log.WriteLog(QStringLiteral(" !: warning"), -1);
    log.WriteLog(QStringLiteral("odd line"), -1);
    EXPECT_EQ(written, 6);
    EXPECT_EQ(log.kind(0), LogModel::Information);
    EXPECT_EQ(log.kind(1), LogModel::FromHost);
    EXPECT_EQ(log.kind(2), LogModel::ToHost);
    EXPECT_EQ(log.kind(3), LogModel::Error);
    EXPECT_EQ(log.kind(4), LogModel::Warning);
    EXPECT_EQ(log.kind(5), LogModel::Other);
    const QModelIndex warning = log.index(4);
    EXPECT_EQ(log.data(warning, LogModel::MarkRole).toString(), QStringLiteral(" !:"));
    EXPECT_EQ(log.data(warning, LogModel::MessageRole).toString(), QStringLiteral(" warning"));
    EXPECT_EQ(log.data(warning, LogModel::KindRole).toInt(), int(LogModel::Warning));

    int cleared = 0;
    QObject::connect(&log, &LogModel::cleared, [&] { ++cleared; });
    log.ShowBanner();
    EXPECT_EQ(cleared, 1);
    ASSERT_EQ(log.lineCount(), 1);
    EXPECT_EQ(log.line(0), QStringLiteral("  : Orvane FTP Version 1.0 Final Beta"));
    log.WriteLog(QStringLiteral("  : next"), -1);
    EXPECT_EQ(log.lineCount(), 2);
    EXPECT_EQ(log.line(1), QStringLiteral("  : next"));
}

TEST(SessionText, PasswordsAreMaskedInEveryCase)
{
    EXPECT_EQ(SentTextForLog(QStringLiteral("pass secret")), QStringLiteral("pass *****"));
    EXPECT_EQ(SentTextForLog(QStringLiteral("PASS secret")), QStringLiteral("pass *****"));
    EXPECT_EQ(SentTextForLog(QStringLiteral("Pass se cret")), QStringLiteral("pass *****"));
    EXPECT_EQ(SentTextForLog(QStringLiteral("user ann")), QStringLiteral("user ann"));
    EXPECT_EQ(SentTextForLog(QStringLiteral("passive")), QStringLiteral("passive"));

    EXPECT_EQ(SentTextForLoginInfo(QStringLiteral("USER ann")),
              QStringLiteral("Sending username to host (USER ann)"));
    EXPECT_EQ(SentTextForLoginInfo(QStringLiteral("PASS secret")),
              QStringLiteral("Sending password to host (pass *****)"));
    EXPECT_EQ(SentTextForLoginInfo(QStringLiteral("pass secret")),
              QStringLiteral("Sending password to host (pass *****)"));
    EXPECT_TRUE(SentTextForLoginInfo(QStringLiteral("pwd")).isEmpty());
}
