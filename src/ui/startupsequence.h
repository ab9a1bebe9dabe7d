#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <functional>

class Options;
class Registry;
class TForm1;
class TaskEngine;
class UnfinishedWork;

// The order in which the program starts and stops around its main window.
//
// Start-up: the owner creates the window, then this object, and calls
// createTemporaryFolders() (false: show terminationMessage() and end the program; nothing is
// ever written then) and start(). The first tick of the 1 ms start-up timer, once the event loop
// runs, loads the layout record and applies it, switches to the saved interface mode, runs one
// scheduler pass, applies the window state, loads the toolbar positions (a failure is ignored),
// shows the window with the focus on the local pane, creates the dialogs (the options record is
// read here), hides the splash window, starts the engine's timers and opens the start-up dialog
// the options name (the Site manager or Quick connect, through their menu items). From then on
// startupCompleted() holds.
//
// Shut-down: the owner calls shutDown() once the window has closed and before it is destroyed.
// It writes, in this order, the site store (through saveSiteStore, when set), the options
// record, the layout record and the toolbar positions, then deletes the session's temporary
// folder with everything in it; the base folder stays. Before start-up completed it writes
// nothing and leaves the session folder in place.
//
// Everything runs on the user-interface thread. The window, the registry, the options and the
// engine must outlive this object.
class StartupSequence : public QObject
{
    Q_OBJECT

public:
    StartupSequence(TForm1 &window,
                    Registry &registry,
                    Options &options,
                    TaskEngine &engine,
                    QObject *parent = nullptr);
    ~StartupSequence() override;

    // The window's creation checks: the root drive exists and the temporary folders (the base
    // "^ovFTP" below systemTemp, native, empty = the system temporary folder, then the session
    // folder and its three working folders) can be made. False when the program must end.
    bool createTemporaryFolders(const QString &systemTemp = QString());
    // The message shown before the program ends, after createTemporaryFolders() failed.
    QString terminationMessage() const { return m_terminationMessage; }
    // A remark for the log about the temporary folders (a refused base folder), or empty.
    QString temporaryFolderNotice() const { return m_folderNotice; }

    // The window shown while the program starts; hidden once start-up completed. May be null.
    void setSplash(QWidget *splash) { m_splash = splash; }
    // Starts the start-up timer; the rest happens at its first tick.
    void start();
    bool startupCompleted() const { return m_completed; }
    QTimer *Timer() { return &m_timer; }

    // Writes the site tree when the Site manager was opened; set by whoever owns it. Returns
    // false with a reason on failure.
    std::function<bool(QString *error)> saveSiteStore;
    // The transfers an earlier run left unfinished, offered before the start-up dialog; kept
    // in a journal next to the registry file (null when the registry has no file).
    UnfinishedWork *unfinishedWork() const { return m_unfinished; }

    // See the class comment. Runs once; later calls do nothing.
    void shutDown();
    // What could not be written or removed at shut-down, one sentence each.
    QStringList shutDownErrors() const { return m_shutDownErrors; }

Q_SIGNALS:
    // Start-up completed: the window is shown and the engine's timers run.
    void startupFinished();

private:
    void TimerTick();
    // Whether an earlier run saved the window's layout.
    bool layoutStored();
    void createDialogs();
    void openStartUpDialog();

    TForm1 &m_window;
    Registry &m_registry;
    Options &m_options;
    TaskEngine &m_engine;
    QTimer m_timer;
    QPointer<QWidget> m_splash;
    QString m_terminationMessage;
    QString m_folderNotice;
    bool m_foldersCreated = false;
    bool m_completed = false;
    bool m_shutDown = false;
    QStringList m_shutDownErrors;
    UnfinishedWork *m_unfinished = nullptr;
};
