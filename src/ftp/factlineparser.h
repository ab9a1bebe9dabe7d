#pragma once

#include "ftp/listparser.h"

#include <QDateTime>
#include <QStringView>

// One line of an MLSD listing: facts, a space, the name.
//     type=file;size=1048576;modify=20260102030405;perm=r; a.bin
//     type=OS.unix=slink:/pub/target;size=6;modify=20260102030405; link
// What a line says of one entry.
enum class FactLineKind {
    Entry,     // a file, a folder or a link: in entry
    Skipped,   // the folder itself or its parent (type=cdir, type=pdir): never stored or walked
    Unsafe,    // a name that could leave its folder as a local path ("/", "\", control
               // characters, "." or ".."): refused
    Malformed, // no facts, no name: not an entry at all
};

struct FactLine
{
    FactLineKind kind = FactLineKind::Malformed;
    ListEntry entry;    // name, size (-1 for folders), date shown in local time, fromLink
    QDateTime modified; // the modify fact in UTC, to the second; invalid when the host gave none
    QString unique;     // the unique fact: the same for every name of one folder; may be empty
};

// Facts are matched without regard to case. A link (type=OS.unix=slink or OS.unix=symlink) is
// shown as a file and never walked into, whatever it points to. The entry's MS-DOS date is the
// modify fact turned to local time.
FactLine ParseFactLine(QStringView line);

// "20260102030405" or "20260102030405.123" (UTC) as a date; invalid for anything else.
QDateTime ParseFactTime(QStringView text);
