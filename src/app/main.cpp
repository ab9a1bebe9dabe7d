// orvane-ftp: the desktop program.
#include "platform/localpath.h"
#include "settings/options.h"
#include "settings/registry.h"
#include "sites/keyringstore.h"
#include "sites/passwordvault.h"
#include "tasks/taskengine.h"
#include "ui/masterpasswordbox.h"
#include "ui/queuedonenotice.h"
#include "ui/siteconnector.h"
#include "ui/startupsequence.h"
#include "ui/tform1.h"
#include "ui/tquick.h"
#include "ui/tsitemgr.h"
#include "ui/tsplash.h"
#include "ui/tzetup.h"
#include "ui/unfinishedwork.h"

#include "orvaneversion.h"

#include <QCheckBox>
#include <QIcon>
#include <QLineEdit>
#include <QUrl>

#include <QApplication>
#include <QMessageBox>
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
    QApplication::setApplicationVersion(QStringLiteral(ORVANE_VERSION));
    // The installed desktop entry and icon share this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.orvane.OrvaneFTP"));
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/org.orvane.OrvaneFTP-%1.png").arg(size));
    QApplication::setWindowIcon(icon);

    TSplash splash;
    splash.show();
    splash.repaint();
    QCoreApplication::processEvents();

    Registry &registry = Registry::user();
    Options options;
    TaskEngine engine;
    // One options object for the whole run: the engine reads it, the Setup dialog edits it.
    engine.useOptions(options);
    // Site passwords: the desktop keyring, else the master password (asked once per run when a
    // site needs it), else the old form with a word to the user. Made before the window: the
    // Site manager, a child of the window, saves through the vault when it goes.
    KeyringStore keyring;
    PasswordVault vault(registry, &keyring);
    TForm1 window(engine);
    StartupSequence startup(window, registry, options, engine);
    // The Setup dialog shows, and applies, the options record read during start-up.
    QObject::connect(&startup, &StartupSequence::startupFinished, &window, [&window] {
        window.Zetup->loadControls();
    });
    // Saved sites: the Site manager is made on first use and writes the store when it closes;
    // at shut-down the store is written first, when the Site manager was ever opened.
    SiteConnector sites(engine, registry, options, &window);
    vault.setPrompt(MasterPasswordBox::dialogPrompt(&window));
    sites.passwordVault = &vault;
    window.Zetup->addPasswordSettings(new MasterPasswordBox(registry, vault));
    bool siteManagerOpened = false;
    QObject::connect(window.Menu_SiteManager, &QAction::triggered, &window, [&] {
        siteManagerOpened = true;
        sites.tbBtn_SiteManagerClick();
    });
    QObject::connect(window.Quick, &QDialog::accepted, &sites, &SiteConnector::clearCurrentSite);
    QObject::connect(&window, &TForm1::certificatePinned, &sites, &SiteConnector::pinCertificate);
    startup.saveSiteStore = [&](QString *error) {
        if (!siteManagerOpened || sites.siteManager()->saveSites())
            return true;
        if (error)
            *error = QStringLiteral("The saved sites could not be written.");
        return false;
    };
    if (UnfinishedWork *unfinished = startup.unfinishedWork()) {
        unfinished->connectedSiteName = [&sites] {
            return sites.currentSitePath();
        };
        unfinished->connectSite = [&sites](const QString &path) {
            return sites.connectSitePath(path);
        };
    }
    // A long queue that finishes while the user is elsewhere is told on the desktop.
    QueueDoneNotice queueDone(engine, window);
    startup.setSplash(&splash);
    if (!startup.createTemporaryFolders()) {
        splash.hide();
        QMessageBox::critical(nullptr, QStringLiteral("Orvane FTP"), startup.terminationMessage());
        return 1;
    }
    startup.start();

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
    // ORVANE_DOWNLOAD_TO=<local folder>: with ORVANE_CONNECT, the connection's initial folder
    // and everything below it are downloaded into that folder once logged in (a scripted run).
    const QString downloadTo = qEnvironmentVariable("ORVANE_DOWNLOAD_TO");
    if (connectTo.isValid() && !downloadTo.isEmpty()) {
        QString hostFolder = connectTo.path();
        if (!hostFolder.endsWith(QLatin1Char('/')))
            hostFolder += QLatin1Char('/');
        hostFolder.replace(QLatin1Char('/'), QLatin1Char('\\'));
        if (!hostFolder.startsWith(QLatin1Char('\\')))
            hostFolder.prepend(QLatin1Char('\\'));
        auto *once = new QMetaObject::Connection;
        *once = QObject::connect(&engine, &TaskEngine::mainLoggedIn, &window, [=, &engine] {
            QObject::disconnect(*once);
            delete once;
            engine.downloadTree(HostPath{hostFolder}, LocalPath{NativeToLocal(downloadTo)});
            engine.Pass();
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
    startup.shutDown();
    for (const QString &error : startup.shutDownErrors())
        std::fprintf(stderr, "orvane-ftp: %s\n", qPrintable(error));
    return result;
}
