#include "sessiontext.h"

bool IsPasswordLine(const QString &sent)
{
    return sent.startsWith(QLatin1String("pass "), Qt::CaseInsensitive);
}

QString SentTextForLog(const QString &sent)
{
    return IsPasswordLine(sent) ? QStringLiteral("pass *****") : sent;
}

QString SentTextForLoginInfo(const QString &sent)
{
    if (sent.startsWith(QLatin1String("user "), Qt::CaseInsensitive))
        return QStringLiteral("Sending username to host (") + sent + QLatin1Char(')');
    if (IsPasswordLine(sent))
        return QStringLiteral("Sending password to host (pass *****)");
    return {};
}
