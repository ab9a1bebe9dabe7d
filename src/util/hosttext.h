#pragma once

#include <QByteArray>
#include <QString>

// Text exchanged with hosts is UTF-8, but a host may send names that are not: such bytes are
// kept as lone surrogates U+DC80..U+DCFF (as Python's surrogateescape does), so that the name
// goes back to the host in exactly the bytes it came in.
QString DecodeHostText(const QByteArray &bytes);
QByteArray EncodeHostText(const QString &text);
