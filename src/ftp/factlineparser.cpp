#include "ftp/factlineparser.h"

#include <QTimeZone>

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

qint64 parseSize(QStringView text)
{
    bool ok = false;
    const qint64 size = text.toLongLong(&ok, 10);
    return ok && size >= 0 && !text.startsWith(u'+') ? size : -1;
}

} // namespace

QDateTime ParseFactTime(QStringView text)
{
    const qsizetype dot = text.indexOf(u'.');
    const QStringView whole = dot < 0 ? text : text.left(dot);
    if (whole.size() != 14)
        return {};
    for (QChar c : whole) {
        if (!c.isDigit() || c.unicode() > '9')
            return {};
    }
    const QDate date(whole.mid(0, 4).toInt(), whole.mid(4, 2).toInt(), whole.mid(6, 2).toInt());
    const QTime time(whole.mid(8, 2).toInt(), whole.mid(10, 2).toInt(), whole.mid(12, 2).toInt());
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
    for (QStringView fact : facts.split(u';', Qt::SkipEmptyParts)) {
        const qsizetype equals = fact.indexOf(u'=');
        if (equals <= 0)
            continue;
        const QStringView key = fact.left(equals);
        const QStringView value = fact.mid(equals + 1);
        if (key.compare(u"type", Qt::CaseInsensitive) == 0)
            type = value;
        else if (key.compare(u"size", Qt::CaseInsensitive) == 0)
            size = parseSize(value);
        else if (key.compare(u"modify", Qt::CaseInsensitive) == 0)
            result.modified = ParseFactTime(value);
        else if (key.compare(u"unique", Qt::CaseInsensitive) == 0)
            result.unique = value.toString();
    }
    if (type.isEmpty() || name.isEmpty())
        return result;
    if (type.compare(u"cdir", Qt::CaseInsensitive) == 0
        || type.compare(u"pdir", Qt::CaseInsensitive) == 0) {
        result.kind = FactLineKind::Skipped;
        return result;
    }
    if (isUnsafeName(name)) {
        result.kind = FactLineKind::Unsafe;
        return result;
    }
    const bool folder = type.compare(u"dir", Qt::CaseInsensitive) == 0;
    const bool link = type.startsWith(u"OS.unix=slink", Qt::CaseInsensitive)
                      || type.startsWith(u"OS.unix=symlink", Qt::CaseInsensitive);
    result.kind = FactLineKind::Entry;
    result.entry.name = name.toString();
    result.entry.isFolder = folder;
    result.entry.fromLink = link;
    result.entry.size = folder ? -1 : size;
    if (result.modified.isValid()) {
        const QDateTime local = result.modified.toLocalTime();
        result.entry.dosDateTime = DosDateTime(local.date(), local.time());
    }
    return result;
}
