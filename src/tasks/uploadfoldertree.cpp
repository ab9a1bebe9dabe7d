#include "uploadfoldertree.h"

#include "ftp/listingbuffer.h"
#include "platform/localpath.h"
#include "transferqueue.h"
#include "util/pathforms.h"

#include <QDir>
#include <QFileInfo>

namespace {

struct Walk
{
    TransferQueue &queue;
    int operation;
    const std::function<void(const SkippedName &)> &warn;
    QString base;
    int queued = 0;

    void skip(const QString &nativePath, const QString &why, bool fails = true)
    {
        if (warn)
            warn(SkippedName{nativePath, why, fails});
    }

    void folder(const QString &localFolder, const QString &hostFolder)
    {
        if (hostFolder.size() > base.size()) {
            queue.append(TransferQueue::MakeFolderEntry(hostFolder), operation);
            ++queued;
        }
        const QDir dir(LocalToNative(localFolder));
        const QFileInfoList entries = dir.entryInfoList(
                QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
        for (const QFileInfo &entry : entries) {
            const QString name = entry.fileName();
            if (!TransferQueue::LocalNameCanTravel(name)) {
                skip(entry.filePath(), QStringLiteral("names holding '*' or '\\' cannot be sent."));
            } else if (entry.isSymLink() && entry.isDir()) {
                skip(entry.filePath(), QStringLiteral("links to folders are not followed."), false);
            } else if (entry.isDir()) {
                folder(localFolder + name + QLatin1Char('\\'),
                       hostFolder + name + QLatin1Char('\\'));
            } else if (entry.isFile()) {
                queue.append(TransferQueue::UploadEntry(localFolder + name, hostFolder + name),
                             operation);
                ++queued;
            } else {
                skip(entry.filePath(), QStringLiteral("not a file or folder."));
            }
        }
    }
};

} // namespace

int UploadFolderTree(const QString &localFolder,
                     const QString &hostFolder,
                     TransferQueue &queue,
                     int operation,
                     const std::function<void(const SkippedName &)> &skip)
{
    const QString local = ConvertPath(localFolder, BackslashForm);
    const QString host = ConvertPath(hostFolder, BackslashForm);
    Walk walk{queue, operation, skip, host};
    if (!TransferQueue::HostNameCanTravel(host) || !TransferQueue::HostNameCanTravel(local)) {
        walk.skip(LocalToNative(local), QStringLiteral("names holding '*' cannot be sent."));
        return 0;
    }
    walk.folder(local, host);
    return walk.queued;
}

namespace {

bool knownToExist(const QString &folder, const QString &parent, const ListingBuffer &buffer)
{
    if (buffer.contains(folder))
        return true;
    const ListingBuffer::EntryList *siblings = buffer.entries(parent);
    if (!siblings)
        return false;
    const QString key
            = QLatin1Char('d') + folder.mid(parent.size(), folder.size() - parent.size() - 1);
    for (const ListingBuffer::Entry &entry : *siblings) {
        if (entry.key == key)
            return true;
    }
    return false;
}

} // namespace

int QueueMissingHostFolders(const QString &hostFolder,
                            const ListingBuffer &buffer,
                            TransferQueue &queue,
                            int operation)
{
    const QString target = ConvertPath(hostFolder, BackslashForm);
    if (!TransferQueue::HostNameCanTravel(target))
        return 0;
    QStringList folders;
    for (const QString &part : target.split(QLatin1Char('\\'), Qt::SkipEmptyParts))
        folders.append((folders.isEmpty() ? QStringLiteral("\\") : folders.last()) + part
                       + QLatin1Char('\\'));
    // Everything above a folder known to exist exists as well.
    qsizetype first = folders.size();
    while (first > 0) {
        const QString parent = first > 1 ? folders.at(first - 2) : QStringLiteral("\\");
        if (knownToExist(folders.at(first - 1), parent, buffer))
            break;
        --first;
    }
    int queued = 0;
    for (qsizetype i = first; i < folders.size(); ++i) {
        const QString entry = TransferQueue::MakeFolderEntry(folders.at(i));
        if (!queue.entries().contains(entry)) {
            queue.append(entry, operation);
            ++queued;
        }
    }
    return queued;
}
