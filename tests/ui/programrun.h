#pragma once

// The program run as it starts and stops around its main window: the store read from its
// file, the engine, the window and the start-up sequence, destroyed in the order the program
// destroys them. Every wait is bounded.

#include "platform/localpath.h"
#include "settings/options.h"
#include "settings/registry.h"
#include "support/eventwait.h"
#include "tasks/taskengine.h"
#include "ui/startupsequence.h"
#include "ui/tform1.h"
#include "ui/tsplash.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

struct ProgramRun
{
    explicit ProgramRun(const QString &registryFile)
        : registry(std::make_unique<Registry>(registryFile))
        , engine(std::make_unique<TaskEngine>())
        , window(std::make_unique<TForm1>())
        , startup(std::make_unique<StartupSequence>(*window, *registry, options, *engine))
    {
        splash.show();
        startup->setSplash(&splash);
    }

    ~ProgramRun()
    {
        startup.reset();
        window.reset();
        engine.reset();
    }

    // Window creation and the first timer tick, as the program runs them.
    bool start()
    {
        if (!startup->createTemporaryFolders())
            return false;
        startup->start();
        return ovtest::waitFor([this] { return startup->startupCompleted(); }, 5000)
               && QTest::qWaitForWindowExposed(window.get());
    }

    // The user closes the window; the program then shuts down.
    void close()
    {
        window->close();
        startup->shutDown();
    }

    QString sessionFolder() const { return LocalToNative(engine->tempFolders().session()); }

    TSplash splash;
    std::unique_ptr<Registry> registry;
    Options options;
    std::unique_ptr<TaskEngine> engine;
    std::unique_ptr<TForm1> window;
    std::unique_ptr<StartupSequence> startup;
};

// A home folder of the program's own for one test: HOME and TMPDIR point into a temporary
// folder (without a Desktop folder) until the object goes, and the store lives there.
class ProgramHome
{
public:
    ProgramHome()
    {
        for (const char *name : {"TMPDIR", "HOME"})
            m_saved.append({name, qEnvironmentVariableIsSet(name), qgetenv(name)});
        QDir(m_dir.path()).mkdir(QStringLiteral("tmp"));
        qputenv("TMPDIR", QFile::encodeName(m_dir.filePath(QStringLiteral("tmp"))));
        qputenv("HOME", QFile::encodeName(m_dir.path()));
    }
    ~ProgramHome()
    {
        for (const auto &[name, set, value] : m_saved)
            set ? qputenv(name, value) : qunsetenv(name);
    }
    QString path() const { return m_dir.path(); }
    QString registryFile() const { return m_dir.filePath(QStringLiteral("registry.json")); }

private:
    QTemporaryDir m_dir;
    QList<std::tuple<const char *, bool, QByteArray>> m_saved;
};
