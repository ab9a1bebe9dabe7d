// Feeds arbitrary bytes to the listing parser as one listing line and checks what any entry it
// accepts must satisfy.
#include "ftp/listparser.h"
#include "util/hosttext.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QDateTime now(QDate(2026, 1, 10), QTime(12, 0));
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString line = DecodeHostText(bytes);
    check(EncodeHostText(line) == bytes);

    const std::optional<ListEntry> entry = ParseListLine(line, now);
    if (!entry)
        return 0;
    const QString &name = entry->name;
    check(!name.isEmpty() && name != QLatin1String(".") && name != QLatin1String(".."));
    check(line.contains(name));
    for (QChar c : name)
        check(c.unicode() >= 0x20 && c != QLatin1Char('/') && c != QLatin1Char('\\'));
    check(name.front() != QLatin1Char(' ') && name.back() != QLatin1Char(' '));
    check(entry->isFolder ? entry->size == -1 : entry->size >= 0);
    check(entry->dosDateTime == 0 || DosDateTimeToQDateTime(entry->dosDateTime).isValid());
    return 0;
}
