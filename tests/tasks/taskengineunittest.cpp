#include "support/qtprinters.h"
#include "tasks/taskengine.h"

#include <gtest/gtest.h>

TEST(DeleteBufferedHostTree, FilesFirstThenFoldersDeepestFirst)
{
    TaskEngine engine;
    ListingBuffer &buffer = *engine.MainFTP()->listingBuffer();
    buffer.addEntry(QStringLiteral("\\pub\\"), QStringLiteral("dold"), QStringLiteral("-1*0"));
    buffer.addEntry(
            QStringLiteral("\\pub\\old\\"), QStringLiteral("fa.txt"), QStringLiteral("1*0"));
    buffer.addEntry(QStringLiteral("\\pub\\old\\"), QStringLiteral("db"), QStringLiteral("-1*0"));
    buffer.addEntry(QStringLiteral("\\pub\\old\\"), QStringLiteral("dc"), QStringLiteral("-1*0"));
    buffer.addEntry(
            QStringLiteral("\\pub\\old\\b\\"), QStringLiteral("fb1"), QStringLiteral("1*0"));
    buffer.addEntry(
            QStringLiteral("\\pub\\old\\b\\"), QStringLiteral("dd"), QStringLiteral("-1*0"));
    buffer.addEntry(
            QStringLiteral("\\pub\\old\\b\\d\\"), QStringLiteral("fd1"), QStringLiteral("1*0"));
    buffer.store(QStringLiteral("\\pub\\old\\c\\"), {});
    // A link to a folder far away: removed as a link, never walked.
    buffer.addEntry(QStringLiteral("\\pub\\old\\c\\"),
                    QStringLiteral("dlinked"),
                    QStringLiteral("-1*0"),
                    true);
    // A sibling whose name begins like the tree's is not part of it.
    buffer.addEntry(
            QStringLiteral("\\pub\\older\\"), QStringLiteral("fkeep"), QStringLiteral("1*0"));

    engine.DeleteBufferedHostTree(QStringLiteral("\\pub\\old\\"));
    EXPECT_EQ(engine.mainCmdList().lines(),
              (QStringList{"cwd \\pub\\",
                           "dele \\pub\\old\\a.txt",
                           "dele \\pub\\old\\b\\b1",
                           "dele \\pub\\old\\b\\d\\d1",
                           "dele \\pub\\old\\c\\linked",
                           "rmd \\pub\\old\\c\\",
                           "rmd \\pub\\old\\b\\d\\",
                           "rmd \\pub\\old\\b\\",
                           "rmd \\pub\\old\\"}));

    // A tree at the top: its parent is the root.
    engine.mainCmdList().clear();
    engine.DeleteBufferedHostTree(QStringLiteral("\\pub\\"));
    EXPECT_EQ(engine.mainCmdList().lines().first(), QStringLiteral("cwd \\"));
    EXPECT_EQ(engine.mainCmdList().lines().last(), QStringLiteral("rmd \\pub\\"));

    // Nothing buffered: nothing to do.
    engine.mainCmdList().clear();
    buffer.clear();
    engine.DeleteBufferedHostTree(QStringLiteral("\\pub\\"));
    EXPECT_TRUE(engine.mainCmdList().isEmpty());
}

TEST(TaskEngineOptions, TheProgramsOptionsAreReadWhenNeeded)
{
    Options options = Options::defaults();
    options.ShowMultiGeneral = false;
    options.ShowMultiIO = false;
    TaskEngine engine;
    engine.useOptions(options);
    EXPECT_EQ(&engine.options(), &options);

    // Main-session lines carry "(00)" only with several tasks and multi-task lines shown.
    engine.WriteLog(QStringLiteral("  : one"), 0);
    engine.Change_MaxTasks(3);
    engine.WriteLog(QStringLiteral("  : two"), 0);
    options.ShowMultiIO = true;
    engine.WriteLog(QStringLiteral("  : three"), 0);
    engine.Change_MaxTasks(40);
    EXPECT_EQ(engine.MaxTasks(), 25);
    const QStringList lines = engine.log()->lines();
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines.at(0), QStringLiteral("  : Orvane FTP Version 1.0 Final Beta"));
    EXPECT_EQ(lines.at(1), QStringLiteral("  : one"));
    EXPECT_EQ(lines.at(2), QStringLiteral("  : two"));
    EXPECT_EQ(lines.at(3), QStringLiteral("  : (00) three"));
}
