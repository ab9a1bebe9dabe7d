// The local half of the file commands: they act on the disk at once, except sending, which
// queues the selection for the transfer tasks.
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

#include <QDir>
#include <QFileInfo>

namespace {
const QString TopLevel = QStringLiteral("\\");

QString withoutTrailingSeparator(const QString &path)
{
    return path.endsWith(QLatin1Char('\\')) ? path.left(path.size() - 1) : path;
}
} // namespace

void FileCommands::LocalFileAction(QWidget *control, Action action, const QString &hostTarget)
{
    const QString folder = ResolveDesktopPath(m_local->currentFolder());
    // The top level holds the Desktop and the drives: nothing there is sent, deleted or renamed.
    if (folder != TopLevel && !folder.isEmpty()) {
        const Selection selection = selectionOf(control);
        switch (action) {
        case Transfer:
            localTransfer(folder, selection, hostTarget);
            break;
        case Open:
            localOpen(folder, selection);
            break;
        case View:
            localView(folder, selection);
            break;
        case Delete:
            localDelete(folder, selection);
            break;
        case Rename:
            localRename(folder, selection);
            break;
        }
    }
    m_engine->Pass();
}

void FileCommands::localTransfer(const QString &folder,
                                 const Selection &selection,
                                 const QString &target)
{
    if (target.isEmpty())
        return;
    if (options().ConfirmTransfer
        && !confirmSelection(
                selection, QStringLiteral("Send selected "), QStringLiteral(" to host?")))
        return;
    TransferQueue &queue = m_engine->transferQueue();
    if (!selection.files.isEmpty())
        m_engine->QueueMissingHostFolders(target);
    for (const QString &name : selection.files) {
        if (!TransferQueue::LocalNameCanTravel(name)) {
            writeLog(QStringLiteral(" !: Skipped '%1': names holding '*' or '\\' cannot be sent.")
                             .arg(LocalToNative(folder + name)));
            continue;
        }
        queue.append(TransferQueue::UploadEntry(folder + name, target + name));
    }
    for (const QString &name : selection.folders) {
        if (!TransferQueue::LocalNameCanTravel(name)) {
            writeLog(QStringLiteral(" !: Skipped '%1': names holding '*' or '\\' cannot be sent.")
                             .arg(LocalToNative(folder + name)));
            continue;
        }
        // The tree sends the contents of the current local folder into the current host folder.
        const QString local = name.isEmpty() ? folder : folder + name + QLatin1Char('\\');
        const QString host = name.isEmpty() ? target : target + name + QLatin1Char('\\');
        m_engine->QueueMissingHostFolders(host);
        m_engine->UploadFolderTree(local, host);
    }
}

void FileCommands::localOpen(const QString &folder, const Selection &selection)
{
    const QString nativeFolder = LocalToNative(folder);
    for (const QString &name : selection.files) {
        const QString file = LocalToNative(folder + name);
        if (m_services->openFile(file, nativeFolder))
            continue;
        if (!askYesNo(QStringLiteral("Unable to open '") + name
                      + QStringLiteral("' with an associated program.\n\nWould you like to view it "
                                       "in your default text editor instead?")))
            continue;
        if (!m_services->startTextEditor(file, nativeFolder))
            writeLog(
                    QStringLiteral(" !: Could not view the file in the default text editor. Please "
                                   "associate 'TXT' files with a program."));
    }
    for (const QString &name : selection.folders) {
        const QString target
                = LocalToNative(name.isEmpty() ? folder : folder + name + QLatin1Char('\\'));
        if (!m_services->openFolder(target))
            showMessage(QStringLiteral("Unable to open folder '") + name + QStringLiteral("'."));
    }
}

void FileCommands::localView(const QString &folder, const Selection &selection)
{
    const QString nativeFolder = LocalToNative(folder);
    for (const QString &name : selection.files) {
        if (!m_services->startTextEditor(LocalToNative(folder + name), nativeFolder))
            writeLog(
                    QStringLiteral(" !: Could not view the file in the default text editor. Please "
                                   "associate 'TXT' files with a program."));
    }
}

// The trash never asks, so the program asks first. Whatever cannot go to the trash stays where
// it is: nothing is deleted for good.
void FileCommands::localDelete(const QString &folder, const Selection &selection)
{
    QStringList paths;
    for (const QString &name : selection.files)
        paths.append(LocalToNative(folder + name));
    for (const QString &name : selection.folders)
        paths.append(QDir::cleanPath(LocalToNative(withoutTrailingSeparator(folder + name))));
    if (paths.isEmpty())
        return;
    if (!askYesNo(QStringLiteral("Move selected file(s) and folder(s) to the trash?")))
        return;
    QStringList failed;
    for (const QString &path : std::as_const(paths)) {
        QString reason;
        if (!m_services->moveToTrash(path, &reason))
            failed.append(reason.isEmpty() ? path : path + QStringLiteral(": ") + reason);
    }
    if (selection.tree && failed.isEmpty()) {
        // The folder on display went to the trash: show its parent.
        QString parent = withoutTrailingSeparator(folder);
        parent = parent.left(parent.lastIndexOf(QLatin1Char('\\')) + 1);
        m_local->ChangeLocalFolder(parent.isEmpty() ? TopLevel : parent);
    } else {
        reloadLocal();
    }
    if (!failed.isEmpty())
        showMessage(
                QStringLiteral("These could not be moved to the trash and were not deleted:\n\n")
                + failed.join(QLatin1Char('\n')));
}

void FileCommands::localRename(const QString &folder, const Selection &selection)
{
    bool renamed = false;
    const auto renameOne = [&](const QString &name, bool isFolder) {
        TDialog *dialog = m_form->Dialog;
        dialog->setCaption(isFolder ? QStringLiteral("Renaming Local Folder")
                                    : QStringLiteral("Renaming Local File"));
        dialog->setPrompt(isFolder ? QStringLiteral("Type new foldername:")
                                   : QStringLiteral("Type new filename:"));
        dialog->setText(name);
        if (dialog->exec() != QDialog::Accepted)
            return;
        const QString newName = StripIllegalChars(dialog->text());
        // Letter case counts: a.txt and A.TXT are two names here.
        if (newName.isEmpty() || newName == name)
            return;
        const QString from = LocalToNative(folder + name);
        const QString to = LocalToNative(folder + newName);
        // Never rename over another item: that would delete it for good.
        const bool taken = QFileInfo::exists(to) && from.compare(to, Qt::CaseInsensitive) != 0;
        if (!taken && QDir().rename(from, to)) {
            renamed = true;
            return;
        }
        writeLog(QStringLiteral(" !: Could not rename '%1' to '%2'.").arg(name, newName));
    };
    for (const QString &name : selection.files)
        renameOne(name, false);
    for (const QString &name : selection.folders) {
        if (!name.isEmpty())
            renameOne(name, true);
    }
    if (renamed)
        reloadLocal();
}

void FileCommands::localNewFolder()
{
    TDialog *dialog = m_form->Dialog;
    dialog->setCaption(QStringLiteral("Create New Local Folder"));
    dialog->setPrompt(QStringLiteral("Type new foldername:"));
    dialog->setText(QString());
    if (dialog->exec() != QDialog::Accepted || dialog->text().isEmpty())
        return;
    const QString name = dialog->text();
    QString path;
    if (name.startsWith(QLatin1Char('/')) || name.startsWith(QLatin1Char('\\'))) {
        // A full path as the user sees them.
        QString native = name;
        native.replace(QLatin1Char('\\'), QLatin1Char('/'));
        path = NativeToLocal(native + QLatin1Char('/'));
    } else {
        const QString folder = ResolveDesktopPath(m_local->currentFolder());
        if (folder != TopLevel && !folder.isEmpty())
            path = folder + name + QLatin1Char('\\');
    }
    const QString native
            = path.isEmpty() ? QString() : LocalToNative(ConvertPath(path, BackslashForm));
    if (native.isEmpty() || !QDir().mkdir(native)) {
        writeLog(QStringLiteral("!!: Cannot create folder."));
        return;
    }
    reloadLocal();
}
