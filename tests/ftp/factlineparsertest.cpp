// MLSD lines: what becomes an entry, what is skipped or refused.
#include "ftp/factlineparser.h"

#include <limits>

#include <gtest/gtest.h>

TEST(FactLineParser, EntriesSkipsAndRefusals)
{
    // clang-format off
    struct Row { const char *line; FactLineKind kind; const char *name; qint64 size; bool folder; bool link; };
    const Row rows[] = {
            {"type=file;size=1048576;modify=20260102030405;perm=r; a.bin", FactLineKind::Entry, "a.bin", 1048576, false, false},
            {"Type=File;Size=5;Modify=20260102030405; two  spaces ", FactLineKind::Entry, "two  spaces ", 5, false, false},
            {"type=dir;sizd=4096;modify=20260102030405; sub", FactLineKind::Entry, "sub", -1, true, false},
            {"type=dir;size=4096; sub dir", FactLineKind::Entry, "sub dir", -1, true, false},
            {"type=OS.unix=slink:/etc;size=4; etc", FactLineKind::Entry, "etc", 4, false, true},
            {"type=OS.unix=symlink;size=4; etc", FactLineKind::Entry, "etc", 4, false, true},
            {"type=file;modify=20260102030405; nosize", FactLineKind::Entry, "nosize", -1, false, false},
            {"type=file;size=-3; negative", FactLineKind::Entry, "negative", -1, false, false},
            {"type=file;size=+3; plus", FactLineKind::Entry, "plus", -1, false, false},
            {"type=file;size=9223372036854775807; max", FactLineKind::Entry, "max", std::numeric_limits<qint64>::max(), false, false},
            {"type=file;size=9223372036854775808; over", FactLineKind::Entry, "over", -1, false, false},
            {"type=cdir;modify=20260102030405; /pub", FactLineKind::Skipped, "", -1, false, false},
            {"type=pdir; ..", FactLineKind::Skipped, "", -1, false, false},
            {"type=file;size=1; ..", FactLineKind::Unsafe, "", -1, false, false},
            {"type=file;size=1; a/b", FactLineKind::Unsafe, "", -1, false, false},
            {"type=file;size=1; a\\b", FactLineKind::Unsafe, "", -1, false, false},
            {"type=file;size=1; esc\x1b[2J", FactLineKind::Unsafe, "", -1, false, false},
            {"type=file;size=1;", FactLineKind::Malformed, "", -1, false, false},
            {"size=1; untyped", FactLineKind::Malformed, "", -1, false, false},
            {"", FactLineKind::Malformed, "", -1, false, false},
    };
    // clang-format on
    for (const Row &row : rows) {
        SCOPED_TRACE(row.line);
        const FactLine line = ParseFactLine(QString::fromUtf8(row.line));
        EXPECT_EQ(line.kind, row.kind);
        if (row.kind != FactLineKind::Entry)
            continue;
        EXPECT_EQ(line.entry.name, QString::fromUtf8(row.name));
        EXPECT_EQ(line.entry.size, row.size);
        EXPECT_EQ(line.entry.isFolder, row.folder);
        EXPECT_EQ(line.entry.fromLink, row.link);
    }
}
