#include "support/secretservice.h"

#include "support/eventwait.h"
#include "support/peerprocess.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <csignal>
#include <sys/prctl.h>

namespace ovtest {

namespace {

struct Running
{
    QTemporaryDir home;
    QProcess bus;
    QProcess keyring;
    QString address;
    QString error;
    bool ok = false;

    ~Running()
    {
        for (QProcess *p : {&keyring, &bus}) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(3000);
            }
        }
    }
};

// Both daemons die with the test process, however it ends.
void dieWithParent()
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
}

Running *start()
{
    auto *run = new Running;
    run->bus.setChildProcessModifier(dieWithParent);
    run->keyring.setChildProcessModifier(dieWithParent);
    const QString dbus = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("gnome-keyring-daemon"));
    if (dbus.isEmpty() || daemon.isEmpty() || !run->home.isValid()) {
        run->error = QStringLiteral("dbus-daemon or gnome-keyring-daemon is not installed");
        return run;
    }
    const QString home = run->home.path();
    QDir(home).mkpath(QStringLiteral("data"));
    QDir(home).mkpath(QStringLiteral("run"));
    QFile::setPermissions(home + QStringLiteral("/run"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString socket = home + QStringLiteral("/bus");
    run->bus.start(dbus,
                   {QStringLiteral("--session"),
                    QStringLiteral("--nofork"),
                    QStringLiteral("--nopidfile"),
                    QStringLiteral("--print-address=1"),
                    QStringLiteral("--address=unix:path=") + socket});
    if (!run->bus.waitForStarted(5000)
        || !waitFor([&] { return run->bus.canReadLine() || run->bus.waitForReadyRead(50); },
                    10000)) {
        run->error = QStringLiteral("dbus-daemon did not start: ")
                     + QString::fromLocal8Bit(run->bus.readAllStandardError());
        return run;
    }
    run->address = QString::fromLatin1(run->bus.readLine()).trimmed();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), run->address);
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/run"));
    run->keyring.setProcessEnvironment(env);
    run->keyring.start(daemon,
                       {QStringLiteral("--foreground"),
                        QStringLiteral("--unlock"),
                        QStringLiteral("--components=secrets")});
    if (!run->keyring.waitForStarted(5000)) {
        run->error = QStringLiteral("gnome-keyring-daemon did not start");
        return run;
    }
    run->keyring.write("orvane-test-keyring");
    run->keyring.closeWriteChannel();

    QDBusConnection probe
            = QDBusConnection::connectToBus(run->address, QStringLiteral("orvane-test-probe"));
    const bool registered = waitFor(
            [&] {
                return probe.isConnected()
                       && probe.interface()->isServiceRegistered(
                               QStringLiteral("org.freedesktop.secrets"));
            },
            15000);
    QDBusConnection::disconnectFromBus(QStringLiteral("orvane-test-probe"));
    if (!registered) {
        run->error = QStringLiteral("gnome-keyring-daemon did not appear on the bus: ")
                     + QString::fromLocal8Bit(run->keyring.readAllStandardError());
        return run;
    }
    // This process and every program it starts use the private bus from now on.
    qputenv("DBUS_SESSION_BUS_ADDRESS", run->address.toLocal8Bit());
    run->ok = true;
    return run;
}

Running *running()
{
    static Running *instance = start();
    return instance;
}

} // namespace

bool SecretService::ensure(QString *error)
{
    Running *run = running();
    if (!run->ok && error)
        *error = run->error;
    return run->ok;
}

} // namespace ovtest
