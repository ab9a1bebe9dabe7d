#pragma once

#include <QString>

// How a line sent to a host appears in the log and in the log-in information lines. A password
// never appears: "PASS secret" and "pass secret" both become "pass *****".

// True for a command line that carries a password ("pass " in any letter case).
bool IsPasswordLine(const QString &sent);
// The log text of a sent line, without its kind mark: "pass *****" or the line unchanged.
QString SentTextForLog(const QString &sent);
// The log-in information line for a line sent during login; empty when it adds none.
QString SentTextForLoginInfo(const QString &sent);
