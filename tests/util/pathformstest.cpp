#include "util/pathforms.h"

#include "platform/localpath.h"
#include "support/files.h"
#include "support/qtprinters.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(PathForms, ConvertsBetweenForms)
{
    const std::tuple<const char *, int, const char *> rows[] = {
            {"pub\\gnu", SlashForm, "pub/gnu/"},
            {"", SlashForm, "/"},
            {"", BackslashForm, "\\"},
            {"/pub/gnu", BackslashForm, "\\pub\\gnu\\"},
            {"//pub///gnu//", SlashForm, "/pub/gnu/"},
            {"\\\\pub\\/gnu", SlashForm, "/pub/gnu/"},
            {"/pub/a b/", 7, "/pub/a b/"},
            // parent steps
            {"/pub/gnu/../doc/", SlashForm, "/pub/doc/"},
            {"/a/b/../../c", SlashForm, "/c/"},
            {"/../pub/", SlashForm, "pub/"},
            {"/pub/..", SlashForm, "/"},
            {"../a/../b/", SlashForm, "../b/"},
            {"/pub/..x/", SlashForm, "/pub/..x/"},
            // drive letters lose the leading slash only; a colon elsewhere is part of a name
            {"/C:/Temp/", SlashForm, "C:/Temp/"},
            {"\\C:\\Temp", BackslashForm, "C:\\Temp\\"},
            {"/z:", BackslashForm, "z:\\"},
            {"/pub/a:b.txt", SlashForm, "/pub/a:b.txt/"},
            {"/ab:/x", SlashForm, "/ab:/x/"},
            {"/1:/x", SlashForm, "/1:/x/"},
            // bracket form
            {"[pub.gnu]readme", SlashForm, "/pub/gnu/readme/"},
            {"[pub.gnu]read.me", SlashForm, "/pub/gnu/read.me/"},
            {"[]", SlashForm, "/"},
            {"[pub.gnu]", BackslashForm, "\\pub\\gnu\\"},
            {"/pub/gnu/", BracketForm, "[pub.gnu]"},
            {"/", BracketForm, "[]"},
            {"[pub.gnu]", BracketForm, "[pub.gnu]"},
            {"pub/gnu", BracketForm, "[.pub.gnu]"},
            {"[pub", SlashForm, "[pub/"},
    };
    for (const auto &[path, form, result] : rows)
        EXPECT_EQ(ConvertPath(QString::fromUtf8(path), form), QString::fromUtf8(result))
                << path << " form " << form;
    EXPECT_EQ(StripIllegalChars(QStringLiteral("a\\b/c:d*e?f\"g<h>i|j Grüße")),
              QStringLiteral("abcdefghij Grüße"));
}

TEST(PathForms, FindsLocalFolders)
{
    QTemporaryDir dir;
    ASSERT_TRUE(ovtest::writeFile(dir.filePath(QStringLiteral("sub dir/inner/plain.txt")), ""));
    const QString base = NativeToLocal(dir.path() + QLatin1Char('/'));
    EXPECT_TRUE(FolderExists(base));
    EXPECT_TRUE(FolderExists(base + QStringLiteral("sub dir\\inner")));
    EXPECT_TRUE(FolderExists(base + QStringLiteral("sub dir\\x\\..\\inner\\")));
    EXPECT_FALSE(FolderExists(base + QStringLiteral("missing\\")));
    EXPECT_FALSE(FolderExists(base + QStringLiteral("sub dir\\inner\\plain.txt")));
    EXPECT_TRUE(FolderExists(QStringLiteral("Z:\\")));
    EXPECT_TRUE(FolderExists(QStringLiteral("\\")));
    EXPECT_FALSE(FolderExists(QStringLiteral("C:\\")));
}
