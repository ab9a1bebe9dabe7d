// TForm1 and the task engine: the window renders the engine's models and signals (task panel,
// status bar, log, connection state) and forwards the user's commands to it.
#include "ui/tform1.h"

#include "ftp/tcftp.h"
#include "platform/localpath.h"
#include "settings/options.h"
#include "tasks/taskengine.h"
#include "ui/tdialog.h"
#include "ui/tlogin.h"
#include "ui/tquick.h"
#include "ui/tzetup.h"
#include "ui/wavplayer.h"
#include "util/hosttext.h"
#include "util/pathforms.h"
#include "widgets/filelistview.h"
#include "widgets/headerstatus.h"
#include "widgets/logview.h"

#include <QAction>
#include <QFileInfo>
#include <QIdentityProxyModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QTreeWidget>

namespace {

// The engine's caption rows under the column caption of their list.
class CaptionHeader : public QIdentityProxyModel
{
public:
    CaptionHeader(QAbstractItemModel *source, const QString &caption, QObject *parent)
        : QIdentityProxyModel(parent)
        , m_caption(caption)
    {
        setSourceModel(source);
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return m_caption;
        return QIdentityProxyModel::headerData(section, orientation, role);
    }

private:
    QString m_caption;
};

// Without full-row selection only the caption of a selected row is highlighted.
class CaptionOnlySelection : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.column() > 0)
            option->state &= ~QStyle::State_Selected;
    }
};

void setFullRowSelect(QTreeView *view, bool on)
{
    QAbstractItemDelegate *old = view->itemDelegate();
    const bool captionOnly = dynamic_cast<CaptionOnlySelection *>(old) != nullptr;
    if (on == !captionOnly)
        return;
    view->setItemDelegate(on ? new QStyledItemDelegate(view) : new CaptionOnlySelection(view));
    old->deleteLater();
    view->setProperty("fullRowSelect", on);
    view->viewport()->update();
}

} // namespace

void TForm1::attachEngine()
{
    m_wavPlayer = new WavPlayer(this);
    m_engine->setSoundPlayer(m_wavPlayer);
    m_engine->setConfirmDisconnect([this] { return ConfirmDisconnect(); });

    LogIn = new TLogIn(this);
    Zetup = new TZetup(m_engine->options(), Dialog, this);
    Zetup->setSampleFont(lWin->detailsView()->font());
    connect(Zetup, &TZetup::fullRowSelectChanged, this, [this](bool on) {
        setFullRowSelect(lWin->detailsView(), on);
        setFullRowSelect(rWin->detailsView(), on);
        setFullRowSelect(TaskView, on);
    });
    connect(Zetup, &TZetup::fontChosen, this, [this](const QFont &font) {
        // The views take the font, and the layout record keeps it (in its colour).
        LayoutFont chosen = viewFont();
        chosen.face = font.family();
        chosen.size = qMax(1, font.pointSize());
        chosen.height = -qRound(chosen.size * 96.0 / 72.0);
        chosen.pitch = font.fixedPitch() ? LayoutFont::FixedPitch : LayoutFont::DefaultPitch;
        ApplyFont(chosen);
    });
    Zetup->FullrowSelectClick();
    Zetup->setSessionLocked(m_engine->setupLocked());

    // Task panel and status bar: the engine's models as they are.
    setTaskModels(new CaptionHeader(m_engine->taskRows(), tr("Tasks in Progress"), this),
                  new CaptionHeader(m_engine->queueRows(), tr("Actions Waiting in Queue"), this));
    CaptionListModel *status = m_engine->statusTexts();
    auto showStatus = [this, status] {
        for (int i = 0; i < 3; ++i)
            statPanels[i]->setText(status->caption(i));
    };
    connect(status, &QAbstractItemModel::dataChanged, this, showStatus);
    connect(status, &QAbstractItemModel::rowsInserted, this, showStatus);
    connect(status, &QAbstractItemModel::modelReset, this, showStatus);
    showStatus();
    createTaskPopups();

    // The log window renders every line as it is written.
    connect(m_engine->log(), &LogModel::lineWritten, logwin, &LogView::appendLogLine);
    connect(m_engine->log(), &QAbstractItemModel::modelReset, this, &TForm1::renderLog);
    renderLog();

    // The user's commands.
    connect(this, &TForm1::maxTasksChanged, m_engine, &TaskEngine::Change_MaxTasks);
    connect(this, &TForm1::quickConnectAccepted, this, &TForm1::QuickConnect);
    connect(this, &TForm1::loginInfoRequested, this, &TForm1::Menu_ShowLoginInfoClick);
    connect(this,
            &TForm1::hostEntryRecorded,
            this,
            [this](const QString &folder, const QString &entry, const QString &line) {
                if (m_engine->listingBuffer().contains(folder))
                    m_engine->listingBuffer().addEntry(folder, entry, line);
            });
    connect(tbBtn_Stop, &QAction::triggered, this, &TForm1::tbBtn_StopClick);
    connect(Btn_QueueStop, &QPushButton::clicked, this, &TForm1::Btn_QueueStopClick);
    connect(Btn_TaskKill, &QPushButton::clicked, this, &TForm1::Btn_TaskKillClick);
    // A click leaves the focus on the task list: the kill acts on the list that has it.
    Btn_TaskKill->setFocusPolicy(Qt::TabFocus);
    Btn_QueueStop->setFocusPolicy(Qt::TabFocus);
    connect(Menu_Setup, &QAction::triggered, this, &TForm1::Menu_SetupClick);
    connect(Menu_Disconnect, &QAction::triggered, this, &TForm1::tbBtn_QuickClick);
    connect(Menu_Buffer, &QAction::triggered, this, &TForm1::Menu_BufferClick);

    // What the engine reports.
    connect(m_engine, &TaskEngine::interfaceChanged, this, &TForm1::showMainState);
    connect(m_engine, &TaskEngine::sessionStateChanged, this, [this](int task, TcFTPStates state) {
        if (task != 0 || state != csConnecting)
            return;
        tbBtn_Quick->setText(tr("Log Off"));
        tbBtn_Quick->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
        Zetup->ASCExtBtn->setEnabled(false);
    });
    connect(m_engine, &TaskEngine::mainLoggingIn, this, &TForm1::mainLoggingIn);
    connect(m_engine, &TaskEngine::mainLoggedIn, this, [this](TcFTPHostTypes type) {
        mainLoggedIn(int(type));
    });
    connect(m_engine, qOverload<>(&TaskEngine::mainOffline), this, &TForm1::mainOffline);
    connect(m_engine, &TaskEngine::setupLockChanged, Zetup, &TZetup::setSessionLocked);
    connect(m_engine, &TaskEngine::maxTasksChanged, this, [this](int maxTasks) {
        if (TaskUpDown->value() == maxTasks)
            return;
        const QSignalBlocker block(TaskUpDown);
        TaskUpDown->setValue(maxTasks);
        Change_MaxTasks(TaskUpDown);
    });
    connect(m_engine, &TaskEngine::stopCaptionChanged, this, [this](const QString &caption) {
        tbBtn_Stop->setText(caption);
    });
    connect(m_engine, &TaskEngine::queueStopChanged, this, [this](bool stopped) {
        Btn_QueueStop->setChecked(stopped);
        Btn_QueueStop->setText(stopped ? tr("Queue &Stopped") : tr("&Stop Queue"));
    });
    connect(m_engine, &TaskEngine::reconnectCountdownChanged, this, &TForm1::setReconnectCountdown);
    connect(m_engine, &TaskEngine::loginInfoCleared, this, [this] {
        LogIn->clearLines();
        setLoginInfoLineCount(0);
    });
    connect(m_engine, &TaskEngine::loginInfoAdded, this, [this](const QString &line) {
        LogIn->addLine(line);
        setLoginInfoLineCount(LogIn->lineCount());
    });
    connect(m_engine, &TaskEngine::loginInfoWanted, this, &TForm1::Menu_ShowLoginInfoClick);
    connect(m_engine, &TaskEngine::hostFolderListed, this, &TForm1::hostFolderListed);
    connect(m_engine, &TaskEngine::currentHostFolderChanged, this, &TForm1::showHostFolder);
    connect(m_engine, &TaskEngine::hostEntryChanged, this, [this](const QString &folder) {
        hostEntriesChanged(folder);
    });
    connect(m_engine, &TaskEngine::hostEntryRemoved, this, [this](const QString &folder) {
        hostEntriesChanged(folder);
    });
    connect(m_engine, &TaskEngine::hostFolderRemoved, this, &TForm1::hostFolderRemoved);
    connect(m_engine, &TaskEngine::localEntryChanged, this, &TForm1::localEntryChanged);
    connect(m_engine, &TaskEngine::unknownQueueEntry, this, [this] {
        showMessage(tr("Unknown command from tranferqueue"));
    });
    connect(m_engine, &TaskEngine::unknownSessionCommand, this, [this](const QString &line) {
        showMessage(tr("cFTPc: Unknown Input Command.") + QStringLiteral("\n\n") + line);
    });
    connect(m_engine, &TaskEngine::queueEntriesDropped, this, [this](const QStringList &entries) {
        showMessage(tr("The connection was closed before %n queued action(s) could be carried "
                       "out. The log window names them.",
                       nullptr,
                       int(entries.size())));
    });
}

Options &TForm1::options()
{
    return m_engine->options();
}

void TForm1::readOptions(Registry &registry)
{
    Zetup->FormCreate(registry);
}

bool TForm1::writeOptions(Registry &registry)
{
    return Zetup->FormDestroy(registry);
}

void TForm1::renderLog()
{
    logwin->clear();
    for (const QString &line : m_engine->log()->lines())
        logwin->appendLogLine(line);
}

void TForm1::showMainState()
{
    const TcFTP *main = m_engine->MainFTP();
    m_rootFolder = m_engine->RootFolder();
    setMainSessionState(main->State() != csNotConnected, main->Idles());
}

void TForm1::setCaptionTexts(const QString &occ, const QString &applicationTitle)
{
    // The caption bar shows the program's name and what it is connected to; the application
    // title (the text of the minimised window and the task bar) names the host first.
    setWindowTitle(occ.isEmpty() ? QStringLiteral("Orvane FTP")
                                 : QStringLiteral("Orvane FTP ") + occ);
    setWindowIconText(applicationTitle);
}

void TForm1::mainLoggingIn(const QString &host)
{
    setRemotePaneShown(true);
    rbookmark->setEnabled(false);
    setCaptionTexts(QStringLiteral("- Connected to : ") + host,
                    host + QStringLiteral(" - Orvane FTP"));
    for (int i = 0; i < 3; ++i)
        RStat->setPanelText(i, QString());
    rWin->clear();
    RPathTree->clear();
    m_currentHostFolder.clear();
    auto *root = new QTreeWidgetItem(RPathTree);
    root->setText(0, QStringLiteral("(Host Computer)"));
    root->setIcon(0, m_icons.computer());
}

void TForm1::mainLoggedIn(int hostType)
{
    rbookmark->setEnabled(true);
    QTreeWidgetItem *root = RPathTree->topLevelItem(0);
    if (!root)
        return;
    root->setText(0, TaskEngine::HostTypeCaption(TcFTPHostTypes(hostType)));
    RPathTree->setCurrentItem(root);
}

void TForm1::mainOffline()
{
    RPathTree->clear();
    rWin->clear();
    for (int i = 0; i < 3; ++i)
        RStat->setPanelText(i, QString());
    m_currentHostFolder.clear();
    m_rootFolder.clear();
    lbookmark->setProperty("tag", -1);
    rbookmark->setProperty("tag", -1);
    setCaptionTexts(QString(), QStringLiteral("Orvane FTP"));
    tbBtn_Quick->setText(tr("Connect"));
    tbBtn_Quick->setIcon(style()->standardIcon(QStyle::SP_DriveNetIcon));
    setRemotePaneShown(false);
    showMainState();
}

void TForm1::tbBtn_QuickClick()
{
    if (m_engine->MainFTP()->State() != csNotConnected) {
        m_engine->logOff();
        UpdateInterface();
        return;
    }
    Menu_QuickConnectClick();
}

void TForm1::QuickConnect()
{
    ConnectRequest request;
    request.session.Host = Quick->host();
    request.session.Port = QString::number(Quick->port());
    if (Quick->isAnonymous()) {
        request.session.Username = QStringLiteral("anonymous");
        request.session.Password = options().anonymousPassword();
    } else {
        request.session.Username = Quick->username();
        request.session.Password = Quick->password();
    }
    request.initialFolder = Quick->initialPath();
    request.passive = Quick->isPassive();
    request.tasks = qBound(1, Quick->taskCount(), TaskEngine::MaxTasksLimit);
    request.setsFirewall = false;
    m_engine->connectMain(request);
    UpdateInterface();
}

bool TForm1::ConfirmDisconnect()
{
    return QMessageBox::question(this,
                                 QStringLiteral("Orvane FTP"),
                                 tr("One or more tasks are active. Do you still want to "
                                    "disconnect?"),
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No)
           == QMessageBox::Yes;
}

void TForm1::showMessage(const QString &text)
{
    // The engine reports from inside session events: the box must not run an event loop of
    // its own there, so it opens and returns.
    auto *box = new QMessageBox(QMessageBox::Information,
                                QStringLiteral("Orvane FTP"),
                                VisibleHostLines(text),
                                QMessageBox::Ok,
                                this);
    box->setObjectName(QStringLiteral("EngineMessage"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setTextFormat(Qt::PlainText);
    box->open();
}

void TForm1::tbBtn_StopClick()
{
    m_engine->Stop();
    UpdateInterface();
}

void TForm1::Btn_QueueStopClick()
{
    m_engine->toggleQueueStop();
    UpdateInterface();
}

void TForm1::Btn_TaskKillClick()
{
    const bool tasks = Btn_TaskKill->text().contains(QLatin1String("Task"));
    QTreeView *view = tasks ? TaskView : QueueView;
    QList<int> rows;
    for (const QModelIndex &index : view->selectionModel()->selectedRows())
        rows.append(index.row());
    if (tasks)
        m_engine->KillTasks(rows);
    else
        m_engine->RemoveQueueEntries(rows);
    UpdateInterface();
}

void TForm1::createTaskPopups()
{
    TaskPopUp = new QMenu(this);
    TaskPopUp->setObjectName(QStringLiteral("TaskPopUp"));
    QAction *kill = TaskPopUp->addAction(tr("&Kill Selected Tasks"));
    connect(kill, &QAction::triggered, this, [this] {
        Btn_TaskKill->setText(tr("&Kill Selected Tasks"));
        Btn_TaskKillClick();
    });
    QueuePopUp = new QMenu(this);
    QueuePopUp->setObjectName(QStringLiteral("QueuePopUp"));
    QAction *remove = QueuePopUp->addAction(tr("&Remove Selected Entries"));
    connect(remove, &QAction::triggered, this, [this] {
        Btn_TaskKill->setText(tr("&Kill Selected Actions"));
        Btn_TaskKillClick();
    });
    for (auto [view, menu] : {std::pair{TaskView, TaskPopUp}, std::pair{QueueView, QueuePopUp}}) {
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this, [view, menu](const QPoint &pos) {
            menu->actions().first()->setEnabled(view->selectionModel()->hasSelection());
            menu->popup(view->viewport()->mapToGlobal(pos));
        });
    }
}

void TForm1::Menu_SetupClick()
{
    Zetup->setSampleFont(lWin->detailsView()->font());
    Zetup->exec();
}

void TForm1::Menu_ShowLoginInfoClick()
{
    LogIn->show();
    LogIn->raise();
}

void TForm1::localEntryChanged(const QString &folder, const QString &name, qint64 size)
{
    if (name.isEmpty()) {
        // A folder was made (a tree being received): it shows in its parent's list and tree.
        const QString trimmed = folder.left(folder.size() - 1);
        const int cut = trimmed.lastIndexOf(QLatin1Char('\\'));
        if (cut < 0)
            return;
        const QString parent = trimmed.left(cut + 1);
        AddFileItem(false, false, lWin, -1, -1, trimmed.mid(cut + 1), parent);
        if (LPathTree->topLevelItem(0)) {
            QTreeWidgetItem *node = FindFolderNode(LPathTree, localNodeText(folder));
            if (node && node->parent())
                node->parent()->sortChildren(0, Qt::AscendingOrder);
        }
    } else {
        // The file on the disk has the last word on its size: a transfer reports none (-1)
        // when the host never told it.
        const QFileInfo landed(LocalToNative(folder + name));
        AddFileItem(false,
                    false,
                    lWin,
                    -1,
                    landed.isFile() ? landed.size() : qMax<qint64>(0, size),
                    name,
                    folder);
    }
    if (folder.startsWith(m_localFolder))
        SortListView(lWin, lWin->tag());
}
