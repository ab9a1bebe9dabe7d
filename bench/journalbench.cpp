// The engine's tree download with and without the queue journal the window keeps: connects
// anonymously to 127.0.0.1:PORT with TASKS sessions, downloads the host folder into OUT, with
// MODE "journal" recording the queue in JOURNAL_FILE as the window does (the same recorder on
// the same engine), with "plain" not. Exits 0 once every file arrived, 1 otherwise.
//
// bench_journal PORT HOST_FOLDER OUT TASKS MODE JOURNAL_FILE
#include "platform/localpath.h"
#include "tasks/queuejournal.h"
#include "tasks/queuerecorder.h"
#include "tasks/taskengine.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <memory>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 7) {
        std::fputs("usage: bench_journal PORT HOST_FOLDER OUT TASKS journal|plain JOURNAL_FILE\n",
                   stderr);
        return 2;
    }
    TaskEngine engine;
    QueueJournal journal(args.at(6));
    std::unique_ptr<QueueRecorder> recorder;
    if (args.at(5) == QLatin1String("journal")) {
        journal.setSite(QStringLiteral("quick ftp://127.0.0.1:") + args.at(1));
        recorder = std::make_unique<QueueRecorder>(engine, journal);
    }
    int failed = 0;
    QObject::connect(
            &engine,
            &TaskEngine::transferEnded,
            [&](bool, const QString &, const QString &, bool ok) { failed += ok ? 0 : 1; });
    QObject::connect(&engine, &TaskEngine::operationFinished, [&](int, const OperationResult &) {
        QCoreApplication::exit(failed == 0 ? 0 : 1);
    });
    bool started = false;
    QObject::connect(&engine, &TaskEngine::mainLoggedIn, [&] {
        if (started)
            return;
        started = true;
        engine.downloadTree(HostPath{QStringLiteral("\\") + args.at(2) + QStringLiteral("\\")},
                            LocalPath{NativeToLocal(args.at(3))});
        engine.Pass();
    });
    ConnectRequest request;
    request.session = {QStringLiteral("127.0.0.1"),
                       args.at(1),
                       QStringLiteral("anonymous"),
                       QStringLiteral("bench@example.com")};
    request.passive = true;
    request.tasks = args.at(4).toInt();
    engine.startTimers();
    engine.connectMain(request);
    QTimer::singleShot(600000, [] { QCoreApplication::exit(3); });
    return app.exec();
}
