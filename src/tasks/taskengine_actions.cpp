// What the engine does with the sessions' reports: host text into the log, results of listings,
// transfers and folder commands into the listing buffer, the queue and the log.
#include "taskengine.h"

#include "ftp/listparser.h"
#include "platform/localfolder.h"
#include "platform/localpath.h"
#include "tasks/sessiontext.h"
#include "tasks/soundplayer.h"
#include "util/fieldstring.h"
#include "util/pathforms.h"

#include <QDir>
#include <QFileInfo>

namespace {
const QChar Star = QLatin1Char('*');
const QChar Backslash = QLatin1Char('\\');

// The current time as an MS-DOS date-time in decimal, as listings store dates.
QString dosDateNow()
{
    return QString::number(DosDateTime(QDate::currentDate(), QTime::currentTime()));
}

// A name that may become one component of a local path.
bool safeLocalName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
           && !name.contains(QLatin1Char('/')) && TransferQueue::LocalNameCanTravel(name);
}

// Why a session's transfer failed, as the session knows it or the host's refusal tells it;
// empty when neither says.
QString failureReason(const TcFTP *session)
{
    if (!session->FailureReason().isEmpty())
        return session->FailureReason();
    const QString reply = session->ReplyLine();
    if (reply.startsWith(QLatin1Char('4')) || reply.startsWith(QLatin1Char('5')))
        return reply;
    return QString();
}

// A host path as people read it: "/pub/a.txt" for "\\pub\\a.txt".
QString slashPath(QString internalPath)
{
    return internalPath.replace(QLatin1Char('\\'), QLatin1Char('/'));
}

bool nativeBelow(const QString &nativePath, const QString &nativeRoot)
{
    const QString path = QDir::cleanPath(nativePath);
    const QString root = QDir::cleanPath(nativeRoot);
    return path == root || path.startsWith(root == QLatin1String("/") ? root : root + '/');
}
} // namespace

void TaskEngine::FTPTextIO(TcFTP *session, const QString &ioString, bool fromHost, bool valid)
{
    const int n = m_taskList.IndexOfSession(session);
    const bool main = session == m_mainFTP;
    const bool loggingIn = main && session->Idles() == 0;
    if (!fromHost && n >= 0)
        m_operations.commandSent(m_taskList.record(n));
    if (fromHost) {
        if (!valid) {
            WriteLog(QStringLiteral("!!: Error in Host input ") + ioString, n);
            return;
        }
        if (loggingIn)
            addLoginInfo(ioString);
        if (main ? m_options->ShowMainIO : m_options->ShowMultiIO)
            WriteLog(QStringLiteral(">>: ") + ioString, n);
        return;
    }
    if (loggingIn) {
        const QString line = SentTextForLoginInfo(ioString);
        if (!line.isEmpty())
            addLoginInfo(line);
    }
    if (main ? m_options->ShowMainIO : m_options->ShowMultiIO)
        WriteLog(QStringLiteral("<<: ") + SentTextForLog(ioString), n);
}

// A host can talk at length while the session logs in; only so much of it is kept.
void TaskEngine::addLoginInfo(const QString &line)
{
    if (m_loginInfo.size() >= MaxLoginInfoLines
        || m_loginInfoText + line.size() > MaxLoginInfoText) {
        ++m_loginInfoSkipped;
        return;
    }
    m_loginInfo.append(line);
    m_loginInfoText += line.size();
    Q_EMIT loginInfoAdded(line);
}

// The login is over (or failed): say what was left out.
void TaskEngine::endLoginInfo()
{
    if (m_loginInfoSkipped == 0)
        return;
    const QString note = tr("(%1 more lines not kept)").arg(m_loginInfoSkipped);
    m_loginInfoSkipped = 0;
    m_loginInfo.append(note);
    Q_EMIT loginInfoAdded(note);
}

void TaskEngine::FTPAction(TcFTP *session,
                           TcFTPActionType action,
                           const QString &fileFolder,
                           qint64 size,
                           bool done,
                           bool success)
{
    // Progress of a listing or a download changes nothing here; these come for every block
    // received and must stay cheap.
    if (!done && (action == caList || action == caDownload))
        return;
    const int index = m_taskList.IndexOfSession(session);
    tTaskListObj *record = index >= 0 ? m_taskList.record(index) : nullptr;
    if (done)
        m_operations.actionDone(record, session, action, fileFolder, size, success);
    if (done && (action == caDownload || action == caUpload) && record) {
        const QString target = session->IOdstFolder() + session->IOdstFile();
        m_operations.transferAttempts(
                record, target, m_retries.attemptsOf(record->QueueEntry, record->operation));
        bool retried = false;
        if (!success)
            guarded("u1-333", [&] { retried = retryTransfer(session, record); });
        else
            m_retries.forget(record->QueueEntry, record->operation);
        record->QueueEntry.clear();
        if (retried) {
            Q_EMIT interfaceChanged();
            return;
        }
    }
    guarded("u1-332", [&] {
        switch (action) {
        case caList:
            if (done)
                listingDone(session, record, success);
            break;
        case caDownload:
            if (done)
                downloadDone(session, size, success);
            break;
        case caUpload:
            if (done)
                uploadDone(session, size, success);
            break;
        case caDelete:
            if (success) {
                const QString name = fileFolder.mid(fileFolder.lastIndexOf(Backslash) + 1);
                const QString folder = fileFolder.left(fileFolder.size() - name.size());
                removeBufferEntry(folder, QLatin1Char('f') + name);
                Q_EMIT hostEntryRemoved(folder, name);
            }
            break;
        case caRemoveFolder:
            if (success) {
                const QString trimmed = fileFolder.left(fileFolder.size() - 1);
                const QString name = trimmed.mid(trimmed.lastIndexOf(Backslash) + 1);
                const QString folder = trimmed.left(trimmed.size() - name.size());
                removeBufferEntry(folder, QLatin1Char('d') + name);
                m_listingBuffer.removeBelow(fileFolder);
                Q_EMIT hostEntryRemoved(folder, name);
                Q_EMIT hostFolderRemoved(fileFolder);
            }
            break;
        case caMakeFolder:
            if (success) {
                const QString trimmed = fileFolder.left(fileFolder.size() - 1);
                const QString name = trimmed.mid(trimmed.lastIndexOf(Backslash) + 1);
                const QString folder = trimmed.left(trimmed.size() - name.size());
                // Only a folder already listed gets the entry: a partial entry list would
                // otherwise pass for a complete listing.
                if (m_listingBuffer.contains(folder))
                    m_listingBuffer.addEntry(
                            folder, QLatin1Char('d') + name, QStringLiteral("-1*0"));
                Q_EMIT hostEntryChanged(folder, name);
            }
            break;
        case caBufferFolder:
            if (!done)
                WriteLog(QStringLiteral("  : Task starts buffering folder '") + fileFolder
                                 + QLatin1Char('\''),
                         index);
            break;
        case caChangeFolder:
            if (!success && record && record->DownloadAfterBuffer)
                Q_EMIT treeListingFailed(record->BufferRoot, record->LocalRoot);
            if (!success && m_listingBuffer.isEmpty())
                changeFolderFailed(session);
            break;
        default:
            WriteLog(QStringLiteral(" !: Receiving data from FTPc DC, unknown what for."), index);
            break;
        }
    });
    Q_EMIT interfaceChanged();
}

void TaskEngine::listingDone(TcFTP *session, tTaskListObj *record, bool success)
{
    if (!success) {
        WriteLog(QStringLiteral(" !: Host folder-listing unsuccessfully done."), 0);
        if (record && record->DownloadAfterBuffer)
            Q_EMIT treeListingFailed(record->BufferRoot, record->LocalRoot);
        return;
    }
    const QString folder = session->Folder();
    m_operations.folderListed(record, folder);
    Q_EMIT hostFolderListed(folder, session->Buffering());
    if (ConvertPath(folder, BackslashForm) == ConvertPath(m_requestedFolder, BackslashForm)) {
        m_currentHostFolder = folder;
        Q_EMIT currentHostFolderChanged(folder);
    }
    if (record && record->DownloadAfterBuffer) {
        guarded("u1-21115", [&] { queueTreeFolder(session, record); });
    }
}

// One folder of a tree download has been listed: make its local folder and queue its files.
// Every local path is checked to stay below the tree's local folder, whatever the host sent.
void TaskEngine::queueTreeFolder(TcFTP *session, tTaskListObj *record)
{
    const QString folder = session->Folder();
    const int index = m_taskList.IndexOfSession(session);
    if (!folder.startsWith(record->BufferRoot))
        return;
    const QString rel = folder.mid(record->BufferRoot.size());
    const QStringList parts = rel.split(Backslash, Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        if (!safeLocalName(part)) {
            const QString reason = QStringLiteral("its name cannot be used for a local folder.");
            warnSkipped(index,
                        QStringLiteral(" !: Skipped the host folder '%1': %2")
                                .arg(slashPath(folder), reason),
                        SkippedName{slashPath(folder), reason});
            return;
        }
    }
    const QString localFolder = record->LocalRoot + rel;
    const QString nativeRoot = LocalToNative(record->LocalRoot);
    const QString nativeFolder = LocalToNative(localFolder);
    if (nativeRoot.isEmpty() || !nativeBelow(nativeFolder, nativeRoot)) {
        WriteLog(QStringLiteral(" !: Refused to write '%1' outside '%2'.")
                         .arg(nativeFolder, nativeRoot),
                 index);
        m_operations.skip(
                record->operation,
                SkippedName{slashPath(folder), QStringLiteral("outside the local folder.")});
        return;
    }
    if (!makeLocalFolder(localFolder, QString(), rel.isEmpty(), index))
        return; // named in the log and the result; the files could not land

    const ListingBuffer::EntryList *entries = m_listingBuffer.entries(folder);
    if (!entries)
        return;
    for (const ListingBuffer::Entry &entry : *entries) {
        if (entry.key.startsWith(QLatin1Char('d')) && entry.fromLink) {
            // The walk never enters a link to a folder: it could lead anywhere, or back up.
            const QString link = slashPath(folder + entry.key.mid(1));
            const QString reason = QStringLiteral("links to folders are not followed.");
            warnSkipped(index,
                        QStringLiteral(" !: Skipped the host link '%1': %2").arg(link, reason),
                        SkippedName{link, reason, false});
            continue;
        }
        if (!entry.key.startsWith(QLatin1Char('f')))
            continue;
        const QString name = entry.key.mid(1);
        if (!safeLocalName(name) || !TransferQueue::HostNameCanTravel(name)) {
            const QString reason = QStringLiteral("its name cannot be used for a local file.");
            warnSkipped(index,
                        QStringLiteral(" !: Skipped the host file '%1': %2")
                                .arg(slashPath(folder + name), reason),
                        SkippedName{slashPath(folder + name), reason});
            continue;
        }
        // What to do with a file that exists is the tree's choice, when it has one.
        const QString choice = Field(record->HeldEntry, 5, Star);
        m_transferQueue.append(TransferQueue::DownloadEntry(folder + name, localFolder + name)
                                       + (choice.isEmpty() ? QString() : Star + choice),
                               record->operation);
        m_operations.expect(
                record->operation, ItemResult::Transfer, folder + name, localFolder + name);
    }
}

bool TaskEngine::makeLocalFolder(const QString &localFolder,
                                 const QString &localFile,
                                 bool logMade,
                                 int index)
{
    const QString nativeFolder = LocalToNative(localFolder);
    if (nativeFolder.isEmpty() || QFileInfo(nativeFolder).isDir())
        return true;
    QString reason;
    if (MakeLocalFolderPath(nativeFolder, &reason)) {
        if (logMade)
            WriteLog(QStringLiteral("  : The folder '%1' did not exist; it has been made.")
                             .arg(nativeFolder),
                     index);
        Q_EMIT localEntryChanged(localFolder, QString(), -1);
        return true;
    }
    const QString file = localFile.mid(localFolder.size());
    if (file.isEmpty())
        WriteLog(
                QStringLiteral(" !: Could not make the folder '%1': %2.").arg(nativeFolder, reason),
                index);
    else
        WriteLog(QStringLiteral(" !: Unsuccessfully received file '%1' to folder '%2': the folder "
                                "could not be made: %3.")
                         .arg(file, nativeFolder, reason),
                 index);
    if (localFile.isEmpty() && index >= 0)
        m_operations.localFolderFailed(m_taskList.record(index)->operation, localFolder, reason);
    else if (index >= 0)
        m_operations.transferRefused(
                m_taskList.record(index),
                localFile,
                QStringLiteral("cannot make the folder %1: %2").arg(nativeFolder, reason));
    Q_EMIT localFolderFailed(localFile, nativeFolder, reason);
    if (!file.isEmpty())
        Q_EMIT transferEnded(true, localFolder, file, false);
    return false;
}

void TaskEngine::downloadDone(TcFTP *session, qint64 size, bool success)
{
    const QString folder = session->IOdstFolder();
    const QString file = session->IOdstFile();
    const auto inside = [&folder](const QString &temp) {
        return !temp.isEmpty() && folder.startsWith(temp);
    };
    if (success) {
        if (inside(m_tempFolders.dragDrop())) {
            WriteLog(QStringLiteral("  : Successfully received drag-and-drop file: '") + file
                             + QStringLiteral("'."),
                     m_taskList.IndexOfSession(session));
            Q_EMIT dragDropFileReceived(
                    folder, file, !m_transferQueue.anyEntryContains(m_tempFolders.dragDrop()));
        } else if (inside(m_tempFolders.open())) {
            WriteLog(QStringLiteral("  : Successfully received file to open: '") + file
                             + QStringLiteral("'."),
                     m_taskList.IndexOfSession(session));
            Q_EMIT openFileReceived(folder, file);
        } else if (inside(m_tempFolders.view())) {
            WriteLog(QStringLiteral("  : Successfully received file to view: '") + file
                             + QStringLiteral("'."),
                     m_taskList.IndexOfSession(session));
            Q_EMIT viewFileReceived(folder, file);
        } else {
            playSound(m_options->doSND3, m_options->snd3);
            WriteLog(QStringLiteral("  : Successfully received file '%1' to folder '%2'.")
                             .arg(file, LocalToNative(folder)),
                     m_taskList.IndexOfSession(session));
            Q_EMIT localEntryChanged(folder, file, size);
        }
    } else {
        playSound(m_options->doSND4, m_options->snd4);
        const QString reason = failureReason(session);
        WriteLog(QStringLiteral(" !: Unsuccessfully received file '%1' to folder '%2'.%3")
                         .arg(file,
                              LocalToNative(folder),
                              reason.isEmpty() ? QString() : QStringLiteral(" ") + reason),
                 m_taskList.IndexOfSession(session));
    }
    Q_EMIT transferEnded(true, folder, file, success);
}

void TaskEngine::uploadDone(TcFTP *session, qint64 size, bool success)
{
    const QString folder = session->IOdstFolder();
    const QString file = session->IOdstFile();
    if (success) {
        playSound(m_options->doSND3, m_options->snd3);
        WriteLog(
                QStringLiteral("  : Successfully sent file '%1' to folder '%2'.").arg(file, folder),
                m_taskList.IndexOfSession(session));
        if (m_listingBuffer.contains(folder)) {
            m_listingBuffer.addEntry(folder,
                                     QLatin1Char('f') + file,
                                     QString::number(size) + QLatin1Char('*') + dosDateNow());
        }
        Q_EMIT hostEntryChanged(folder, file);
    } else {
        playSound(m_options->doSND4, m_options->snd4);
        const QString reason = failureReason(session);
        WriteLog(QStringLiteral("  : Unsuccessfully sent file '%1' to folder '%2'.%3")
                         .arg(file,
                              folder,
                              reason.isEmpty() ? QString() : QStringLiteral(" ") + reason),
                 m_taskList.IndexOfSession(session));
    }
    Q_EMIT transferEnded(false, folder, file, success);
}

// The change to the initial folder after login was refused: list the home or the root folder.
void TaskEngine::changeFolderFailed(TcFTP *session)
{
    if (m_rootFolder.isEmpty()) {
        WriteLog(QStringLiteral(" !: Specified initial-, rootFolder is inaccessible. Listing "
                                "home-folder instead."),
                 LogModel::NoSession);
        m_rootFolder = Field(m_homeFolder, 1, Backslash) + Backslash;
    } else {
        m_homeFolder = m_rootFolder;
        WriteLog(QStringLiteral(" !: Specified home/initial folder is in-accessible. Listing root "
                                "folder instead."),
                 LogModel::NoSession);
    }
    m_requestedFolder = m_homeFolder;
    if (m_rootFolder != m_homeFolder)
        session->AddCommand(QStringLiteral("cwd ") + m_homeFolder);
    session->AddCommand(QStringLiteral("*list"));
}

void TaskEngine::removeBufferEntry(const QString &folder, const QString &key)
{
    const ListingBuffer::EntryList *entries = m_listingBuffer.entries(folder);
    if (!entries)
        return;
    ListingBuffer::EntryList kept;
    kept.reserve(entries->size());
    for (const ListingBuffer::Entry &entry : *entries) {
        if (entry.key != key)
            kept.append(entry);
    }
    if (kept.size() != entries->size())
        m_listingBuffer.store(folder, kept);
}
