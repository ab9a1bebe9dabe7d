#include "support/qtprinters.h"

#include <cstring>

void PrintTo(const QByteArray &bytes, std::ostream *out)
{
    static const char hex[] = "0123456789abcdef";
    static const char plain[] = "\r\n\t\"\\", shown[] = "rnt\"\\";
    *out << '"';
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (const char *at = c ? std::strchr(plain, c) : nullptr)
            *out << '\\' << shown[at - plain];
        else if (byte < 0x20 || byte >= 0x7f)
            *out << "\\x" << hex[byte >> 4] << hex[byte & 15];
        else
            *out << c;
    }
    *out << '"';
}

void PrintTo(const QString &text, std::ostream *out)
{
    // UTF-8 shown as its bytes, so that lookalike characters stay apart.
    PrintTo(text.toUtf8(), out);
}
