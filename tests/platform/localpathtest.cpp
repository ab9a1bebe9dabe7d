#include "platform/localpath.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Points the home folder at a temporary folder for the length of a test.
class LocalPathMapping : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_home.isValid());
        m_oldHome = qgetenv("HOME");
        m_oldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("HOME", QFile::encodeName(m_home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.path() + QStringLiteral("/.config")));
        m_homePath = QDir::cleanPath(m_home.path());
    }
    void TearDown() override
    {
        qputenv("HOME", m_oldHome);
        if (m_oldConfig.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", m_oldConfig);
    }
    void makeDesktop() { ASSERT_TRUE(QDir(m_homePath).mkpath(QStringLiteral("Desktop"))); }

    QTemporaryDir m_home;
    QString m_homePath;
    QByteArray m_oldHome;
    QByteArray m_oldConfig;
};

TEST_F(LocalPathMapping, TopLevelAndDrive)
{
    EXPECT_EQ(LocalToNative(QStringLiteral("\\")), QString());
    EXPECT_EQ(NativeToLocal(QString()), QStringLiteral("\\"));
    EXPECT_EQ(LocalToNative(QStringLiteral("Z:\\")), QStringLiteral("/"));
    EXPECT_EQ(LocalToNative(QStringLiteral("z:\\")), QStringLiteral("/"));
    EXPECT_EQ(NativeToLocal(QStringLiteral("/")), QStringLiteral("Z:\\"));
    EXPECT_EQ(LocalToNative(QStringLiteral("Z:\\home\\ann\\")), QStringLiteral("/home/ann/"));
    EXPECT_EQ(LocalToNative(QStringLiteral("Z:\\home\\ann\\notes.txt")),
              QStringLiteral("/home/ann/notes.txt"));
    EXPECT_EQ(LocalToNative(QStringLiteral("C:\\Temp\\")), QString());
    EXPECT_EQ(LocalToNative(QStringLiteral("relative\\x")), QString());
}

TEST_F(LocalPathMapping, RoundTripsDrivePaths)
{
    ASSERT_TRUE(QDir(m_homePath).mkpath(QStringLiteral("My Files/Ünïcødé ñame/日本")));
    const QString base = QStringLiteral("Z:")
                         + QString(m_homePath).replace(QLatin1Char('/'), QLatin1Char('\\'));
    const QString internals[] = {
            base + QStringLiteral("\\"),
            base + QStringLiteral("\\My Files\\"),
            base + QStringLiteral("\\My Files\\Ünïcødé ñame\\"),
            base + QStringLiteral("\\My Files\\Ünïcødé ñame\\日本\\"),
            base + QStringLiteral("\\My Files\\a  b.txt"),
            QStringLiteral("Z:\\tmp\\"),
    };
    for (const QString &internal : internals) {
        const QString native = LocalToNative(internal);
        EXPECT_TRUE(native.startsWith(QLatin1Char('/'))) << qPrintable(native);
        EXPECT_FALSE(native.contains(QLatin1Char('\\'))) << qPrintable(native);
        EXPECT_EQ(NativeToLocal(native), internal) << qPrintable(native);
    }
    EXPECT_EQ(LocalToNative(base + QStringLiteral("\\My Files\\Ünïcødé ñame\\")),
              m_homePath + QStringLiteral("/My Files/Ünïcødé ñame/"));
    // An existing folder named without its trailing "/" still comes back as a folder.
    EXPECT_EQ(NativeToLocal(m_homePath + QStringLiteral("/My Files")),
              base + QStringLiteral("\\My Files\\"));
}

TEST_F(LocalPathMapping, RoundTripsDesktopPaths)
{
    makeDesktop();
    const QString desktop = m_homePath + QStringLiteral("/Desktop");
    EXPECT_EQ(DesktopFolder(), desktop);
    ASSERT_TRUE(QDir(desktop).mkpath(QStringLiteral("Project x/Überblick")));

    EXPECT_EQ(LocalToNative(QStringLiteral("Desktop\\")), desktop + QLatin1Char('/'));
    EXPECT_EQ(LocalToNative(QStringLiteral("Desktop\\Project x\\Überblick\\")),
              desktop + QStringLiteral("/Project x/Überblick/"));
    const QString internals[] = {
            QStringLiteral("Desktop\\"),
            QStringLiteral("Desktop\\Project x\\"),
            QStringLiteral("Desktop\\Project x\\Überblick\\"),
            QStringLiteral("Desktop\\Project x\\plan 2.txt"),
    };
    for (const QString &internal : internals)
        EXPECT_EQ(NativeToLocal(LocalToNative(internal)), internal) << qPrintable(internal);

    // Next to the Desktop, not below it.
    ASSERT_TRUE(QDir(m_homePath).mkpath(QStringLiteral("Desktop2")));
    EXPECT_TRUE(NativeToLocal(m_homePath + QStringLiteral("/Desktop2/"))
                        .startsWith(QStringLiteral("Z:\\")));
}

TEST_F(LocalPathMapping, DesktopFallsBackToHome)
{
    EXPECT_EQ(DesktopFolder(), m_homePath);
    EXPECT_EQ(LocalToNative(QStringLiteral("Desktop\\a\\")), m_homePath + QStringLiteral("/a/"));
    // without a Desktop folder, home paths keep the drive form
    const QString internal = NativeToLocal(m_homePath + QStringLiteral("/"));
    EXPECT_TRUE(internal.startsWith(QStringLiteral("Z:\\"))) << qPrintable(internal);
    // Queue entries and file operations get the drive form of a Desktop path.
    EXPECT_EQ(ResolveDesktopPath(QStringLiteral("Desktop\\a\\")), internal + QStringLiteral("a\\"));
    EXPECT_EQ(ResolveDesktopPath(QStringLiteral("Z:\\tmp\\")), QStringLiteral("Z:\\tmp\\"));
}

TEST_F(LocalPathMapping, FollowsTheDesktopNamedInUserDirs)
{
    ASSERT_TRUE(QDir(m_homePath).mkpath(QStringLiteral(".config")));
    ASSERT_TRUE(QDir(m_homePath).mkpath(QStringLiteral("Schreibtisch")));
    QFile dirs(m_homePath + QStringLiteral("/.config/user-dirs.dirs"));
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
    dirs.close();
    EXPECT_EQ(DesktopFolder(), m_homePath + QStringLiteral("/Schreibtisch"));
    EXPECT_EQ(NativeToLocal(m_homePath + QStringLiteral("/Schreibtisch/x.txt")),
              QStringLiteral("Desktop\\x.txt"));
}

} // namespace
