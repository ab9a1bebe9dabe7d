// A time zone for the scope (a TZ value; a POSIX rule such as "XST8" needs no zone data), then
// the one before, or none.
#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <ctime>

namespace ovtest {

struct ZoneScope
{
    explicit ZoneScope(const char *zone) { set(zone); }
    ~ZoneScope() { set(had ? old.constData() : nullptr); }
    static void set(const char *zone)
    {
        zone ? qputenv("TZ", zone) : qunsetenv("TZ");
        tzset();
    }
    const bool had = qEnvironmentVariableIsSet("TZ");
    const QByteArray old = qgetenv("TZ");
};

} // namespace ovtest
