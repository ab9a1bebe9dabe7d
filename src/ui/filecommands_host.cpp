// The host half of the file commands: the selection becomes transfer-queue entries and
// main-session commands; the engine carries them out and reports the results.
#include "ui/filecommands.h"

#include "platform/localpath.h"
#include "settings/options.h"
#include "tasks/taskengine.h"
#include "ui/desktopservices.h"
#include "ui/hostpane.h"
#include "ui/localpane.h"
#include "ui/taskpanel.h"
#include "ui/tdialog.h"
#include "ui/tform1.h"
#include "util/pathforms.h"

void FileCommands::HostFileAction(QWidget *control, Action action, const QString &localTarget)
{
    const QString folder = m_host->currentFolder();
    if (!folder.isEmpty()) {
        const Selection selection = selectionOf(control);
        switch (action) {
        case Transfer:
            hostTransfer(folder, selection, ResolveDesktopPath(localTarget));
            break;
        case Open:
            hostFetch(folder, selection, m_engine->tempFolders().open());
            break;
        case View:
            hostFetch(folder, selection, m_engine->tempFolders().view());
            break;
        case Delete:
            hostDelete(folder, selection);
            break;
        case Rename:
            hostRename(folder, selection);
            break;
        }
    }
    m_engine->Pass();
}

void FileCommands::hostTransfer(const QString &folder,
                                const Selection &selection,
                                const QString &target)
{
    if (target.isEmpty() || target == QLatin1String("\\"))
        return;
    if (options().ConfirmTransfer
        && !confirmSelection(
                selection, QStringLiteral("Receive selected "), QStringLiteral(" from host?")))
        return;
    TransferQueue &queue = m_engine->transferQueue();
    const auto skip = [this, &folder](const QString &name) {
        writeLog(QStringLiteral(" !: Skipped the host item '%1': its name cannot be used for a "
                                "local file.")
                         .arg(folder + name));
    };
    for (const QString &name : selection.files) {
        if (TransferQueue::HostNameCanArrive(name))
            queue.append(TransferQueue::DownloadEntry(folder + name, target + name));
        else
            skip(name);
    }
    for (const QString &name : selection.folders) {
        if (name.isEmpty()) {
            // The tree: the current host folder's contents go into the target itself.
            queue.append(TransferQueue::DownloadTreeEntry(folder, target));
        } else if (TransferQueue::HostNameCanArrive(name)) {
            queue.append(TransferQueue::DownloadTreeEntry(folder + name + QLatin1Char('\\'),
                                                          target + name + QLatin1Char('\\')));
        } else {
            skip(name);
        }
    }
}

// Open and view receive the selected files into their temporary folder; the engine reports
// each one when it has arrived. Folders are ignored.
void FileCommands::hostFetch(const QString &folder,
                             const Selection &selection,
                             const QString &tempFolder)
{
    if (tempFolder.isEmpty())
        return;
    for (const QString &name : selection.files) {
        if (TransferQueue::HostNameCanArrive(name))
            m_engine->transferQueue().append(
                    TransferQueue::DownloadEntry(folder + name, tempFolder + name));
        else
            writeLog(QStringLiteral(" !: Skipped the host item '%1': its name cannot be used for "
                                    "a local file.")
                             .arg(folder + name));
    }
}

void FileCommands::hostDelete(const QString &folder, const Selection &selection)
{
    if (options().ConfirmDelete
        && !confirmSelection(
                selection, QStringLiteral("Delete selected host "), QStringLiteral("?")))
        return;
    for (const QString &name : selection.files)
        m_engine->mainCmdList().append(QStringLiteral("dele ") + folder + name);
    for (const QString &name : selection.folders) {
        const QString tree = name.isEmpty() ? folder : folder + name + QLatin1Char('\\');
        if (TransferQueue::HostNameCanTravel(tree))
            m_engine->transferQueue().append(TransferQueue::DeleteTreeEntry(tree));
        else
            writeLog(QStringLiteral(" !: Skipped the host folder '%1': names holding '*' cannot "
                                    "be queued.")
                             .arg(tree));
    }
}

void FileCommands::hostRename(const QString &folder, const Selection &selection)
{
    bool renamed = false;
    const auto renameOne = [&](const QString &name, bool isFolder) {
        TDialog *dialog = m_form->Dialog;
        dialog->setCaption(isFolder ? QStringLiteral("Renaming Host Folder")
                                    : QStringLiteral("Renaming Host File"));
        dialog->setPrompt(isFolder ? QStringLiteral("Type new foldername:")
                                   : QStringLiteral("Type new filename:"));
        dialog->setText(name);
        if (dialog->exec() != QDialog::Accepted)
            return;
        const QString newName = StripIllegalChars(dialog->text());
        if (newName.isEmpty() || newName == name)
            return;
        if (!TransferQueue::HostNameCanTravel(name)) {
            writeLog(QStringLiteral(" !: Could not rename '%1' to '%2'.").arg(name, newName));
            return;
        }
        m_engine->mainCmdList().append(QStringLiteral("*rename ") + folder + name + QLatin1Char('*')
                                       + newName);
        renamed = true;
    };
    for (const QString &name : selection.files)
        renameOne(name, false);
    for (const QString &name : selection.folders) {
        if (!name.isEmpty())
            renameOne(name, true);
    }
    // The folder is listed again so that the list shows the new names.
    if (renamed)
        m_engine->mainCmdList().append(QStringLiteral("*reload ") + folder);
}

void FileCommands::hostNewFolder()
{
    const QString folder = m_host->currentFolder();
    if (folder.isEmpty())
        return;
    TDialog *dialog = m_form->Dialog;
    dialog->setCaption(QStringLiteral("Create New Host Folder"));
    dialog->setPrompt(QStringLiteral("Type new foldername:"));
    dialog->setText(QString());
    if (dialog->exec() != QDialog::Accepted || dialog->text().isEmpty())
        return;
    const QString name = dialog->text();
    if (name.startsWith(QLatin1Char('/')) || name.startsWith(QLatin1Char('\\')))
        m_engine->mainCmdList().append(QStringLiteral("mkd ") + name);
    else
        m_engine->mainCmdList().append(QStringLiteral("mkd ") + folder + name);
    m_engine->Pass();
}

void FileCommands::openReceivedFile(const QString &folder, const QString &file)
{
    const QString path = LocalToNative(folder + file);
    if (m_services->openFile(path, LocalToNative(m_engine->tempFolders().open())))
        return;
    if (!askYesNo(QStringLiteral("Unable to open '") + file
                  + QStringLiteral("'. \n\nWould you like to view it in your default text "
                                   "editor instead?")))
        return;
    if (!m_services->startTextEditor(path, LocalToNative(m_engine->tempFolders().view())))
        writeLog(QStringLiteral(" !: Could not view the file in the default text editor. Please "
                                "associate 'TXT' files with a program."));
}

void FileCommands::viewReceivedFile(const QString &folder, const QString &file)
{
    if (!m_services->startTextEditor(LocalToNative(folder + file),
                                     LocalToNative(m_engine->tempFolders().view())))
        writeLog(QStringLiteral(" !: Could not view the file in the default text editor. Please "
                                "associate 'TXT' files with a program."));
}
