#include "support/secretservice.h"

#include "support/eventwait.h"

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
    QProcess bus, keyring;
    QString error;

    // Starts program with arguments; it dies with the test process, however that ends.
    bool start(QProcess &process, const QString &program, const QStringList &arguments)
    {
        process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        process.start(QStandardPaths::findExecutable(program), arguments);
        if (!process.waitForStarted(5000))
            error = program + QStringLiteral(" did not start (is it installed?)");
        return error.isEmpty();
    }
    bool fail(const QString &what, QProcess &process)
    {
        error = what + QString::fromLocal8Bit(process.readAllStandardError());
        return false;
    }
    bool run();
};

bool Running::run()
{
    const QString path = home.path();
    QDir(path).mkpath(QStringLiteral("data"));
    QDir(path).mkpath(QStringLiteral("run"));
    QFile::setPermissions(path + "/run", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (!start(bus,
               QStringLiteral("dbus-daemon"),
               {"--session",
                "--nofork",
                "--nopidfile",
                "--print-address=1",
                "--address=unix:path=" + path + "/bus"}))
        return false;
    if (!waitFor([&] { return bus.canReadLine() || bus.waitForReadyRead(50); }, 10000))
        return fail(QStringLiteral("dbus-daemon did not start: "), bus);
    const QString address = QString::fromLatin1(bus.readLine()).trimmed();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
    env.insert(QStringLiteral("HOME"), path);
    env.insert(QStringLiteral("XDG_DATA_HOME"), path + "/data");
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), path + "/run");
    keyring.setProcessEnvironment(env);
    if (!start(keyring,
               QStringLiteral("gnome-keyring-daemon"),
               {"--foreground", "--unlock", "--components=secrets"}))
        return false;
    keyring.write("orvane-test-keyring");
    keyring.closeWriteChannel();

    const QString probeName = QStringLiteral("orvane-test-probe");
    QDBusConnection probe = QDBusConnection::connectToBus(address, probeName);
    const bool registered = waitFor(
            [&] {
                return probe.isConnected()
                       && probe.interface()->isServiceRegistered(
                               QStringLiteral("org.freedesktop.secrets"));
            },
            15000);
    QDBusConnection::disconnectFromBus(probeName);
    if (!registered)
        return fail(QStringLiteral("gnome-keyring-daemon did not appear on the bus: "), keyring);
    // This process and every program it starts use the private bus from now on.
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.toLocal8Bit());
    return true;
}

} // namespace

bool SecretService::ensure(QString *error)
{
    // Never destroyed: both daemons end with the test process.
    static Running *running = new Running;
    static const bool ok = running->home.isValid() && running->run();
    if (!ok && error)
        *error = running->error;
    return ok;
}

} // namespace ovtest
