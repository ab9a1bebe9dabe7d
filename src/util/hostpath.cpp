#include "util/hostpath.h"

#include <QStringList>

bool NormaliseHostPath(const QString &path, QChar sep, QString *normalised)
{
    if (!path.startsWith(sep))
        return false;
    QStringList names;
    bool folder = path.endsWith(sep);
    const QList<QStringView> parts = QStringView(path).split(sep);
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QStringView part = parts.at(i);
        const bool last = i + 1 == parts.size();
        if (part.isEmpty())
            continue;
        if (part == u".") {
            folder = folder || last;
            continue;
        }
        if (part == u"..") {
            if (names.isEmpty())
                return false;
            names.removeLast();
            folder = folder || last;
            continue;
        }
        names.append(part.toString());
    }
    QString out(sep);
    out += names.join(sep);
    if (folder && !names.isEmpty())
        out += sep;
    *normalised = out;
    return true;
}

bool IsHostRoot(const QString &path, QChar sep)
{
    QString normalised;
    return NormaliseHostPath(path, sep, &normalised) && normalised.size() == 1;
}
