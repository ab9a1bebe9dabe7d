#pragma once

#include <QByteArray>
#include <QString>

// Text exchanged with hosts is UTF-8, but a host may send names that are not: such bytes are
// kept as lone surrogates U+DC80..U+DCFF (as Python's surrogateescape does), so that the name
// goes back to the host in exactly the bytes it came in.
QString DecodeHostText(const QByteArray &bytes);
QByteArray EncodeHostText(const QString &text);

// Text for showing (terminal, log, lists, dialogs): control characters (C0 but tab, DEL, C1)
// become "\xHH" and the Unicode bidirectional controls "\u{HHHH}", so that a host cannot move
// the cursor, retitle or clear a terminal, or reorder what is read. A text without them comes
// back unchanged, so shown text can pass through again. Never use it for what is sent.
QString VisibleHostText(const QString &text);
// The same for a dialog's text of several lines: its line breaks stay, each line is shown as
// VisibleHostText shows it.
QString VisibleHostLines(const QString &text);
