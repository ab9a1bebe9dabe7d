// The engine tests' kit: an observer of what a TaskEngine reports, and fixtures that give each
// test an engine and a local folder, its suite one vsftpd started before the first test.
#pragma once

#include "platform/localpath.h"
#include "support/eventwait.h"
#include "support/files.h"
#include "support/qtprinters.h"
#include "support/vsftpdserver.h"
#include "tasks/taskengine.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace enginetest {

using ovtest::FileTree;
using ovtest::VsftpdServer;
using ovtest::waitFor;

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
        QObject::connect(&engine,
                         &TaskEngine::transferEnded,
                         [this](bool, const QString &folder, const QString &file, bool ok) {
                             ++ended;
                             if (!ok)
                                 failures << folder + file;
                         });
        QObject::connect(&engine,
                         &TaskEngine::operationFinished,
                         [this](int id, const OperationResult &result) { results[id] = result; });
        QObject::connect(&engine, &TaskEngine::queueEntriesDropped, [this](const QStringList &e) {
            dropped += int(e.size());
        });
        QObject::connect(
                &engine, &TaskEngine::sessionStateChanged, [this](int index, TcFTPStates s) {
                    TaskList &list = this->engine.taskList();
                    maxTasksSeen = qMax(maxTasksSeen, list.count());
                    for (int j = index + 1; s == csNotConnected && index > 0 && j < list.count();
                         ++j) {
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

// One vsftpd for the suite (SetUpTestSuite of a derived fixture may start it with options),
// an engine, its observer and an empty local folder for each test.
class EngineTest : public ::testing::Test
{
protected:
    static void startServer(const QMap<QString, QString> &options)
    {
        s_server = std::make_unique<VsftpdServer>();
        for (auto it = options.cbegin(); it != options.cend(); ++it)
            s_server->setOption(it.key(), it.value());
        const ::testing::AssertionResult started = s_server->start();
        s_failure = started ? std::string() : std::string(started.message());
    }
    static void SetUpTestSuite() { startServer({}); }
    static void TearDownTestSuite() { s_server.reset(); }
    void SetUp() override
    {
        ASSERT_TRUE(s_failure.empty()) << s_failure;
        ASSERT_TRUE(local.isValid());
        localFolder = NativeToLocal(local.path() + QLatin1Char('/'));
    }

    static VsftpdServer &vsftpd() { return *s_server; }

    // Tests sharing the server keep their files in folders named after the test.
    static QString own()
    {
        return QLatin1String(::testing::UnitTest::GetInstance()->current_test_info()->name());
    }

    // Puts files below "/pub/<test>/" of the anonymous tree; returns that folder.
    static QString publish(const FileTree &files)
    {
        vsftpd().createTree(VsftpdServer::Tree::AnonymousRoot, "pub/" + own(), files);
        return QStringLiteral("\\pub\\%1\\").arg(own());
    }

    // Waits for the login walk, and for the listing of the initial folder when there is one.
    ::testing::AssertionResult waitForLogin(const QString &folder)
    {
        if (waitFor(
                    [&] {
                        return seen.loginWalkDone()
                               && (folder.isEmpty() || engine.listingBuffer().contains(folder));
                    },
                    15000))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "no login walk\n" << log();
    }
    ::testing::AssertionResult connect(const ConnectRequest &request)
    {
        engine.startTimers();
        engine.connectMain(request);
        return waitForLogin(request.initialFolder);
    }
    ::testing::AssertionResult connect(const QString &folder, int tasks)
    {
        return connect(anonymousRequest(vsftpd().port(), folder, tasks));
    }

    void queueDownloads(const QString &hostFolder, const FileTree &files)
    {
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            engine.transferQueue().append(TransferQueue::DownloadEntry(
                    hostFolder + it.key(), localFolder + QString(it.key()).replace('/', '\\')));
    }

    bool waitEnded(int count, int timeoutMs = 15000)
    {
        return waitFor([&] { return seen.ended >= count; }, timeoutMs);
    }

    // Runs an operation to its end: its result, or an empty one with id 0 when none came.
    OperationResult run(const OperationStart &start, int timeoutMs = 60000)
    {
        engine.Pass();
        if (start.id == 0 || !waitFor([&] { return seen.results.contains(start.id); }, timeoutMs))
            return {};
        return seen.results.value(start.id);
    }

    std::string log() const { return seen.log().toStdString(); }

    TaskEngine engine;
    Observer seen{engine};
    QTemporaryDir local;
    QString localFolder; // local's internal form, ending in "\"

    inline static std::unique_ptr<VsftpdServer> s_server;
    inline static std::string s_failure;
};

// vsftpd sending at about 150 kB/s: slow enough to act while transfers run.
class SlowEngineTest : public EngineTest
{
protected:
    static void SetUpTestSuite() { startServer({{"anon_max_rate", "150000"}}); }
};

} // namespace enginetest
