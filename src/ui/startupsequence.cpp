#include "ui/startupsequence.h"

#include "platform/localpath.h"
#include "settings/layoutrecord.h"
#include "settings/options.h"
#include "settings/registry.h"
#include "settings/registrykeys.h"
#include "tasks/taskengine.h"
#include "ui/localpane.h"
#include "ui/tform1.h"
#include "ui/unfinishedwork.h"
#include "widgets/filelistview.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>

StartupSequence::StartupSequence(
        TForm1 &window, Registry &registry, Options &options, TaskEngine &engine, QObject *parent)
    : QObject(parent)
    , m_window(window)
    , m_registry(registry)
    , m_options(options)
    , m_engine(engine)
{
    m_timer.setObjectName(QStringLiteral("Timer"));
    m_timer.setInterval(1);
    // Later ticks would serve the reconnect countdown, which the engine keeps on its own timer.
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &StartupSequence::TimerTick);
    if (!registry.filePath().isEmpty() && window.engine()) {
        m_unfinished = new UnfinishedWork(window,
                                          *window.engine(),
                                          QFileInfo(registry.filePath()).absolutePath()
                                                  + QStringLiteral("/queue-journal"),
                                          this);
    }
}

StartupSequence::~StartupSequence() = default;

bool StartupSequence::createTemporaryFolders(const QString &systemTemp)
{
    m_terminationMessage.clear();
    // The whole file system is the one drive the program knows.
    if (!QFileInfo(QDir::rootPath()).isDir()) {
        m_terminationMessage = tr("Orvane FTP will terminate because it cannot run without a "
                                  "drive %1")
                                       .arg(QDir::rootPath());
        return false;
    }
    TempFolders &folders = m_engine.tempFolders();
    if (!folders.create(systemTemp)) {
        const QString temp = systemTemp.isEmpty() ? QDir::tempPath() : systemTemp;
        const QString base = folders.base().isEmpty()
                                     ? QDir(temp).filePath(QStringLiteral("^ovFTP"))
                                     : LocalToNative(folders.base());
        m_terminationMessage = tr("Orvane FTP will terminate because it cannot create temporary "
                                  "folder : %1")
                                       .arg(base);
        if (!folders.errorString().isEmpty())
            m_terminationMessage += QStringLiteral("\n\n") + folders.errorString();
        return false;
    }
    m_folderNotice = folders.notice();
    m_foldersCreated = true;
    return true;
}

void StartupSequence::start()
{
    m_timer.start();
}

void StartupSequence::TimerTick()
{
    if (m_completed || m_shutDown)
        return;
    // The layout record, field by field; the window state waits until the mode is set.
    LayoutRecord layout = LayoutRecord::load(m_registry);
    // A first start shows the local disk and the host side by side.
    if (!layoutStored())
        layout.viewMode = LayoutRecord::DoubleView;
    m_window.loadLayout(layout);
    m_engine.Pass();
    if (layout.windowState == LayoutRecord::Minimised)
        m_window.setWindowState(Qt::WindowMinimized);
    else if (layout.windowState == LayoutRecord::Maximised)
        m_window.setWindowState(Qt::WindowMaximized);
    // A missing or unreadable toolbar state leaves the toolbars where the window put them.
    if (const std::optional<QByteArray> state = LayoutRecord::loadToolbars(m_registry))
        m_window.restoreState(*state);
    m_window.show();
    if (layout.windowState == LayoutRecord::Normal)
        m_window.fitOnScreen(layout.centred());
    m_window.activateWindow();
    // Once the shown window's layout has settled, it notes what the loaded values gave.
    QTimer::singleShot(0, &m_window, [window = &m_window] { window->rememberShownLayout(); });
    m_window.localPane()->lWin()->setFocus(Qt::OtherFocusReason);
    m_window.DockTopInsertRemoveBar();
    m_window.UpdateInterface();
    createDialogs();
    if (m_splash)
        m_splash->hide();
    m_engine.startTimers();
    m_completed = true;
    Q_EMIT startupFinished();
    // Opened from the event loop, so that a modal dialog does not hold this tick open.
    QMetaObject::invokeMethod(this, &StartupSequence::openStartUpDialog, Qt::QueuedConnection);
}

bool StartupSequence::layoutStored()
{
    return m_registry.openKey(RegistryKeys::setup(), false)
           && !m_registry.readString(RegistryKeys::screenValue()).value_or(QString()).isEmpty();
}

void StartupSequence::createDialogs()
{
    // The input dialog lives with the window from its creation. The ASCII-extension and Setup
    // dialogs join here as they come; the options record they edit is read now, and with it
    // start-up counts as completed for the shut-down.
    m_options = Options::load(m_registry);
}

void StartupSequence::openStartUpDialog()
{
    if (m_shutDown)
        return;
    // Resuming what was left connects already.
    if (m_unfinished && m_unfinished->offer())
        return;
    switch (m_options.StartUpDialog) {
    case Options::SiteManager:
        m_window.Menu_SiteManager->trigger();
        break;
    case Options::QuickConnect:
        m_window.Menu_QuickConnect->trigger();
        break;
    default:
        break;
    }
}

void StartupSequence::shutDown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    m_timer.stop();
    if (!m_completed)
        return;
    m_engine.stopTimers();

    QString error;
    if (saveSiteStore && !saveSiteStore(&error))
        m_shutDownErrors << tr("The sites could not be saved: %1").arg(error);
    error.clear();
    if (!m_options.save(m_registry, &error))
        m_shutDownErrors << tr("The options could not be saved: %1").arg(error);
    error.clear();
    if (!m_window.saveLayout().save(m_registry, &error))
        m_shutDownErrors << tr("The window layout could not be saved: %1").arg(error);
    error.clear();
    if (!LayoutRecord::saveToolbars(m_registry, m_window.saveState(), &error))
        m_shutDownErrors << tr("The toolbar positions could not be saved: %1").arg(error);

    TempFolders &folders = m_engine.tempFolders();
    if (m_foldersCreated && !folders.removeSessionFolder())
        m_shutDownErrors
                << tr("The temporary folder could not be removed: %1").arg(folders.errorString());
}
