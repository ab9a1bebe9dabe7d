#include "support/qtprinters.h"
#include "tasks/taskengine.h"

#include <gtest/gtest.h>

TEST(DeleteBufferedHostTree, FilesFirstThenFoldersDeepestFirst)
{
    TaskEngine engine;
    ListingBuffer &buffer = *engine.MainFTP()->listingBuffer();
    const char *const entries[][3] = {
            {"\\pub\\", "dold", "-1*0"},
            {"\\pub\\old\\", "fa.txt", "1*0"},
            {"\\pub\\old\\", "db", "-1*0"},
            {"\\pub\\old\\", "dc", "-1*0"},
            {"\\pub\\old\\b\\", "fb1", "1*0"},
            {"\\pub\\old\\b\\", "dd", "-1*0"},
            {"\\pub\\old\\b\\d\\", "fd1", "1*0"},
            // Siblings whose names begin like the tree's, or differ from it in case alone, are
            // not part of it.
            {"\\pub\\older\\", "fkeep", "1*0"},
            {"\\pub\\OLD\\", "fkeep", "1*0"},
    };
    for (const auto &entry : entries)
        buffer.addEntry(QString::fromLatin1(entry[0]), entry[1], entry[2]);
    buffer.store(QStringLiteral("\\pub\\old\\c\\"), {});
    // A link to a folder far away: removed as a link, never walked.
    buffer.addEntry(QStringLiteral("\\pub\\old\\c\\"), "dlinked", "-1*0", true);

    engine.DeleteBufferedHostTree(QStringLiteral("\\pub\\old\\"));
    // clang-format off
    EXPECT_EQ(engine.mainCmdList().lines(),
              (QStringList{"cwd \\pub\\", "dele \\pub\\old\\a.txt", "dele \\pub\\old\\b\\b1",
              "dele \\pub\\old\\b\\d\\d1", "dele \\pub\\old\\c\\linked", "rmd \\pub\\old\\c\\",
              "rmd \\pub\\old\\b\\d\\", "rmd \\pub\\old\\b\\", "rmd \\pub\\old\\"}));
    // clang-format on

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
