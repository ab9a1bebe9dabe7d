// The file commands: what the menu items do, which side they act on, the selection and the
// questions. The local and host halves live in their own files.
#include "ui/filecommands.h"

#include "settings/options.h"
#include "tasks/taskengine.h"
#include "ui/desktopservices.h"
#include "ui/hostpane.h"
#include "ui/localpane.h"
#include "ui/taskpanel.h"
#include "ui/tform1.h"
#include "util/hosttext.h"
#include "widgets/filelistview.h"

#include <QAction>
#include <QMessageBox>
#include <QTreeWidget>

FileCommands::FileCommands(TForm1 *form, DesktopServices *services, QObject *parent)
    : QObject(parent)
    , m_form(form)
    , m_local(form->localPane())
    , m_host(form->hostPane())
    , m_engine(form->engine())
    , m_services(services)
{
    TaskEngine *engine = m_engine;
    connect(form->Menu_View, &QAction::triggered, this, &FileCommands::Menu_ViewClick);
    connect(form->Menu_Transfer, &QAction::triggered, this, &FileCommands::Menu_TransferClick);
    connect(form->Menu_Delete, &QAction::triggered, this, &FileCommands::Menu_DeleteClick);
    connect(form->Menu_Rename, &QAction::triggered, this, &FileCommands::Menu_RenameClick);
    connect(form->Menu_NewFolder, &QAction::triggered, this, &FileCommands::Menu_NewFolderClick);
    // Send is enabled only with a local pane focused, Receive only with the host pane.
    connect(form->tbBtn_Upload, &QAction::triggered, this, &FileCommands::Menu_TransferClick);
    connect(form->tbBtn_Download, &QAction::triggered, this, &FileCommands::Menu_TransferClick);
    // A double-click on a file of either list opens the selected files.
    connect(form, &TForm1::localFileOpenRequested, this, [this] {
        LocalFileAction(m_local->lWin(), Open);
    });
    connect(form, &TForm1::hostFileOpenRequested, this, [this] {
        HostFileAction(m_host->rWin(), Open);
    });
    // Files received into the temporary folders are handed on once the session's report is
    // over: a question asked inside it would run an event loop under the session.
    connect(engine,
            &TaskEngine::openFileReceived,
            this,
            &FileCommands::openReceivedFile,
            Qt::QueuedConnection);
    connect(engine,
            &TaskEngine::viewFileReceived,
            this,
            &FileCommands::viewReceivedFile,
            Qt::QueuedConnection);
}

FileCommands::~FileCommands() = default;

const Options &FileCommands::options() const
{
    return m_form->options();
}

bool FileCommands::localFocused() const
{
    return m_form->localSideActive();
}

bool FileCommands::hostFocused() const
{
    return m_form->hostSideActive();
}

void FileCommands::Menu_ViewClick()
{
    if (m_form->focusIn(m_local->lWin()))
        LocalFileAction(m_local->lWin(), View);
    else
        HostFileAction(m_host->rWin(), View);
}

void FileCommands::Menu_TransferClick()
{
    const QString hostFolder = m_host->currentFolder();
    if (m_form->focusIn(m_local->lWin())) {
        LocalFileAction(m_local->lWin(), Transfer, hostFolder);
        return;
    }
    if (m_form->focusIn(m_local->LPathTree())) {
        LocalFileAction(m_local->LPathTree(), Transfer, hostFolder);
        return;
    }
    const QString download = options().DownLoadFolder;
    const QString target = download.size() >= 3 ? download : m_local->currentFolder();
    if (m_form->focusIn(m_host->RPathTree()))
        HostFileAction(m_host->RPathTree(), Transfer, target);
    else if (m_form->focusIn(m_host->rWin()))
        HostFileAction(m_host->rWin(), Transfer, target);
}

void FileCommands::Menu_DeleteClick()
{
    if (m_form->focusIn(m_local->lWin()))
        LocalFileAction(m_local->lWin(), Delete);
    else if (m_form->focusIn(m_local->LPathTree()))
        LocalFileAction(m_local->LPathTree(), Delete);
    else if (m_form->focusIn(m_host->rWin()))
        HostFileAction(m_host->rWin(), Delete);
    else if (m_form->focusIn(m_host->RPathTree()))
        HostFileAction(m_host->RPathTree(), Delete);
}

void FileCommands::Menu_RenameClick()
{
    if (m_form->focusIn(m_local->lWin()))
        LocalFileAction(m_local->lWin(), Rename);
    else if (m_form->focusIn(m_host->rWin()))
        HostFileAction(m_host->rWin(), Rename);
}

void FileCommands::Menu_NewFolderClick()
{
    if (localFocused())
        localNewFolder();
    else if (hostFocused())
        hostNewFolder();
}

FileCommands::Selection FileCommands::selectionOf(QWidget *control) const
{
    Selection selection;
    auto *list = qobject_cast<FileListView *>(control);
    if (!list) {
        selection.tree = true;
        selection.folders.append(QString());
        return selection;
    }
    for (const int row : list->selectedRows()) {
        if (list->kind(row) == FileListView::ParentEntry)
            continue;
        const QString name = list->internalName(row);
        if (list->text(row, FileListView::SizeColumn).isEmpty())
            selection.folders.append(name);
        else
            selection.files.append(name);
    }
    return selection;
}

// One question for the whole selection, worded by what it holds. A No drops what the question
// named, which is the whole selection.
bool FileCommands::confirmSelection(const Selection &selection,
                                    const QString &before,
                                    const QString &after) const
{
    QString what;
    if (selection.tree)
        what = QStringLiteral("folder");
    else if (!selection.files.isEmpty() && !selection.folders.isEmpty())
        what = QStringLiteral("file(s) and folder(s)");
    else if (!selection.folders.isEmpty())
        what = QStringLiteral("folder(s)");
    else if (!selection.files.isEmpty())
        what = QStringLiteral("file(s)");
    else
        return false;
    return askYesNo(before + what + after);
}

bool FileCommands::askYesNo(const QString &text) const
{
    QMessageBox box(QMessageBox::Question,
                    QStringLiteral("Orvane FTP"),
                    VisibleHostLines(text),
                    QMessageBox::Yes | QMessageBox::No,
                    m_form);
    box.setObjectName(QStringLiteral("FileCommandQuestion"));
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void FileCommands::showMessage(const QString &text) const
{
    QMessageBox box(QMessageBox::Information,
                    QStringLiteral("Orvane FTP"),
                    VisibleHostLines(text),
                    QMessageBox::Ok,
                    m_form);
    box.setObjectName(QStringLiteral("FileCommandMessage"));
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void FileCommands::writeLog(const QString &line) const
{
    m_engine->WriteLog(line, LogModel::NoSession);
}

void FileCommands::reloadLocal()
{
    if (localFocused())
        m_local->reload();
    else
        m_local->FillFileList();
}
