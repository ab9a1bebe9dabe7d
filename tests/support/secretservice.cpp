#include "support/secretservice.h"

#include "support/eventwait.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <csignal>
#include <sys/prctl.h>

namespace ovtest {

namespace {

// Starts program; it dies with the test process, however that ends.
bool start(QProcess &process, const QString &program, const QStringList &arguments)
{
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process.start(QStandardPaths::findExecutable(program), arguments);
    return process.waitForStarted(5000);
}

QString run(const QTemporaryDir &home, QProcess &bus, QProcess &keyring)
{
    const QString path = home.path();
    QDir(path).mkpath(QStringLiteral("data"));
    QDir(path).mkpath(QStringLiteral("run"));
    QFile::setPermissions(path + "/run", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QStringList busArguments{"--session", "--nofork", "--nopidfile", "--print-address=1"};
    if (!start(bus,
               "dbus-daemon",
               busArguments + QStringList{"--address=unix:path=" + path + "/bus"})
        || !waitFor([&] { return bus.canReadLine() || bus.waitForReadyRead(50); }, 10000))
        return "dbus-daemon did not start: " + bus.readAllStandardError();
    const QString address = QString::fromLatin1(bus.readLine()).trimmed();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
    env.insert(QStringLiteral("HOME"), path);
    env.insert(QStringLiteral("XDG_DATA_HOME"), path + "/data");
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), path + "/run");
    keyring.setProcessEnvironment(env);
    if (!start(keyring,
               "gnome-keyring-daemon",
               {"--foreground", "--unlock", "--components=secrets"}))
        return QStringLiteral("gnome-keyring-daemon did not start (is it installed?)");
    keyring.write("orvane-test-keyring");
    keyring.closeWriteChannel();

    QDBusConnection probe = QDBusConnection::connectToBus(address, QStringLiteral("probe"));
    const bool registered = waitFor(
            [&] {
                return probe.isConnected()
                       && probe.interface()->isServiceRegistered("org.freedesktop.secrets");
            },
            15000);
    QDBusConnection::disconnectFromBus(QStringLiteral("probe"));
    if (!registered)
        return "gnome-keyring-daemon did not appear on the bus: " + keyring.readAllStandardError();
    // This process and every program it starts use the private bus from now on.
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.toLocal8Bit());
    return {};
}

} // namespace

bool SecretService::ensure(QString *error)
{
    // Never destroyed: both daemons end with the test process.
    static QTemporaryDir *home = new QTemporaryDir;
    static QProcess *bus = new QProcess, *keyring = new QProcess;
    static const QString failure
            = home->isValid() ? run(*home, *bus, *keyring) : QStringLiteral("no temporary folder");
    *error = failure;
    return failure.isEmpty();
}

} // namespace ovtest
