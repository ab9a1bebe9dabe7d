// Lines per second of the listing parser alone, over a mix of real line shapes: Unix lines with
// and without owner and group, with a time or a year, links, and DOS lines. Built only with
// -DORVANE_BENCH=ON (bench/listparser.sh does that).
#include "ftp/listparser.h"
#include "util/hosttext.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QString>

#include <cstdio>
#include <cstdlib>

namespace {

QList<QByteArray> sampleLines(int count)
{
    static const char *const shapes[] = {
            "-rw-r--r--    1 ftp      ftp        %d Jan 05 12:%02d report-%d.txt",
            "drwxr-xr-x    2 ftp      ftp          4096 Mar 01  2020 folder %d",
            "-rw-r--r--   1 owner   %d Dec 24 08:%02d no group %d.bin",
            "-rw-r--r--   1 %d Jul  7 23:%02d neither-%d.c",
            "lrwxrwxrwx    1 0        0              %d Jun 30 10:%02d link-%d -> target",
            "01-25-98  10:%02dAM       %d dos file %d.zip",
            "12-31-99  11:%02dPM       <DIR>          dos folder %d",
    };
    QList<QByteArray> lines;
    lines.reserve(count);
    for (int i = 0; i < count; ++i) {
        const int shape = i % int(std::size(shapes));
        char line[200];
        switch (shape) {
        case 1:
            std::snprintf(line, sizeof line, shapes[shape], i);
            break;
        case 5:
            std::snprintf(line, sizeof line, shapes[shape], i % 60, 1000 + i, i);
            break;
        case 6:
            std::snprintf(line, sizeof line, shapes[shape], i % 60, i);
            break;
        default:
            std::snprintf(line, sizeof line, shapes[shape], 1000 + i, i % 60, i);
            break;
        }
        lines.append(QByteArray(line));
    }
    return lines;
}

} // namespace

int main(int argc, char **argv)
{
    const int lineCount = argc > 1 ? std::atoi(argv[1]) : 100000;
    const double seconds = argc > 2 ? std::atof(argv[2]) : 3.0;
    const QList<QByteArray> raw = sampleLines(lineCount);
    QList<QString> decoded;
    decoded.reserve(raw.size());
    for (const QByteArray &line : raw)
        decoded.append(DecodeHostText(line));
    const QDateTime now = QDateTime::currentDateTime();

    // Parser alone, on decoded lines.
    qint64 parsed = 0;
    qint64 accepted = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < qint64(seconds * 1000)) {
        for (const QString &line : decoded)
            accepted += ParseListLine(line, now).has_value() ? 1 : 0;
        parsed += decoded.size();
    }
    const double parserRate = double(parsed) * 1000.0 / double(clock.elapsed());

    // Decoding the host's bytes and parsing, as a listing does line by line.
    qint64 decodedParsed = 0;
    clock.restart();
    while (clock.elapsed() < qint64(seconds * 1000)) {
        for (const QByteArray &line : raw)
            accepted += ParseListLine(DecodeHostText(line), now).has_value() ? 1 : 0;
        decodedParsed += raw.size();
    }
    const double fullRate = double(decodedParsed) * 1000.0 / double(clock.elapsed());

    if (accepted != parsed + decodedParsed) {
        std::fprintf(stderr,
                     "listparser bench: %lld of %lld lines rejected\n",
                     (long long)(parsed + decodedParsed - accepted),
                     (long long)(parsed + decodedParsed));
        return 1;
    }
    std::printf("ParseListLine alone:          %10.0f lines/s\n", parserRate);
    std::printf("decode + ParseListLine:       %10.0f lines/s\n", fullRate);
    return 0;
}
