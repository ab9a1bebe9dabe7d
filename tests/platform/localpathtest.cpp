#include "platform/localpath.h"
#include "support/files.h"
#include "support/qtprinters.h"

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
        qputenv("HOME", QFile::encodeName(m_home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.path() + QStringLiteral("/.config")));
    }
    void TearDown() override
    {
        qputenv("HOME", m_oldHome);
        if (m_oldConfig.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", m_oldConfig);
    }

    QTemporaryDir m_home;
    QString m_homePath = QDir::cleanPath(m_home.path());
    QString m_drive = "Z:" + QString(m_homePath).replace('/', '\\'); // home in the drive form
    QByteArray m_oldHome = qgetenv("HOME");
    QByteArray m_oldConfig = qgetenv("XDG_CONFIG_HOME");
};
} // namespace

TEST_F(LocalPathMapping, DrivePathsRoundTrip)
{
    const std::pair<QString, QString> rows[] = {
            {"\\", ""},
            {"Z:\\", "/"},
            {"z:\\", "/"},
            {"Z:\\home\\ann\\notes.txt", "/home/ann/notes.txt"},
            {"C:\\Temp\\", ""},
            {"relative\\x", ""},
            {m_drive + "\\My Files\\Ünïcødé ñame\\日本\\",
             m_homePath + "/My Files/Ünïcødé ñame/日本/"},
            {m_drive + "\\My Files\\a  b.txt", m_homePath + "/My Files/a  b.txt"},
    };
    ASSERT_TRUE(QDir(m_homePath).mkpath(QStringLiteral("My Files/Ünïcødé ñame/日本")));
    for (const auto &[internal, native] : rows) {
        EXPECT_EQ(LocalToNative(internal), native) << internal.toStdString();
        const bool back = !native.isEmpty() && internal.startsWith('Z');
        EXPECT_EQ(back ? NativeToLocal(native) : internal, internal) << native.toStdString();
    }
    EXPECT_EQ(NativeToLocal(QString()), QStringLiteral("\\"));
    // An existing folder named without its trailing "/" still comes back as a folder.
    EXPECT_EQ(NativeToLocal(m_homePath + QStringLiteral("/My Files")),
              m_drive + QStringLiteral("\\My Files\\"));
}

TEST_F(LocalPathMapping, DesktopPathsRoundTripAndFallBackToHome)
{
    // Without a Desktop folder: home, and home paths keep the drive form.
    EXPECT_EQ(DesktopFolder(), m_homePath);
    EXPECT_EQ(LocalToNative(QStringLiteral("Desktop\\a\\")), m_homePath + QStringLiteral("/a/"));
    EXPECT_EQ(NativeToLocal(m_homePath + QStringLiteral("/")), m_drive + QStringLiteral("\\"));
    EXPECT_EQ(ResolveDesktopPath(QStringLiteral("Desktop\\a\\")),
              m_drive + QStringLiteral("\\a\\"));
    EXPECT_EQ(ResolveDesktopPath(QStringLiteral("Z:\\tmp\\")), QStringLiteral("Z:\\tmp\\"));

    const QString desktop = m_homePath + QStringLiteral("/Desktop");
    ASSERT_TRUE(QDir(desktop).mkpath(QStringLiteral("Project x/Überblick")));
    ASSERT_TRUE(QDir(m_homePath).mkpath(QStringLiteral("Desktop2")));
    EXPECT_EQ(DesktopFolder(), desktop);
    for (const char *internal :
         {"Desktop\\", "Desktop\\Project x\\Überblick\\", "Desktop\\Project x\\plan 2.txt"})
        EXPECT_EQ(NativeToLocal(LocalToNative(QString::fromUtf8(internal))),
                  QString::fromUtf8(internal));
    EXPECT_EQ(LocalToNative(QStringLiteral("Desktop\\Project x\\")),
              desktop + QStringLiteral("/Project x/"));
    // Next to the Desktop, not below it.
    EXPECT_EQ(NativeToLocal(m_homePath + QStringLiteral("/Desktop2/")),
              m_drive + QStringLiteral("\\Desktop2\\"));

    // The Desktop named in user-dirs.dirs.
    ASSERT_TRUE(ovtest::writeFile(m_homePath + "/.config/user-dirs.dirs",
                                  "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"));
    ASSERT_TRUE(QDir(m_homePath).mkpath(QStringLiteral("Schreibtisch")));
    EXPECT_EQ(DesktopFolder(), m_homePath + QStringLiteral("/Schreibtisch"));
    EXPECT_EQ(NativeToLocal(m_homePath + QStringLiteral("/Schreibtisch/x.txt")),
              QStringLiteral("Desktop\\x.txt"));
}
