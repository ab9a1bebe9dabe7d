// TForm1 and the task engine: the window renders the engine's models and signals (task panel,
// status bar, log, connection state) and forwards the user's commands to it.
#include "ui/tform1.h"

#include "ftp/tcftp.h"
#include "settings/options.h"
#include "tasks/taskengine.h"
#include "ui/certificatedialog.h"
#include "ui/existsdialog.h"
#include "ui/hostpane.h"
#include "ui/localpane.h"
#include "ui/logpanel.h"
#include "ui/taskpanel.h"
#include "ui/tdialog.h"
#include "ui/tlogin.h"
#include "ui/tquick.h"
#include "ui/tzetup.h"
#include "ui/wavplayer.h"
#include "util/hosttext.h"
#include "util/pathforms.h"
#include "widgets/filelistview.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeView>

namespace {

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
    // Questions about files that exist, one at a time, beside the window.
    new ExistsDialog(*m_engine, this);
    Zetup = new TZetup(m_engine->options(), Dialog, this);
    Zetup->setSampleFont(m_localPane->lWin()->detailsView()->font());
    // The views follow the options as Setup edits them.
    m_engine->options().observe(this, [this] {
        const bool on = options().FullrowSelect;
        setFullRowSelect(m_localPane->lWin()->detailsView(), on);
        setFullRowSelect(m_hostPane->rWin()->detailsView(), on);
        setFullRowSelect(m_taskPanel->TaskView(), on);
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

    // The status bar: the engine's texts as they are.
    CaptionListModel *status = m_engine->statusTexts();
    auto showStatus = [this, status] {
        for (int i = 0; i < 3; ++i)
            statPanels[i]->setText(status->caption(i));
    };
    connect(status, &QAbstractItemModel::dataChanged, this, showStatus);
    connect(status, &QAbstractItemModel::rowsInserted, this, showStatus);
    connect(status, &QAbstractItemModel::modelReset, this, showStatus);
    showStatus();
    m_logPanel->attach(m_engine->log());

    // The user's commands.
    connect(this, &TForm1::maxTasksChanged, m_engine, &TaskEngine::Change_MaxTasks);
    connect(this, &TForm1::quickConnectAccepted, this, &TForm1::QuickConnect);
    connect(this, &TForm1::loginInfoRequested, this, &TForm1::Menu_ShowLoginInfoClick);
    connect(tbBtn_Stop, &QAction::triggered, this, &TForm1::tbBtn_StopClick);
    connect(Menu_Setup, &QAction::triggered, this, &TForm1::Menu_SetupClick);
    connect(Menu_Disconnect, &QAction::triggered, this, &TForm1::tbBtn_QuickClick);
    connect(Menu_Buffer, &QAction::triggered, this, &TForm1::Menu_BufferClick);

    // What the engine reports.
    // Every state change and finished action of every session says so; the window shows the
    // outcome once per event-loop turn.
    connect(m_engine, &TaskEngine::interfaceChanged, this, [this] {
        if (m_interfaceUpdatePending)
            return;
        m_interfaceUpdatePending = true;
        QMetaObject::invokeMethod(
                this,
                [this] {
                    m_interfaceUpdatePending = false;
                    UpdateInterface();
                },
                Qt::QueuedConnection);
    });
    connect(m_engine, &TaskEngine::sessionStateChanged, this, [this](int task, TcFTPStates state) {
        if (task == 0 && state == csConnecting)
            mainConnecting();
        if (task == 0)
            showLock();
    });
    connect(m_engine, &TaskEngine::certificateUntrusted, this, &TForm1::askAboutCertificate);
    connect(m_engine, &TaskEngine::mainLoggingIn, this, &TForm1::mainLoggingIn);
    connect(m_engine, qOverload<>(&TaskEngine::mainOffline), this, &TForm1::mainOffline);
    connect(m_engine, &TaskEngine::setupLockChanged, Zetup, &TZetup::setSessionLocked);
    connect(m_engine, &TaskEngine::stopCaptionChanged, this, [this](const QString &caption) {
        tbBtn_Stop->setText(caption);
    });
    connect(m_engine, &TaskEngine::reconnectCountdownChanged, this, &TForm1::UpdateInterface);
    connect(m_engine, &TaskEngine::loginInfoCleared, this, [this] {
        LogIn->clearLines();
        UpdateInterface();
    });
    connect(m_engine, &TaskEngine::loginInfoAdded, this, [this](const QString &line) {
        LogIn->addLine(line);
        UpdateInterface();
    });
    connect(m_engine, &TaskEngine::loginInfoWanted, this, &TForm1::Menu_ShowLoginInfoClick);
    connect(m_engine, &TaskEngine::localEntryChanged, m_localPane, &LocalPane::showEntry);
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

std::function<void(const QString &)> TForm1::logLine()
{
    return [this](const QString &line) {
        m_engine->WriteLog(line, LogModel::NoSession);
    };
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

void TForm1::setCaptionTexts(const QString &occ, const QString &applicationTitle)
{
    // The caption bar shows the program's name and what it is connected to; the application
    // title (the text of the minimised window and the task bar) names the host first.
    setWindowTitle(occ.isEmpty() ? QStringLiteral("Orvane FTP")
                                 : QStringLiteral("Orvane FTP ") + occ);
    setWindowIconText(applicationTitle);
}

void TForm1::mainConnecting()
{
    tbBtn_Quick->setText(tr("Log Off"));
    tbBtn_Quick->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    Zetup->ASCExtBtn->setEnabled(false);
}

void TForm1::mainLoggingIn(const QString &host)
{
    setCaptionTexts(QStringLiteral("- Connected to : ") + host,
                    host + QStringLiteral(" - Orvane FTP"));
}

void TForm1::mainOffline()
{
    m_localPane->lbookmark()->setProperty("tag", -1);
    setCaptionTexts(QString(), QStringLiteral("Orvane FTP"));
    tbBtn_Quick->setText(tr("Connect"));
    tbBtn_Quick->setIcon(style()->standardIcon(QStyle::SP_DriveNetIcon));
    UpdateInterface();
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
    request.security.encryption = TcFTPEncryption(Quick->encryption->currentIndex());
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

// The engine asks from inside the session's handshake: the dialog opens and returns, and the
// session waits for the answer.
void TForm1::askAboutCertificate(const CertificateInfo &certificate,
                                 const QString &problem,
                                 const QString &pinnedFingerprint)
{
    auto *dialog = new CertificateDialog(
            certificate, problem, pinnedFingerprint, m_engine->connectedFromSite(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::finished, this, [this, dialog] {
        switch (dialog->choice()) {
        case CertificateDialog::TrustAlways:
            Q_EMIT certificatePinned(dialog->certificate().fingerprint);
            m_engine->MainFTP()->TrustCertificate();
            break;
        case CertificateDialog::TrustForSession:
            m_engine->MainFTP()->TrustCertificate();
            break;
        case CertificateDialog::Cancelled:
            m_engine->logOff();
            break;
        }
        UpdateInterface();
    });
    dialog->open();
}

void TForm1::showLock()
{
    const TcFTP *main = m_engine->MainFTP();
    statLock->setVisible(main->Secured());
    statLock->setToolTip(main->DataProtected()
                                 ? tr("The connection and its transfers are encrypted (TLS).")
                                 : tr("The connection is encrypted (TLS); transfers are not."));
}

void TForm1::tbBtn_StopClick()
{
    m_engine->Stop();
    UpdateInterface();
}

void TForm1::Menu_SetupClick()
{
    Zetup->setSampleFont(m_localPane->lWin()->detailsView()->font());
    Zetup->exec();
}

void TForm1::Menu_ShowLoginInfoClick()
{
    LogIn->show();
    LogIn->raise();
}
