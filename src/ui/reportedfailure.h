#pragma once

#include <QString>

#include <functional>

// Where an unexpected failure inside one of the window's routines stops: the routine ends
// there, its internal-error line (for example "!!: Error u2-251 - Please Report to Author.")
// goes to the log through log, and the program goes on. Returns whether work ran to its end.
template<typename Work>
bool RunReportingFailure(const std::function<void(const QString &)> &log,
                         const char *line,
                         Work &&work)
{
    try {
        work();
        return true;
    } catch (...) {
        if (log)
            log(QString::fromLatin1(line));
    }
    return false;
}
