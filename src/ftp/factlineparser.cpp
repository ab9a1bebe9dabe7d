#include "ftp/factlineparser.h"

#include <QTimeZone>

#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>

namespace {

bool isUnsafeName(QStringView name)
{
    if (name.isEmpty() || name == u"." || name == u"..")
        return true;
    for (QChar c : name) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F || (u >= 0x80 && u <= 0x9F) || u == '/' || u == '\\')
            return true;
    }
    return false;
}

// True when text is word, ASCII letters without regard to case; word is lower case. Quicker
// than Qt's comparison without regard to case, which folds every character through its tables,
// for the few words of every line of a long listing.
bool isWord(QStringView text, std::u16string_view word)
{
    if (text.size() != qsizetype(word.size()))
        return false;
    for (size_t i = 0; i < word.size(); ++i) {
        const char16_t c = text[qsizetype(i)].unicode();
        if ((c >= u'A' && c <= u'Z' ? c + 32 : c) != word[i])
            return false;
    }
    return true;
}

// The local date and time of a UTC time. Every local conversion asks the system whether the time
// zone changed, a file-system lookup each: a listing of 50,000 entries spent more time there
// than in parsing. Offsets change only at whole quarter hours, so the offset found for one
// quarter hour serves every time in it, as long as TZ stays the same.
QDateTime localWallClock(const QDateTime &utc)
{
    constexpr qint64 Quarter = 15 * 60;
    thread_local qint64 cachedQuarter = std::numeric_limits<qint64>::min();
    thread_local int cachedOffset = 0;
    thread_local std::string cachedZone;
    const char *zone = std::getenv("TZ");
    const qint64 seconds = utc.toSecsSinceEpoch();
    const qint64 quarter = seconds >= 0 ? seconds / Quarter : (seconds - Quarter + 1) / Quarter;
    if (quarter != cachedQuarter || cachedZone != (zone ? zone : "")) {
        cachedOffset = QDateTime::fromSecsSinceEpoch(quarter * Quarter, Qt::UTC)
                               .toLocalTime()
                               .offsetFromUtc();
        cachedQuarter = quarter;
        cachedZone = zone ? zone : "";
    }
    return QDateTime::fromSecsSinceEpoch(seconds + cachedOffset, Qt::UTC);
}

// Decimal digits only, read here: the locale-aware conversion costs more than the rest of a
// line's parsing. Anything else, or a number past qint64, is no size.
qint64 parseSize(QStringView text)
{
    if (text.isEmpty())
        return -1;
    qint64 size = 0;
    for (const QChar c : text) {
        const char16_t digit = c.unicode() - u'0';
        if (digit > 9 || size > (std::numeric_limits<qint64>::max() - digit) / 10)
            return -1;
        size = size * 10 + digit;
    }
    return size;
}

// The number in count ASCII digits from text[at] (checked to be digits beforehand).
int digitsAt(QStringView text, qsizetype at, qsizetype count)
{
    int value = 0;
    for (qsizetype i = at; i < at + count; ++i)
        value = value * 10 + (text[i].unicode() - u'0');
    return value;
}

} // namespace

QDateTime ParseFactTime(QStringView text)
{
    const qsizetype dot = text.indexOf(u'.');
    const QStringView whole = dot < 0 ? text : text.left(dot);
    if (whole.size() != 14)
        return {};
    for (QChar c : whole) {
        if (c.unicode() < u'0' || c.unicode() > u'9')
            return {};
    }
    const QDate date(digitsAt(whole, 0, 4), digitsAt(whole, 4, 2), digitsAt(whole, 6, 2));
    const QTime time(digitsAt(whole, 8, 2), digitsAt(whole, 10, 2), digitsAt(whole, 12, 2));
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time, Qt::UTC);
}

FactLine ParseFactLine(QStringView line)
{
    FactLine result;
    // The facts end at the first space; the name is everything after it, spaces included.
    const qsizetype space = line.indexOf(u' ');
    if (space < 0)
        return result;
    const QStringView facts = line.left(space);
    const QStringView name = line.mid(space + 1);
    QStringView type;
    qint64 size = -1;
    for (qsizetype start = 0; start < facts.size();) {
        qsizetype end = facts.indexOf(u';', start);
        if (end < 0)
            end = facts.size();
        const QStringView fact = facts.mid(start, end - start);
        start = end + 1;
        const qsizetype equals = fact.indexOf(u'=');
        if (equals <= 0)
            continue;
        const QStringView key = fact.left(equals);
        const QStringView value = fact.mid(equals + 1);
        if (isWord(key, u"type"))
            type = value;
        else if (isWord(key, u"size"))
            size = parseSize(value);
        else if (isWord(key, u"modify"))
            result.modified = ParseFactTime(value);
        else if (isWord(key, u"unique"))
            result.unique = value.toString();
    }
    if (type.isEmpty() || name.isEmpty())
        return result;
    if (isWord(type, u"cdir") || isWord(type, u"pdir")) {
        result.kind = FactLineKind::Skipped;
        return result;
    }
    if (isUnsafeName(name)) {
        result.kind = FactLineKind::Unsafe;
        return result;
    }
    const bool folder = isWord(type, u"dir");
    const bool link
            = isWord(type.left(13), u"os.unix=slink") || isWord(type.left(15), u"os.unix=symlink");
    result.kind = FactLineKind::Entry;
    result.entry.name = name.toString();
    result.entry.isFolder = folder;
    result.entry.fromLink = link;
    result.entry.size = folder ? -1 : size;
    if (result.modified.isValid()) {
        const QDateTime local = localWallClock(result.modified);
        result.entry.dosDateTime = DosDateTime(local.date(), local.time());
    }
    return result;
}
