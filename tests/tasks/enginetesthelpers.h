// Helpers of the engine tests: requests, random content, and an observer of an engine's reports.
#pragma once

#include "tasks/taskengine.h"

#include <QFile>
#include <QMap>
#include <QRandomGenerator>

namespace enginetest {

inline QByteArray randomBytes(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &c : bytes)
        c = char(QRandomGenerator::global()->bounded(256));
    return bytes;
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline ConnectRequest anonymousRequest(quint16 port, const QString &initialFolder, int tasks)
{
    ConnectRequest request;
    request.session = {QStringLiteral("127.0.0.1"),
                       QString::number(port),
                       QStringLiteral("anonymous"),
                       QStringLiteral("tester@example.com")};
    request.initialFolder = initialFolder;
    request.passive = true;
    request.tasks = tasks;
    return request;
}

// Counts what an engine reports and checks, at every task disconnection, that no idle task
// sits behind the one leaving (task sessions leave from the last upwards).
struct Observer
{
    explicit Observer(TaskEngine &engine)
        : engine(engine)
    {
        QObject::connect(
                &engine,
                &TaskEngine::transferEnded,
                [this](bool download, const QString &folder, const QString &file, bool ok) {
                    ++ended;
                    if (!ok)
                        failures << folder + file;
                    (void)download;
                });
        QObject::connect(&engine,
                         &TaskEngine::operationFinished,
                         [this](int id, const OperationResult &result) { results[id] = result; });
        QObject::connect(&engine, &TaskEngine::queueEntriesDropped, [this](const QStringList &e) {
            dropped += e.size();
        });
        QObject::connect(
                &engine, &TaskEngine::sessionStateChanged, [this](int index, TcFTPStates s) {
                    TaskList &list = this->engine.taskList();
                    maxTasksSeen = qMax(maxTasksSeen, list.count());
                    if (s != csNotConnected || index <= 0)
                        return;
                    for (int j = index + 1; j < list.count(); ++j) {
                        if (list.session(j)->State() == csIdle)
                            orderViolations << QStringLiteral("task %1 left before idle task %2")
                                                       .arg(index)
                                                       .arg(j);
                    }
                });
    }

    bool loginWalkDone() const
    {
        return engine.MainFTP()->State() == csIdle && !engine.RootFolder().isEmpty()
               && engine.MainFTP()->Idles() >= 3;
    }

    QString log() const { return engine.log()->lines().join(QLatin1Char('\n')); }

    TaskEngine &engine;
    int ended = 0;
    QMap<int, OperationResult> results; // finished operations by id
    int dropped = 0;
    int maxTasksSeen = 0;
    QStringList failures;
    QStringList orderViolations;
};

// Puts files into the listing buffer as a listing of their folder would (downloads take sizes
// from there).
inline void bufferFiles(TaskEngine &engine,
                        const QString &folder,
                        const QMap<QString, QByteArray> &files)
{
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        engine.MainFTP()->listingBuffer()->addEntry(folder,
                                                    QLatin1Char('f') + it.key(),
                                                    QString::number(it.value().size())
                                                            + QStringLiteral("*0"));
}

} // namespace enginetest
