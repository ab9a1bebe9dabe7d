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
    const std::function<void(const QString &, bool)> &warn;
    QString base;
    int queued = 0;

    void skip(const QString &nativePath, const QString &why, bool fails = true)
    {
        if (warn)
            warn(QStringLiteral(" !: Skipped '%1': %2").arg(nativePath, why), fails);
    }

    void folder(const QString &localFolder, const QString &hostFolder)
    {
        if (hostFolder.size() > base.size()) {
            queue.append(TransferQueue::MakeFolderEntry(hostFolder));
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
                queue.append(TransferQueue::UploadEntry(localFolder + name, hostFolder + name));
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
                     const std::function<void(const QString &line, bool fails)> &warn)
{
    const QString local = ConvertPath(localFolder, BackslashForm);
    const QString host = ConvertPath(hostFolder, BackslashForm);
    Walk walk{queue, warn, host};
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
                            TransferQueue &queue)
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
            queue.append(entry);
            ++queued;
        }
    }
    return queued;
}
