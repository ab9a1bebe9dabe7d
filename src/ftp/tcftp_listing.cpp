// Listings into the shared listing buffer: "*list", "*reload" and "*bufferfolder", the
// listing data and the end of a listing.
#include "ftp/tcftp.h"

#include "ftp/factlineparser.h"
#include "ftp/listparser.h"
#include "util/hosttext.h"
#include "util/pathforms.h"

#include <QSet>

#include <charconv>
#include <utility>

namespace {

bool isTransferStart(const QString &code)
{
    return code == QLatin1String("125") || code == QLatin1String("150");
}

bool isTransferEnd(const QString &code)
{
    return code == QLatin1String("226") || code == QLatin1String("250");
}

// The names of the folder entries of a list, spelt as the host spells them.
QSet<QString> folderNames(const ListingBuffer::EntryList &entries)
{
    QSet<QString> names;
    for (const ListingBuffer::Entry &entry : entries) {
        if (entry.key.startsWith(QLatin1Char('d')))
            names.insert(entry.key.mid(1));
    }
    return names;
}

// An entry's key, "d" or "f" before the name, made in one allocation.
QString entryKey(bool folder, const QString &name)
{
    QString key;
    key.reserve(name.size() + 1);
    key += folder ? QLatin1Char('d') : QLatin1Char('f');
    key += name;
    return key;
}

// An entry's fields, "<size>*<date>", written in place rather than pieced together.
QString entryFields(qint64 size, qint32 dosDateTime)
{
    char text[48];
    char *end = std::to_chars(text, text + 24, size).ptr;
    *end++ = '*';
    end = std::to_chars(end, text + sizeof text, dosDateTime).ptr;
    return QString::fromLatin1(text, end - text);
}

} // namespace

void TcFTP::runListCommand(const QString &command, const QString &argument)
{
    m_failureReason.clear();
    if (!m_listingBuffer) {
        // Nowhere to put the listing: it ends as failed before anything is sent.
        m_listing = true;
        Finish(false);
        throw TcFTPException(5555);
    }
    if (command == QLatin1String("*reload")) {
        m_reloading = true;
        m_commandQueue.prepend(QStringLiteral("*list ") + argument);
        return;
    }
    if (command == QLatin1String("*bufferfolder")) {
        m_buffering = true;
        m_bufferFolders.clear();
        m_bufferRoot = ConvertPath(argument, BackslashForm);
        m_bufferWalked = 0;
        m_walkUniques.clear();
        m_commandQueue.prepend(QStringLiteral("*list ") + argument);
        // A host that follows links in MLSD (pyftpdlib shows "loop -> ." as a folder) tells
        // them apart only by the unique fact: the top's is asked for first.
        if (UsesMlsd()) {
            QString top = ConvertPath(m_bufferRoot, SlashForm);
            if (top.size() > 1)
                top.chop(1);
            m_commandQueue.prepend(QStringLiteral("mlst ") + top);
            askUniqueForWalk();
        }
        Q_EMIT actionDone(caBufferFolder, ConvertPath(argument, BackslashForm), 0, false, true);
        return;
    }

    const QString folder = argument.isEmpty() ? m_folder : ConvertPath(argument, BackslashForm);
    if (!m_reloading && m_listingBuffer->contains(folder)) {
        // Buffered already: nothing goes to the host.
        m_listing = true;
        m_listFromBuffer = true;
        m_folder = folder;
        Finish(true);
        return;
    }
    if (folder != m_serverFolder) {
        // Change to the folder first; the plain "*list" then lists it. Listing is set only then,
        // so a refused CWD (which drops the rest of the queue) leaves no listing open.
        m_commandQueue.prepend(QStringLiteral("*list"));
        m_commandQueue.prepend(QStringLiteral("cwd ") + folder);
        return;
    }

    m_listing = true;
    m_listFromBuffer = false;
    m_folder = folder;
    m_listResult.clear();
    m_listBuffer.clear();
    m_listNow = QDateTime::currentDateTime();
    QStringList lines;
    try {
        prepareDataSocket();
        lines = dataSetupCommands(QStringLiteral("*"), false);
    } catch (const std::exception &) {
        Finish(false);
        throw TcFTPException(5555);
    }
    // MLSD gives exact sizes and UTC times in one form every such host shares; LIST's text
    // is read by guessing at its columns.
    m_listMlsd = UsesMlsd();
    lines.append(m_listMlsd ? QStringLiteral("mlsd") : QStringLiteral("list"));
    m_commandQueue = lines + m_commandQueue;
}

// The final reply to LIST (other than 125/150). Only this reply ends a listing: a data
// connection that closed while the last reply was 150 may still be followed by
// "426 Connection closed; transfer aborted.", and then what arrived is not the whole folder.
void TcFTP::listReplyEnded(ReplyFlags &flags)
{
    if (!m_listing)
        return; // a plain "list" line: nothing of ours to end
    if (!isTransferStart(m_previousCode) || !isTransferEnd(m_inCmd)) {
        // "550 No such directory." without a 150 before it, or 426 after one: nothing is
        // stored, the listing ends as failed.
        Finish(false);
        return;
    }
    if (m_data->BytesAvailable() > 0) {
        flags.cont = false; // the data handler reads the rest and ends it
    } else if (m_data->State() == cwNotConnected || m_data->State() == cwNIL) {
        Finish(true);
    } else {
        flags.cont = false; // the data connection's close ends it
    }
}

// One read of listing data; complete lines are parsed at once, so a listing is never scanned
// twice. A line cut between two reads waits in m_listBuffer for its end.
void TcFTP::listingDataAvailable()
{
    const QByteArray bytes = m_data->Receive();
    if (!m_listing || bytes.isEmpty())
        return;
    m_listBytes += bytes.size();
    const qsizetype searchFrom = m_listBuffer.size();
    m_listBuffer.append(bytes);
    emitProgress(caList, 0);
    parseListingLines(searchFrom, false);
    endIfDataDrained();
}

// Parses every complete line of m_listBuffer (a line feed ends it, a CR before it is dropped)
// and removes them; searchFrom is where new bytes begin, as no line feed lies before it. With
// atEnd the rest counts as a last line without its line end.
void TcFTP::parseListingLines(qsizetype searchFrom, bool atEnd)
{
    const char *data = m_listBuffer.constData();
    const qsizetype size = m_listBuffer.size();
    qsizetype lineStart = 0;
    qsizetype at = searchFrom;
    for (;;) {
        const void *found = at < size ? memchr(data + at, '\n', size_t(size - at)) : nullptr;
        qsizetype lineEnd;
        qsizetype next;
        if (found) {
            lineEnd = static_cast<const char *>(found) - data;
            next = lineEnd + 1;
        } else if (atEnd && lineStart < size) {
            lineEnd = next = size;
        } else {
            break;
        }
        qsizetype end = lineEnd;
        if (end > lineStart && data[end - 1] == '\r')
            --end;
        addListingLine(QByteArrayView(data + lineStart, end - lineStart));
        lineStart = at = next;
    }
    m_listBuffer.remove(0, lineStart);
}

void TcFTP::addListingLine(QByteArrayView line)
{
    if (line.isEmpty())
        return;
    // The bytes are read in place: decoding copies what it keeps.
    const QString text = m_nameCodec.decode(QByteArray::fromRawData(line.data(), line.size()));
    if (m_listMlsd) {
        addFactLine(text);
        return;
    }
    const std::optional<ListEntry> entry = ParseListLine(text, m_listNow);
    if (!entry) {
        reportUnsafeName(text);
        return;
    }
    if (entry->name.isEmpty() || entry->name == QLatin1String(".")
        || entry->name == QLatin1String(".."))
        return;
    ListingBuffer::Entry item;
    item.key = entryKey(entry->isFolder, entry->name);
    item.fields = entryFields(entry->size, entry->dosDateTime);
    item.fromLink = entry->fromLink;
    m_listResult.append(std::move(item));
}

void TcFTP::addFactLine(const QString &text)
{
    const FactLine line = ParseFactLine(text);
    if (line.kind == FactLineKind::Unsafe)
        Q_EMIT entryRefused(m_folder, text.trimmed());
    if (line.kind != FactLineKind::Entry)
        return;
    ListingBuffer::Entry item;
    item.key = entryKey(line.entry.isFolder, line.entry.name);
    item.fields = entryFields(line.entry.size, line.entry.dosDateTime);
    item.fromLink = line.entry.fromLink;
    item.modified = line.modified;
    // A folder met before in this walk under another name is a link to it, whatever the host
    // calls it.
    if (m_buffering && line.entry.isFolder && !line.unique.isEmpty() && !item.fromLink) {
        if (m_walkUniques.contains(line.unique))
            item.fromLink = true;
        else
            m_walkUniques.insert(line.unique);
    }
    m_listResult.append(std::move(item));
}

//     250-Listing /pub
//      type=dir;size=4096;modify=20260102030405;unique=803g2d; /pub
//     250 End.
void TcFTP::mlstReplied()
{
    const QStringList lines = std::exchange(m_featLines, {});
    if (m_inCmd != QLatin1String("250"))
        return;
    for (const QString &line : lines) {
        const qsizetype facts = line.indexOf(QLatin1String("type="), 0, Qt::CaseInsensitive);
        if (facts < 0)
            continue;
        const FactLine top = ParseFactLine(QStringView(line).mid(facts));
        if (!top.unique.isEmpty())
            m_walkUniques.insert(top.unique);
    }
}

// The listing branch of Finish: a successful listing is stored (after a reload, compared with
// the folder's old list first) and, while buffering, its subfolders are queued for the walk.
void TcFTP::finishListing(bool success)
{
    m_listing = false;
    const bool fromBuffer = m_listFromBuffer;
    const bool reloading = m_reloading;
    m_listFromBuffer = false;
    m_reloading = false;
    if (!success || !m_listingBuffer) {
        m_listBuffer.clear();
        m_listResult.clear();
        Q_EMIT actionDone(caList, QString(), 0, true, false);
        return;
    }

    if (!fromBuffer) {
        parseListingLines(0, true);
        if (reloading) {
            if (const ListingBuffer::EntryList *old = m_listingBuffer->entries(m_folder)) {
                reportReloadedFolders(*old);
                // MLSD of a host that follows links shows a link as a folder; what a tree walk
                // found to be a link stays one when the folder is listed again.
                if (m_listMlsd) {
                    for (ListingBuffer::Entry &entry : m_listResult) {
                        const ListingBuffer::Entry *was
                                = m_listingBuffer->find(m_folder, entry.key);
                        entry.fromLink = entry.fromLink || (was && was->fromLink);
                    }
                }
            }
        }
        m_listingBuffer->store(m_folder, std::move(m_listResult));
        m_listResult = ListingBuffer::EntryList();
    }
    m_listBuffer.clear();

    if (m_buffering)
        queueSubfolders();
    Q_EMIT actionDone(caList, QString(), 0, true, true);
}

// A reloaded folder against its buffered list: new subfolders are reported made, vanished
// ones removed, and every buffered folder below a vanished one is dropped.
void TcFTP::reportReloadedFolders(const ListingBuffer::EntryList &old)
{
    // Put in order here once: store finds it so.
    ListingBuffer::sortEntries(m_listResult);
    const ListingBuffer::EntryList &fresh = m_listResult;
    const QSet<QString> oldNames = folderNames(old);
    const QSet<QString> freshNames = folderNames(fresh);
    QStringList gone;
    for (const ListingBuffer::Entry &entry : old) {
        if (entry.key.startsWith(QLatin1Char('d')) && !freshNames.contains(entry.key.mid(1)))
            gone.append(entry.key.mid(1));
    }
    for (const ListingBuffer::Entry &entry : fresh) {
        if (entry.key.startsWith(QLatin1Char('d')) && !oldNames.contains(entry.key.mid(1)))
            Q_EMIT actionDone(
                    caMakeFolder, m_folder + entry.key.mid(1) + QLatin1Char('\\'), 0, true, true);
    }
    for (const QString &name : gone) {
        const QString path = m_folder + name + QLatin1Char('\\');
        Q_EMIT actionDone(caRemoveFolder, path, 0, true, true);
        m_listingBuffer->removeBelow(path);
    }
}

// Subfolders go ahead of the folders still waiting, in listing order: the walk is depth first,
// each folder before what lies below it. Links are never entered. Past the walk's bounds a
// folder is left out and reported.
void TcFTP::queueSubfolders()
{
    ++m_bufferWalked;
    const ListingBuffer::EntryList *list = m_listingBuffer->entries(m_folder);
    if (!list)
        return;
    QStringList below;
    for (const ListingBuffer::Entry &entry : *list) {
        if (!entry.key.startsWith(QLatin1Char('d')) || entry.fromLink)
            continue;
        const QString path = m_folder + entry.key.mid(1) + QLatin1Char('\\');
        const qsizetype depth = path.startsWith(m_bufferRoot, Qt::CaseInsensitive)
                                        ? path.mid(m_bufferRoot.size()).count(QLatin1Char('\\'))
                                        : 0;
        if (depth > m_maxTreeDepth) {
            Q_EMIT treeWalkBounded(path,
                                   tr("it lies more than %1 levels below '%2'")
                                           .arg(m_maxTreeDepth)
                                           .arg(ConvertPath(m_bufferRoot, SlashForm)));
            continue;
        }
        below.append(path);
    }
    m_bufferFolders = below + m_bufferFolders;
    const qsizetype room = qMax(0, m_maxTreeFolders - m_bufferWalked);
    if (m_bufferFolders.size() > room) {
        const QStringList left = m_bufferFolders.mid(room);
        m_bufferFolders.resize(room);
        Q_EMIT treeWalkBounded(left.first(),
                               tr("one walk lists at most %1 folders (%2 more were left out)")
                                       .arg(m_maxTreeFolders)
                                       .arg(left.size() - 1));
    }
}

// The parser leaves out a line whose name could not be a file name (control characters, "/" or
// "\\"); a line that parses once those characters are replaced was such an entry, and is named.
//   -rw-r--r--    1 0        0               5 Jan 01  2026 esc<ESC>[2J.txt
void TcFTP::reportUnsafeName(const QString &line)
{
    QString plain = line;
    bool changed = false;
    for (QChar &c : plain) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F || (u >= 0x80 && u <= 0x9F) || u == '\\') {
            c = QLatin1Char('_');
            changed = true;
        }
    }
    if (!changed || !ParseListLine(plain, m_listNow))
        return;
    Q_EMIT entryRefused(m_folder, line.trimmed());
}
