// Feeds arbitrary bytes, taken as a typed address, to the command line's address parser (and as
// a path on a saved site's host) and checks what an accepted address must satisfy: a path in
// its one normal form, nothing in it that would end a command line or split a queue entry, and
// no password in an error message.
#include "cli/ftpurl.h"
#include "util/hostpath.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void checkAccepted(const FtpUrl &url)
{
    const QString path = url.path();
    check(path.startsWith(QLatin1Char('/')));
    QString normal;
    check(NormaliseHostPath(path, QLatin1Char('/'), &normal) && normal == path);
    for (QChar c : {QChar(u'\r'), QChar(u'\n'), QChar(u'\0'), QChar(u'*'), QChar(u'\\')})
        check(!path.contains(c));
    check(url.folder().endsWith(QLatin1Char('/')));
    check(url.folder() + url.fileName() == path);
    check(!url.internalPath().contains(QLatin1Char('/')));
    check(url.withoutTrailingSlash().size() <= path.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const QString &typed : {text, QStringLiteral("ftp://") + text}) {
        FtpUrl url;
        QString error;
        if (url.parse(typed, &error)) {
            checkAccepted(url);
            check(!url.host().isEmpty());
            const int port = url.port().toInt();
            check(port >= 1 && port <= 65535);
            check(!url.user().contains(QLatin1Char('\n'))
                  && !url.password().contains(QLatin1Char('\n')));
        } else {
            check(!error.isEmpty());
            // A password of at least four characters never shows in the error.
            const qsizetype at = typed.lastIndexOf(QLatin1Char('@'));
            const qsizetype colon = typed.indexOf(QLatin1Char(':'), 6);
            const qsizetype slash = typed.indexOf(QLatin1Char('/'), 6);
            if (typed.startsWith(QLatin1String("ftp://")) && at > 0 && colon > 0 && colon < at
                && (slash < 0 || slash > colon)) {
                const QString password = typed.mid(colon + 1, at - colon - 1);
                const QString shown = FtpUrl::masked(typed);
                check(!password.isEmpty() ? shown.contains(QLatin1String(":*****@")) : true);
                // Unless the same text stands elsewhere in the address (a user "anna" with a
                // password "ann"), it is not in the error.
                if (password.size() >= 3 && !shown.contains(password))
                    check(!error.contains(password));
            }
        }
        if (url.parsePath(typed, QStringLiteral("/base/"), &error))
            checkAccepted(url);
    }
    return 0;
}
