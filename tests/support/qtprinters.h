// How GoogleTest shows Qt strings in failure messages: as quoted text with C escapes, instead
// of as lists of bytes or of 2-byte objects. Included by the test support headers.
#pragma once

#include <QByteArray>
#include <QString>

#include <ostream>

void PrintTo(const QByteArray &bytes, std::ostream *out);
void PrintTo(const QString &text, std::ostream *out);
