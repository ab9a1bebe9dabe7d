#include "support/qtprinters.h"

namespace {
void printEscaped(const QByteArray &bytes, std::ostream *out)
{
    static const char hex[] = "0123456789abcdef";
    *out << '"';
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '\r':
            *out << "\\r";
            break;
        case '\n':
            *out << "\\n";
            break;
        case '\t':
            *out << "\\t";
            break;
        case '"':
            *out << "\\\"";
            break;
        case '\\':
            *out << "\\\\";
            break;
        default:
            if (byte < 0x20 || byte >= 0x7f)
                *out << "\\x" << hex[byte >> 4] << hex[byte & 15];
            else
                *out << c;
        }
    }
    *out << '"';
}
} // namespace

void PrintTo(const QByteArray &bytes, std::ostream *out)
{
    printEscaped(bytes, out);
}

void PrintTo(const QString &text, std::ostream *out)
{
    // UTF-8 shown as its bytes, so that lookalike characters stay apart.
    printEscaped(text.toUtf8(), out);
}
