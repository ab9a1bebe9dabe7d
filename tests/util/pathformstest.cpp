#include "util/pathforms.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/localpath.h"

namespace {

struct PathCase
{
    const char *path;
    int form;
    const char *result;
};

void expectConversions(std::initializer_list<PathCase> cases)
{
    for (const PathCase &c : cases)
        EXPECT_EQ(ConvertPath(QString::fromUtf8(c.path), c.form), QString::fromUtf8(c.result))
                << c.path << " form " << c.form;
}

TEST(PathForms, NormalisesSeparatorsAndEndsFolders)
{
    expectConversions({
            {"pub\\gnu", SlashForm, "pub/gnu/"},
            {"", SlashForm, "/"},
            {"", BackslashForm, "\\"},
            {"c:\\temp", BackslashForm, "c:\\temp\\"},
            {"/pub/gnu", BackslashForm, "\\pub\\gnu\\"},
            {"\\pub\\gnu\\", SlashForm, "/pub/gnu/"},
            {"//pub///gnu//", SlashForm, "/pub/gnu/"},
            {"\\\\pub\\/gnu", SlashForm, "/pub/gnu/"},
            {"/pub/a b/", 7, "/pub/a b/"},
            {"/", BackslashForm, "\\"},
    });
}

TEST(PathForms, ResolvesParentSteps)
{
    expectConversions({
            {"/pub/gnu/../doc/", SlashForm, "/pub/doc/"},
            {"/pub/gnu/..", SlashForm, "/pub/"},
            {"/a/b/../../c", SlashForm, "/c/"},
            {"/../pub/", SlashForm, "pub/"},
            {"/pub/..", SlashForm, "/"},
            {"../a/../b/", SlashForm, "../b/"},
            {"/pub/..x/", SlashForm, "/pub/..x/"},
    });
}

TEST(PathForms, DriveLettersLoseTheLeadingSlashOnly)
{
    expectConversions({
            {"/C:/Temp/", SlashForm, "C:/Temp/"},
            {"\\C:\\Temp", BackslashForm, "C:\\Temp\\"},
            {"/z:", BackslashForm, "z:\\"},
            {"C:\\Temp", SlashForm, "C:/Temp/"},
            // a colon inside a host name is part of the name, the path stays absolute
            {"/pub/a:b.txt", SlashForm, "/pub/a:b.txt/"},
            {"/ab:/x", SlashForm, "/ab:/x/"},
            {"/1:/x", SlashForm, "/1:/x/"},
    });
}

TEST(PathForms, ConvertsBracketForm)
{
    expectConversions({
            {"[pub.gnu]", SlashForm, "/pub/gnu/"},
            {"[pub.gnu]readme", SlashForm, "/pub/gnu/readme/"},
            {"[pub.gnu]read.me", SlashForm, "/pub/gnu/read.me/"},
            {"[]", SlashForm, "/"},
            {"[pub.gnu]", BackslashForm, "\\pub\\gnu\\"},
            {"/pub/gnu/", BracketForm, "[pub.gnu]"},
            {"\\pub\\", BracketForm, "[pub]"},
            {"/", BracketForm, "[]"},
            {"", BracketForm, "[]"},
            {"[pub.gnu]", BracketForm, "[pub.gnu]"},
            // a relative path keeps its first name
            {"pub/gnu", BracketForm, "[.pub.gnu]"},
            {"[pub", SlashForm, "[pub/"},
    });
}

TEST(PathForms, StripsCharactersThatNoFileNameMayHold)
{
    EXPECT_EQ(StripIllegalChars(QStringLiteral("a\\b/c:d*e?f\"g<h>i|j")),
              QStringLiteral("abcdefghij"));
    EXPECT_EQ(StripIllegalChars(QStringLiteral("Grüße 2.txt")), QStringLiteral("Grüße 2.txt"));
    EXPECT_EQ(StripIllegalChars(QStringLiteral("***")), QString());
}

class TestNode : public PathNode
{
public:
    TestNode(QString caption, const TestNode *parent)
        : m_caption(std::move(caption))
        , m_parent(parent)
    {}
    QString pathCaption() const override { return m_caption; }
    const PathNode *pathParent() const override { return m_parent; }

private:
    QString m_caption;
    const TestNode *m_parent;
};

TEST(PathForms, BuildsNodePaths)
{
    const TestNode drive(QStringLiteral("C:"), nullptr);
    const TestNode windows(QStringLiteral("Windows"), &drive);
    const TestNode system(QStringLiteral("System 32"), &windows);
    EXPECT_EQ(NodePath(&windows, QLatin1Char('\\')), QStringLiteral("C:\\Windows\\"));
    EXPECT_EQ(NodePath(&system, QLatin1Char('/')), QStringLiteral("C:/Windows/System 32/"));
    EXPECT_EQ(NodePath(&drive, QLatin1Char('\\')), QStringLiteral("C:\\"));
    EXPECT_EQ(NodePath(nullptr, QLatin1Char('\\')), QString());
}

TEST(PathForms, FindsLocalFolders)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("sub dir/inner")));
    QFile file(dir.filePath(QStringLiteral("plain.txt")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    const QString base = NativeToLocal(dir.path() + QLatin1Char('/'));
    ASSERT_TRUE(base.endsWith(QLatin1Char('\\'))) << qPrintable(base);
    EXPECT_TRUE(FolderExists(base));
    EXPECT_TRUE(FolderExists(base + QStringLiteral("sub dir\\inner")));
    EXPECT_TRUE(FolderExists(base + QStringLiteral("sub dir\\x\\..\\inner\\")));
    EXPECT_FALSE(FolderExists(base + QStringLiteral("missing\\")));
    EXPECT_FALSE(FolderExists(base + QStringLiteral("plain.txt")));
    EXPECT_TRUE(FolderExists(QStringLiteral("Z:\\")));
    EXPECT_TRUE(FolderExists(QStringLiteral("\\")));
    EXPECT_FALSE(FolderExists(QStringLiteral("C:\\")));
}

} // namespace
