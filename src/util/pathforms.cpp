#include "util/pathforms.h"

#include "platform/localpath.h"
#include "util/fieldstring.h"

#include <QFileInfo>

namespace {

// "[pub.gnu]readme" -> "/pub/gnu/readme"
void unbracket(QString &path)
{
    if (!path.startsWith(QLatin1Char('[')))
        return;
    const qsizetype close = path.indexOf(QLatin1Char(']'));
    if (close < 0)
        return;
    for (qsizetype i = 0; i < close; ++i) {
        if (path.at(i) == QLatin1Char('.'))
            path[i] = QLatin1Char('/');
    }
    path[0] = QLatin1Char('/');
    path[close] = QLatin1Char('/');
}

// Removes each ".." together with the name before it: "/pub/gnu/../doc/" -> "/pub/doc/".
// A ".." that has no name before it (a relative path starting "../") is kept.
void dropParentSteps(QString &path)
{
    const QChar slash(QLatin1Char('/'));
    while (path.contains(QLatin1String("/../"))) {
        const int count = FieldCount(path, slash);
        int n = 2;
        while (n <= count && Field(path, n, slash) != QLatin1String(".."))
            ++n;
        if (n > count)
            break;
        path = DeleteField(path, n, slash);
        path = DeleteField(path, n - 1, slash);
    }
}

// "/C:/Temp/" -> "C:/Temp/": a drive letter is never below a root. "/pub/a:b.txt" stays.
void dropSlashBeforeDrive(QString &path)
{
    if (path.size() >= 4 && path.at(0) == QLatin1Char('/') && path.at(1).isLetter()
        && path.at(1).unicode() < 128 && path.at(2) == QLatin1Char(':')
        && path.at(3) == QLatin1Char('/'))
        path.remove(0, 1);
}

QString bracketForm(const QString &slashPath)
{
    if (slashPath.size() == 1)
        return QStringLiteral("[]");
    QString inner;
    if (slashPath.startsWith(QLatin1Char('/')))
        inner = slashPath.mid(1, slashPath.size() - 2);
    else // relative: "pub/gnu/" -> "[.pub.gnu]", no character lost
        inner = QLatin1Char('.') + slashPath.left(slashPath.size() - 1);
    inner.replace(QLatin1Char('/'), QLatin1Char('.'));
    return QLatin1Char('[') + inner + QLatin1Char(']');
}

} // namespace

QString ConvertPath(const QString &path, int form)
{
    QString result = path;
    unbracket(result);
    result += QLatin1Char('/');
    result.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (result.contains(QLatin1String("//")))
        result.replace(QLatin1String("//"), QLatin1String("/"));
    dropParentSteps(result);
    dropSlashBeforeDrive(result);
    if (result.isEmpty())
        result = QStringLiteral("/");

    switch (form) {
    case BackslashForm:
        result.replace(QLatin1Char('/'), QLatin1Char('\\'));
        return result;
    case BracketForm:
        return bracketForm(result);
    default:
        return result;
    }
}

QString StripIllegalChars(const QString &name)
{
    static const QString illegal = QStringLiteral("\\/:*?\"<>|");
    QString result;
    result.reserve(name.size());
    for (const QChar c : name) {
        if (!illegal.contains(c))
            result += c;
    }
    return result;
}

bool FolderExists(const QString &path)
{
    const QString internal = ConvertPath(path, BackslashForm);
    if (internal == QLatin1String("\\"))
        return true; // the top level always exists
    const QString native = LocalToNative(internal);
    return !native.isEmpty() && QFileInfo(native).isDir();
}

QString NodePath(const PathNode *node, QChar sep)
{
    QString result;
    for (const PathNode *n = node; n; n = n->pathParent())
        result.prepend(n->pathCaption() + sep);
    return result;
}
