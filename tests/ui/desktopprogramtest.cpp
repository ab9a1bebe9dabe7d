// Started where there is no display, the program says in one line how to go on.
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

TEST(DesktopProgram, WithoutADisplayItSaysHowToGoOn)
{
    const QString program = QStringLiteral(ORVANE_BINARY_DIR "/src/orvane-ftp");
    if (!QFileInfo(program).isExecutable())
        GTEST_SKIP() << "build the orvane-ftp target first";
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, {});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_NE(process.exitCode(), 0);
    const QString said = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    EXPECT_EQ(said.count(QLatin1Char('\n')), 0) << said.toStdString();
    EXPECT_TRUE(said.contains("xvfb-run")) << said.toStdString();
    EXPECT_TRUE(said.contains("orvane-ftp-cli")) << said.toStdString();
}

} // namespace
