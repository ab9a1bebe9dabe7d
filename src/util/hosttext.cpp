#include "util/hosttext.h"

#include <QStringList>

namespace {

constexpr char16_t EscapeBase = 0xDC00; // an invalid byte b becomes U+DC00 + b (b >= 0x80)

bool isAscii(const char *data, qsizetype size)
{
    for (qsizetype i = 0; i < size; ++i) {
        if (static_cast<unsigned char>(data[i]) >= 0x80)
            return false;
    }
    return true;
}

// Length of the well-formed UTF-8 sequence at p (lead byte >= 0x80), or 0 when it is not one.
// Rejects overlong forms, encoded surrogates and code points above U+10FFFF.
int sequenceLength(const unsigned char *p, qsizetype left, char32_t *codePoint)
{
    const unsigned char lead = p[0];
    int length;
    unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (left < length || p[1] < low || p[1] > high)
        return 0;
    for (int i = 2; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
    }
    char32_t cp = lead & (0xFF >> (length + 1));
    for (int i = 1; i < length; ++i)
        cp = (cp << 6) | (p[i] & 0x3F);
    *codePoint = cp;
    return length;
}

void appendUtf8(QByteArray &out, char32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

} // namespace

QString DecodeHostText(const QByteArray &bytes)
{
    if (isAscii(bytes.constData(), bytes.size()))
        return QString::fromLatin1(bytes);

    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype size = bytes.size();
    QString out;
    out.reserve(size);
    qsizetype i = 0;
    while (i < size) {
        if (p[i] < 0x80) {
            out += QChar(char16_t(p[i]));
            ++i;
            continue;
        }
        char32_t cp = 0;
        const int length = sequenceLength(p + i, size - i, &cp);
        if (length == 0) {
            out += QChar(char16_t(EscapeBase + p[i]));
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            out += QChar(QChar::highSurrogate(cp));
            out += QChar(QChar::lowSurrogate(cp));
        } else {
            out += QChar(char16_t(cp));
        }
        i += length;
    }
    return out;
}

QByteArray EncodeHostText(const QString &text)
{
    const char16_t *u = reinterpret_cast<const char16_t *>(text.constData());
    const qsizetype size = text.size();
    qsizetype i = 0;
    while (i < size && u[i] < 0x80)
        ++i;
    if (i == size)
        return text.toLatin1();

    QByteArray out;
    out.reserve(size + size / 2);
    for (i = 0; i < size; ++i) {
        const char16_t c = u[i];
        if (QChar::isHighSurrogate(c) && i + 1 < size && QChar::isLowSurrogate(u[i + 1])) {
            appendUtf8(out, QChar::surrogateToUcs4(c, u[i + 1]));
            ++i;
        } else if (c >= EscapeBase + 0x80 && c <= EscapeBase + 0xFF) {
            out += char(c - EscapeBase); // a byte that came in as it was
        } else if (QChar::isSurrogate(c)) {
            appendUtf8(out, 0xFFFD); // a lone surrogate has no UTF-8 form
        } else {
            appendUtf8(out, c);
        }
    }
    return out;
}

namespace {

bool hidesOrControls(char16_t c)
{
    if (c < 0x20)
        return c != u'\t';
    if (c >= 0x7F && c <= 0x9F)
        return true;
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E)
           || (c >= 0x2066 && c <= 0x2069);
}

} // namespace

QString VisibleHostText(const QString &text)
{
    const char16_t *u = reinterpret_cast<const char16_t *>(text.constData());
    const qsizetype size = text.size();
    qsizetype i = 0;
    while (i < size && !hidesOrControls(u[i]))
        ++i;
    if (i == size)
        return text;

    QString out = text.left(i);
    out.reserve(size + 16);
    for (; i < size; ++i) {
        const char16_t c = u[i];
        if (!hidesOrControls(c))
            out += QChar(c);
        else if (c <= 0xFF)
            out += QLatin1String("\\x") + QString::number(c, 16).toUpper().rightJustified(2, u'0');
        else
            out += QLatin1String("\\u{") + QString::number(c, 16).toUpper() + QLatin1Char('}');
    }
    return out;
}

QString VisibleHostLines(const QString &text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString &line : lines)
        line = VisibleHostText(line);
    return lines.join(QLatin1Char('\n'));
}
