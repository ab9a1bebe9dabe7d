// The desktop notification when a long queue finishes while the window is not active, told to
// a notification service on a session bus of the test's own.
#include "ui/queuedonenotice.h"
#include "support/eventwait.h"
#include "windowdriver.h"

#include <QDBusConnection>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

namespace {

// A session bus of its own (dbus-run-session) with the notification service on it, which says
// "ready <bus address>" once it owns the name.
struct PrivateBus
{
    QProcess service;
    QString address;

    bool start()
    {
        const QString run = QStandardPaths::findExecutable("dbus-run-session");
        if (run.isEmpty())
            return false;
        service.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        service.start(run,
                      {"--", "/usr/bin/python3", ORVANE_TEST_PEERS_DIR "/notification_service.py"});
        const bool ready = ovtest::waitFor(
                [&] {
                    service.waitForReadyRead(50);
                    return service.canReadLine();
                },
                15000);
        const QByteArray line = ready ? service.readLine().trimmed() : QByteArray();
        address = QString::fromUtf8(line.mid(6));
        if (!line.startsWith("ready "))
            ADD_FAILURE() << "the service said: " << line.toStdString();
        return line.startsWith("ready ");
    }
    ~PrivateBus()
    {
        QDBusConnection::disconnectFromBus("queue-done-test");
        service.closeWriteChannel();
        if (!service.waitForFinished(5000))
            service.kill();
    }
};

TEST(QueueDoneNotice, TellsTheDesktopOfALongQueueFinishedWhileAway)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.start()) << "dbus-run-session or the notification service did not start";
    QStringList files;
    for (int n = 1; n <= 6; ++n)
        files.append(QStringLiteral("n%1.txt").arg(n));
    ConnectedWindow cw;
    ASSERT_TRUE(cw.connect(files, files));
    TaskEngine *engine = cw.form->engine();
    QueueDoneNotice notice(
            *engine,
            *cw.form,
            DesktopNotifier(QDBusConnection::connectToBus(bus.address, "queue-done-test")));

    int round = 0;
    // Downloads the named host files into a folder of the round's own; waits for the end, every
    // session idle and the notice having looked at the queue once more.
    auto fetch = [&](const QStringList &names) {
        const QString into = cw.localFolder() + QString::number(++round) + '\\';
        QList<FilePair> pairs;
        for (const QString &name : names)
            pairs.append({HostPath{"\\" + name}, LocalPath{into + name}});
        const int id = engine->download(pairs).id;
        bool ended = false;
        const QMetaObject::Connection watch = QObject::connect(
                engine, &TaskEngine::operationFinished, [&](int done) { ended |= done == id; });
        engine->Pass();
        EXPECT_TRUE(ovtest::waitFor(
                [&] {
                    bool idle = ended;
                    for (int i = 0; idle && i < engine->taskList().count(); ++i)
                        idle = engine->taskList().session(i)->State() != csWaitForReply;
                    return idle;
                },
                30000));
        QCoreApplication::processEvents();
        QObject::disconnect(watch);
    };
    // Six files while the window is active, then three while it is not: nothing said.
    fetch(files);
    QWidget elsewhere;
    elsewhere.show();
    elsewhere.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&elsewhere));
    ASSERT_FALSE(cw.form->isActiveWindow());
    fetch(files.mid(0, 3));
    // Six while away, one of them missing on the host.
    fetch(files.mid(0, 5) + QStringList{"gone.txt"});

    // The calls the service printed, one a line.
    QList<QByteArray> calls;
    auto read = [&](int timeoutMs, int wanted) {
        ovtest::waitFor(
                [&] {
                    bus.service.waitForReadyRead(50);
                    for (const QByteArray &line : bus.service.readAll().split('\n')) {
                        if (!line.trimmed().isEmpty())
                            calls.append(line);
                    }
                    return calls.size() >= wanted;
                },
                timeoutMs);
    };
    read(10000, 1);
    ASSERT_FALSE(calls.isEmpty()) << "no notification";
    const QJsonObject call = QJsonDocument::fromJson(calls.first()).object();
    EXPECT_EQ(call.value("app").toString(), "Orvane FTP");
    EXPECT_EQ(call.value("summary").toString(), "The queue has finished");
    EXPECT_EQ(call.value("body").toString(), "5 of 6 transfers are done; 1 failed.");
    // The earlier rounds would have arrived first: only the one call was made.
    read(500, 2);
    EXPECT_EQ(calls.size(), 1) << calls.join('\n').toStdString();
}

} // namespace
