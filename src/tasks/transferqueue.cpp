#include "transferqueue.h"

#include "util/fieldstring.h"

namespace {
const QChar Star = QLatin1Char('*');
}

bool TransferQueue::anyEntryContains(const QString &text) const
{
    for (const QString &entry : m_entries) {
        if (entry.contains(text))
            return true;
    }
    return false;
}

QString TransferQueue::Caption(const QString &entry, const QString &previous)
{
    const QString target = Field(entry, 3, Star);
    const QString afterLastBackslash = target.mid(target.lastIndexOf(QLatin1Char('\\')) + 1);
    switch (entry.isEmpty() ? 0 : entry.at(0).unicode()) {
    case 'd':
        return QStringLiteral("Download: ") + afterLastBackslash;
    case 'u':
        return QStringLiteral("Upload: ") + afterLastBackslash;
    case 'b':
        return QStringLiteral("Buffer: ") + Field(entry, 2, Star);
    case 'c':
        return QStringLiteral("Command: ") + Field(entry, FieldCount(entry, Star), Star);
    default:
        return previous;
    }
}

QString TransferQueue::DownloadEntry(const QString &hostFile, const QString &localFile)
{
    return QStringLiteral("d*") + hostFile + Star + localFile;
}

QString TransferQueue::UploadEntry(const QString &localFile, const QString &hostFile)
{
    return QStringLiteral("u*") + localFile + Star + hostFile;
}

QString TransferQueue::MakeFolderEntry(const QString &hostFolder)
{
    return QStringLiteral("c*mkd ") + hostFolder;
}

QString TransferQueue::BufferEntry(const QString &hostFolder)
{
    return QStringLiteral("b*") + hostFolder;
}

QString TransferQueue::DownloadTreeEntry(const QString &hostFolder, const QString &localFolder)
{
    return QStringLiteral("b*") + hostFolder + Star + localFolder + QStringLiteral("*!download");
}

QString TransferQueue::DeleteTreeEntry(const QString &hostFolder)
{
    return QStringLiteral("b*") + hostFolder + QStringLiteral("*!delete");
}

namespace {
bool holdsLineBreak(const QString &text)
{
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'))
           || text.contains(QChar(0));
}
} // namespace

bool TransferQueue::HostNameCanTravel(const QString &name)
{
    return !name.contains(Star) && !holdsLineBreak(name);
}

bool TransferQueue::LocalNameCanTravel(const QString &name)
{
    return LocalPathCanTravel(name) && !name.contains(QLatin1Char('\\'));
}

bool TransferQueue::LocalPathCanTravel(const QString &path)
{
    return !path.contains(Star) && !holdsLineBreak(path);
}

bool TransferQueue::HostNameCanArrive(const QString &name)
{
    return !name.isEmpty() && LocalNameCanTravel(name) && !name.contains(QLatin1Char('/'))
           && name != QLatin1String(".") && name != QLatin1String("..");
}
