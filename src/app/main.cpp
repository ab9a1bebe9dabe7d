// orvane-ftp: the desktop program.
#include "settings/registry.h"
#include "tasks/taskengine.h"
#include "ui/tform1.h"
#include "ui/tquick.h"
#include "widgets/filelistview.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QUrl>

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

bool displayAvailable()
{
    // Without any of these Qt would stop with a bare "could not connect to display" error.
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char *value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    if (!displayAvailable()) {
        std::fputs("orvane-ftp: no display found; run it on a desktop, under a virtual display "
                   "(xvfb-run build/src/orvane-ftp), or use the headless orvane-ftp-cli\n",
                   stderr);
        return 2;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvane FTP"));

    TForm1 window;
    Registry &registry = Registry::user();
    window.readOptions(registry);
    window.show();
    window.activateWindow();
    window.lWin->setFocus(Qt::OtherFocusReason);
    window.UpdateInterface();
    window.engine()->startTimers();

    // ORVANE_CONNECT=ftp://[user[:password]@]host[:port][/folder] connects as Quick connect
    // would (anonymously without a user name) once the window shows.
    const QUrl connectTo(qEnvironmentVariable("ORVANE_CONNECT"));
    if (connectTo.isValid() && !connectTo.host().isEmpty()) {
        QTimer::singleShot(200, &window, [&window, connectTo] {
            window.Quick->Host->setText(connectTo.host());
            window.Quick->Port->setText(QString::number(connectTo.port(21)));
            window.Quick->InitPath->setText(connectTo.path());
            window.Quick->initpathExit();
            window.Quick->anonymous->setChecked(connectTo.userName().isEmpty());
            window.Quick->Username->setText(connectTo.userName());
            window.Quick->Password->setText(connectTo.password());
            window.Quick->passive->setChecked(true);
            window.QuickConnect();
        });
    }
    // ORVANE_SCREENSHOT=<file.png> saves a picture of the window once it has settled (after
    // ORVANE_SCREENSHOT_DELAY milliseconds, 1500 by default), then quits: how the
    // documentation's screenshot is taken under a virtual display.
    const QString shot = qEnvironmentVariable("ORVANE_SCREENSHOT");
    if (!shot.isEmpty()) {
        bool ok = false;
        int delay = qEnvironmentVariableIntValue("ORVANE_SCREENSHOT_DELAY", &ok);
        QTimer::singleShot(ok ? delay : 1500, &window, [&window, shot] {
            const bool saved = window.grab().save(shot);
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }
    const int result = app.exec();
    window.writeOptions(registry);
    return result;
}
