#include "ui/aboutbox.h"
#include "ui/tform1.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QTest>
#include <QTimer>
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

TEST(DesktopProgram, HelpMenuShowsTheAboutBox)
{
    // The program sets its version at start; the About box shows whatever that is.
    const QString kept = QCoreApplication::applicationVersion();
    QCoreApplication::setApplicationVersion(QStringLiteral("3.14.2"));
    TForm1 form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QString version;
    bool seen = false;
    QTimer::singleShot(0, &form, [&] {
        QTest::qWaitFor([] { return QApplication::activeModalWidget() != nullptr; }, 5000);
        auto *about = qobject_cast<AboutBox *>(QApplication::activeModalWidget());
        seen = about != nullptr;
        if (!about)
            return;
        if (auto *label = about->findChild<QLabel *>("AboutVersion"))
            version = label->text();
        about->accept();
    });
    // Whatever happens above, no dialog is left running.
    QTimer::singleShot(10000, &form, [] {
        if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
    });
    form.Menu_About->trigger();
    EXPECT_TRUE(seen);
    QCoreApplication::setApplicationVersion(kept);
    EXPECT_EQ(version.toStdString(), "Version 3.14.2");
}

} // namespace
