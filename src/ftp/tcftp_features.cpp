// What today's hosts add to the old dialogue: the features a host offers (FEAT), UTF-8 names,
// extended passive mode (EPSV).
#include "ftp/tcftp.h"

#include "ftp/factlineparser.h"
#include "util/pathforms.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimeZone>

#include <utility>

bool TcFTP::isRefusal(const QString &code)
{
    // 500 unknown command, 501 bad arguments, 502 not implemented, 504 not for this argument.
    return code == QLatin1String("500") || code == QLatin1String("501")
           || code == QLatin1String("502") || code == QLatin1String("504");
}

bool TcFTP::UsesEpsv() const
{
    if (m_epsvRefused)
        return false;
    return m_control->PeerIsIPv6() || HostOffers(QStringLiteral("EPSV"));
}

// The answer to FEAT: one feature a line, each line starting with a space:
//     211-Features supported:
//      EPRT
//      MLST type*;perm*;size*;modify*;unique*;unix.mode;unix.uid;unix.gid;
//      UTF8
//     211 End FEAT.
// Anything but 211 is a host without features: it gets the old dialogue.
void TcFTP::featReplied()
{
    const QStringList lines = std::exchange(m_featLines, {});
    m_features.clear();
    if (m_inCmd != QLatin1String("211"))
        return;
    for (const QString &line : lines) {
        // The first line ("211-Features:") carries the code; some hosts leave out the space
        // before each feature.
        if (line.startsWith(m_inCmd))
            continue;
        const QString feature = line.trimmed();
        if (feature.isEmpty())
            continue;
        const qsizetype space = feature.indexOf(QLatin1Char(' '));
        const QString name = (space < 0 ? feature : feature.left(space)).toUpper();
        m_features.insert(name, space < 0 ? QString() : feature.mid(space + 1).trimmed());
    }
    // Hosts that offer UTF8 may still send names in another character set until asked; the
    // answer does not matter (some say 501 and use UTF-8 anyway).
    // A legacy character set chosen for the site is what the host's names are in: it is not
    // switched.
    if (HostOffers(QStringLiteral("UTF8")) && !m_nameCodec.isLegacy())
        m_commandQueue.prepend(QStringLiteral("opts utf8 on"));
    const MlstFacts facts = mlstFacts();
    m_mlstUnique = facts.uniqueByDefault;
    if (facts.askAfterLogin) {
        m_mlstUnique = false;
        m_commandQueue.prepend(QStringLiteral("opts mlst ") + facts.plain);
    }
}

// What the host is asked to send with each MLSD entry: the facts a listing reads (type, size,
// modify) in the host's spelling, and for a tree walk unique as well (links are told apart by
// it). Every fact left out is work the host does and text sent for every entry (pyftpdlib
// spends a fifth of a long listing's time on unique alone):
//     MLST type*;perm*;size*;modify*;unique*;unix.mode;unix.uid;unix.gid;
// The argument for "opts mlst" is empty when the host cannot be asked (no type fact). A host
// that sends either set by default is not asked at all, which keeps a round trip.
TcFTP::MlstFacts TcFTP::mlstFacts() const
{
    MlstFacts facts;
    bool typed = false;
    bool plainByDefault = true;
    bool walkByDefault = true;
    const QString offered = m_features.value(QStringLiteral("MLST"));
    for (const QString &item : offered.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const bool byDefault = item.endsWith(QLatin1Char('*'));
        const QString name = byDefault ? item.chopped(1) : item;
        const bool unique = name.compare(QLatin1String("unique"), Qt::CaseInsensitive) == 0;
        const bool read = name.compare(QLatin1String("type"), Qt::CaseInsensitive) == 0
                          || name.compare(QLatin1String("size"), Qt::CaseInsensitive) == 0
                          || name.compare(QLatin1String("modify"), Qt::CaseInsensitive) == 0;
        if (read)
            facts.plain += name + QLatin1Char(';');
        if (read || unique)
            facts.walk += name + QLatin1Char(';');
        typed = typed || name.compare(QLatin1String("type"), Qt::CaseInsensitive) == 0;
        facts.uniqueOffered = facts.uniqueOffered || unique;
        facts.uniqueByDefault = facts.uniqueByDefault || (unique && byDefault);
        plainByDefault = plainByDefault && read == byDefault;
        walkByDefault = walkByDefault && (read || unique) == byDefault;
    }
    if (!typed) {
        facts.plain.clear();
        facts.walk.clear();
    }
    facts.askAfterLogin = typed && !plainByDefault && !walkByDefault;
    return facts;
}

// Before a tree walk's first MLSD: a host that was asked to leave unique out is asked for it.
void TcFTP::askUniqueForWalk()
{
    const MlstFacts facts = mlstFacts();
    if (m_mlstUnique || !facts.uniqueOffered || facts.walk.isEmpty())
        return;
    m_mlstUnique = true;
    m_commandQueue.prepend(QStringLiteral("opts mlst ") + facts.walk);
}

// 229 Entering Extended Passive Mode (|||6446|): only the port is given, the address is the
// control connection's. A host that does not know EPSV is asked with PASV from now on, and the
// transfer waiting behind it goes ahead with that.
void TcFTP::epsvReplied()
{
    if (m_inCmd == QLatin1String("229")) {
        static const QRegularExpression port(QStringLiteral("\\((.)\\1\\1(\\d+)\\1\\)"));
        const QRegularExpressionMatch match = port.match(m_replyLine);
        bool ok = false;
        const int number = match.hasMatch() ? match.captured(2).toInt(&ok) : -1;
        openPassiveConnection(ok ? number : -1);
        return;
    }
    if (isRefusal(m_inCmd) && !m_epsvRefused) {
        m_epsvRefused = true;
        m_commandQueue.prepend(QStringLiteral("pasv"));
        return;
    }
    dataConnectionRefused();
}

QString TcFTP::downloadTimeCommand(const QString &folder, const QString &name)
{
    m_downloadModified = QDateTime();
    const ListingBuffer::Entry *entry
            = m_listingBuffer ? m_listingBuffer->find(folder, QLatin1Char('f') + name) : nullptr;
    if (entry && entry->modified.isValid()) {
        m_downloadModified = entry->modified;
        return QString();
    }
    // A LIST date is only to the minute, or to the day for older files.
    if (!HostOffers(QStringLiteral("MDTM")))
        return QString();
    return QStringLiteral("mdtm ") + ConvertPath(folder, SlashForm) + name;
}

// 213 20260102030405
void TcFTP::mdtmReplied()
{
    if (!m_downloading || m_inCmd != QLatin1String("213"))
        return;
    m_downloadModified = ParseFactTime(m_replyLine.mid(4).trimmed());
}

void TcFTP::stampDownload()
{
    if (!m_downloadModified.isValid())
        return;
    QFile file(m_localFile);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append)
        || !file.setFileTime(m_downloadModified, QFileDevice::FileModificationTime))
        Q_EMIT warning(tr("Could not give %1 the host's modification time: %2")
                               .arg(m_localFile, file.errorString()));
}

bool TcFTP::queueUploadTime()
{
    if (!HostOffers(QStringLiteral("MFMT")))
        return false;
    const QDateTime modified = QFileInfo(m_localFile).lastModified().toUTC();
    if (!modified.isValid())
        return false;
    m_commandQueue.prepend(QStringLiteral("mfmt %1 %2")
                                   .arg(modified.toString(QStringLiteral("yyyyMMddHHmmss")),
                                        ConvertPath(m_ioDstFolder, SlashForm) + m_ioDstFile));
    return true;
}

// 213 1048576
void TcFTP::sizeReplied()
{
    const qint64 candidate = std::exchange(m_resumeCandidate, -1);
    bool ok = false;
    const qint64 size = m_replyLine.mid(4).trimmed().toLongLong(&ok);
    if (!m_downloading || m_inCmd != QLatin1String("213") || !ok || size < 0)
        return;
    m_ioSize = size;
    if (candidate <= 0 || candidate >= size)
        return;
    // Resume from the local size when it is smaller than the host's: REST goes right before
    // the RETR that is still queued.
    for (qsizetype i = 0; i < m_commandQueue.size(); ++i) {
        if (m_commandQueue.at(i).startsWith(QLatin1String("retr "))) {
            m_ioPos = candidate;
            m_commandQueue.insert(i, QStringLiteral("rest ") + QString::number(candidate));
            return;
        }
    }
}
