#include "cli/ftpurl.h"

#include "util/hostpath.h"
#include "util/hosttext.h"

namespace {

int hexValue(QChar c)
{
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        return c.unicode() - '0';
    if (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
        return c.unicode() - 'a' + 10;
    if (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
        return c.unicode() - 'A' + 10;
    return -1;
}

// Replaces every "%XX" by its byte. The bytes are taken as host text, so a name that is not
// UTF-8 ("%E9t%E9.txt") still reaches the host in exactly those bytes.
bool percentDecode(const QString &text, QString *decoded)
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray bytes;
    bytes.reserve(utf8.size());
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        if (utf8.at(i) != '%') {
            bytes.append(utf8.at(i));
            continue;
        }
        if (i + 2 >= utf8.size())
            return false;
        const int high = hexValue(QLatin1Char(utf8.at(i + 1)));
        const int low = hexValue(QLatin1Char(utf8.at(i + 2)));
        if (high < 0 || low < 0)
            return false;
        bytes.append(char(high * 16 + low));
        i += 2;
    }
    *decoded = DecodeHostText(bytes);
    return true;
}

// CR, LF or NUL inside a command argument would end the command line early and let the rest
// go to the host as a command of its own.
bool breaksCommandLine(const QString &text)
{
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'))
           || text.contains(QChar(0));
}

// The schemes an address may start with, and how each protects the connection.
struct SchemeForm
{
    QLatin1String prefix;
    FtpUrl::Scheme scheme;
    const char *defaultPort;
};
constexpr SchemeForm Schemes[] = {
        {QLatin1String("ftp://"), FtpUrl::Ftp, "21"},
        {QLatin1String("ftpes://"), FtpUrl::Ftpes, "21"},
        {QLatin1String("ftps://"), FtpUrl::Ftps, "990"},
};

const SchemeForm *schemeOf(const QString &text)
{
    for (const SchemeForm &form : Schemes) {
        if (text.startsWith(form.prefix, Qt::CaseInsensitive))
            return &form;
    }
    return nullptr;
}

} // namespace

bool FtpUrl::parse(const QString &text, QString *error)
{
    *this = FtpUrl();
    // Whatever is said about the address shows it with its password masked.
    const QString shown = masked(text);
    const SchemeForm *form = schemeOf(text);
    if (!form) {
        *error = QStringLiteral("'%1' is not an ftp://, ftpes:// or ftps:// address").arg(shown);
        return false;
    }
    m_scheme = form->scheme;
    m_port = QLatin1String(form->defaultPort);
    const QString rest = text.mid(form->prefix.size());
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    QString authority = slash < 0 ? rest : rest.left(slash);
    const QString rawPath = slash < 0 ? QStringLiteral("/") : rest.mid(slash);

    // The last "@" ends the user part, so an unescaped "@" inside a password still works.
    const qsizetype at = authority.lastIndexOf(QLatin1Char('@'));
    if (at >= 0) {
        const QString userInfo = authority.left(at);
        authority = authority.mid(at + 1);
        const qsizetype colon = userInfo.indexOf(QLatin1Char(':'));
        const QString rawUser = colon < 0 ? userInfo : userInfo.left(colon);
        if (!percentDecode(rawUser, &m_user)) {
            *error = QStringLiteral("bad %-escape in the user name of '%1'").arg(shown);
            return false;
        }
        m_hasUser = !m_user.isEmpty();
        if (colon >= 0) {
            if (!percentDecode(userInfo.mid(colon + 1), &m_password)) {
                *error = QStringLiteral("bad %-escape in the password of '%1'").arg(shown);
                return false;
            }
            m_hasPassword = true;
        }
        if (breaksCommandLine(m_user) || breaksCommandLine(m_password)) {
            *error = QStringLiteral("user name or password of '%1' holds a line break").arg(shown);
            return false;
        }
    }

    const qsizetype colon = authority.lastIndexOf(QLatin1Char(':'));
    m_host = colon < 0 ? authority : authority.left(colon);
    if (m_host.isEmpty()) {
        *error = QStringLiteral("'%1' names no host").arg(shown);
        return false;
    }
    if (colon >= 0 && colon + 1 < authority.size()) {
        const QString port = authority.mid(colon + 1);
        bool ok = port.size() <= 5;
        for (const QChar c : port)
            ok = ok && c >= QLatin1Char('0') && c <= QLatin1Char('9');
        const int number = ok ? port.toInt() : 0;
        if (number < 1 || number > 65535) {
            *error = QStringLiteral("the port of '%1' is not a number from 1 to 65535").arg(shown);
            return false;
        }
        m_port = QString::number(number);
        m_hasPort = true;
    }

    QString path;
    if (!percentDecode(rawPath, &path)) {
        *error = QStringLiteral("bad %-escape in the path of '%1' (write % as %25)").arg(shown);
        return false;
    }
    return setPath(path, shown, error);
}

bool FtpUrl::parsePath(const QString &text, const QString &baseFolder, QString *error)
{
    *this = FtpUrl();
    m_host.clear();
    m_port.clear();
    static const QString scheme = QStringLiteral("ftp://");
    if (text.startsWith(scheme, Qt::CaseInsensitive)) {
        const QString rest = text.mid(scheme.size());
        if (!rest.startsWith(QLatin1Char('/'))) {
            *error = QStringLiteral("'%1' names a host; with a saved site give only the path "
                                    "(ftp:///path or /path)")
                             .arg(text);
            return false;
        }
        QString path;
        if (!percentDecode(rest, &path)) {
            *error = QStringLiteral("bad %-escape in the path of '%1' (write % as %25)").arg(text);
            return false;
        }
        return setPath(path, text, error);
    }
    if (text.startsWith(QLatin1Char('/')))
        return setPath(text, text, error);
    QString base = baseFolder.isEmpty() ? QStringLiteral("/") : baseFolder;
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    return setPath(base + text, text, error);
}

bool FtpUrl::setPath(const QString &path, const QString &text, QString *error)
{
    // One spelling per path: "//", "/./" and "/pub/../" are all the root, and only that form is
    // checked and sent.
    if (!NormaliseHostPath(path, QLatin1Char('/'), &m_path)) {
        *error = QStringLiteral("the path of '%1' climbs above the host's root folder").arg(text);
        return false;
    }
    if (breaksCommandLine(m_path)) {
        *error = QStringLiteral("the path of '%1' holds a line break or NUL").arg(text);
        return false;
    }
    // The session's command lines use "*" between their arguments and "\" between the names
    // of a host path, so neither can be part of a name sent through them.
    if (m_path.contains(QLatin1Char('*')) || m_path.contains(QLatin1Char('\\'))) {
        *error = QStringLiteral("names holding '*' or '\\' cannot be sent (in '%1')").arg(text);
        return false;
    }
    return true;
}

QString FtpUrl::fileName() const
{
    return m_path.mid(m_path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString FtpUrl::folder() const
{
    return m_path.left(m_path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString FtpUrl::internalPath() const
{
    QString path = m_path;
    return path.replace(QLatin1Char('/'), QLatin1Char('\\'));
}

QString FtpUrl::withoutTrailingSlash() const
{
    if (m_path.size() > 1 && isFolder())
        return m_path.chopped(1);
    return m_path;
}

QString FtpUrl::masked(const QString &text)
{
    // Everything between the first ":" after the scheme and the last "@" counts as the
    // password, unless a "/" comes before that ":" (then the ":" lies in the path). A password
    // holding an unescaped "/" is still masked; at worst more is masked than needed.
    const SchemeForm *form = schemeOf(text);
    if (!form)
        return text;
    const qsizetype at = text.lastIndexOf(QLatin1Char('@'));
    const qsizetype colon = text.indexOf(QLatin1Char(':'), form->prefix.size());
    if (at < 0 || colon < 0 || colon > at)
        return text;
    const qsizetype slash = text.indexOf(QLatin1Char('/'), form->prefix.size());
    if (slash >= 0 && slash < colon)
        return text;
    return text.left(colon + 1) + QStringLiteral("*****") + text.mid(at);
}
