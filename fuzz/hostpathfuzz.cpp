// Feeds arbitrary bytes, taken as a host path, to the host-path normaliser and checks what any
// normal form must satisfy: no "." or ".." or empty names, the separator kept at both ends as
// given, and a second pass changing nothing.
#include "util/hostpath.h"
#include "util/hosttext.h"

#include <QStringList>

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void checkSeparator(const QString &path, QChar sep)
{
    QString out;
    if (!NormaliseHostPath(path, sep, &out)) {
        check(!path.startsWith(sep) || path.contains(QStringLiteral("..")));
        return;
    }
    check(out.startsWith(sep));
    check(out.size() == 1 || !out.startsWith(QString(sep) + sep));
    const QStringList names = out.split(sep);
    for (qsizetype i = 1; i < names.size(); ++i) {
        const QString &name = names.at(i);
        check(name != QLatin1String(".") && name != QLatin1String(".."));
        check(!name.isEmpty() || i + 1 == names.size());
    }
    if (path.endsWith(sep))
        check(out.endsWith(sep));
    QString again;
    check(NormaliseHostPath(out, sep, &again));
    check(again == out);
    check(IsHostRoot(path, sep) == (out.size() == 1));
    // Nothing is made up: every name of the result was a name of the input.
    const QStringList in = path.split(sep);
    for (const QString &name : names)
        check(name.isEmpty() || in.contains(name));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text
            = DecodeHostText(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    checkSeparator(text, QLatin1Char('/'));
    checkSeparator(text, QLatin1Char('\\'));
    checkSeparator(QLatin1Char('/') + text, QLatin1Char('/'));
    return 0;
}
