// Exchanges with the scripted server kept as data: one file per case, run by one table-driven
// test. A case file holds set-up lines, expectations, and after "== script" the server's script:
//
//     # What the case shows (comment lines start with "#").
//     buffer \pub\ fa.bin 3000*0
//     run *download \pub\a.bin*{local}a.bin
//     sent type i | pasv | retr /pub/a.bin
//     actions download:ok
//     file a.bin pattern 3000
//     == script
//     default type 200 binary
//     expect pasv
//     ...
//
// Set-up lines, done in order (the session connects before the first queue or run line):
//   passive on|off, resume on|off, binary on, reply-timeout SECONDS, login-script TEXT,
//   user TEXT, firewall TYPE REAL-HOST, login none (the script greets and logs in itself;
//   otherwise a greeting, the login of "ann"/"secret" and FEAT come first), feature LINE (one
//   line of the FEAT answer; without any, FEAT is refused), encoding NAME (of host names),
//   buffer FOLDER KEY FIELDS (a listing buffer entry), local NAME pattern N | text TEXT |
//   sparse N (a local file), server-file NAME pattern FROM TO (for data-send-file),
//   queue LINE (added to the session's queue), run LINE (added, run, and waited for until the
//   session is idle with nothing in progress, or not connected).
// The script is the scripted server's (tests/peers/scripted_ftp_server.py); it must finish.
// Expectations; those marked * hold by default ("none") when the case names none:
//   sent A | B | ...        required: the command lines the server received after the login,
//                           exactly (each may be a glob: "port 127,0,0,1,*")
//   actions* KIND:ok|failed ...   the actions the session finished (list download upload rmd
//                           dele mkd buffer cwd), in order
//   warning* TEXT           one line per warning, in order, each contained in it
//   error* N                one line per exception of Execute, in order
//   unknown* LINE           one line per own command reported unknown, in order
//   refused* LINE           one line per listing line refused, in order
//   state disconnected      the session ended (else it must be idle and logged in)
//   reason TEXT             the session's FailureReason
//   file NAME pattern N | text TEXT | size N | missing     a local file
//   received NAME pattern N | local NAME                   a file the server received
//   shown TEXT / unexpected TEXT   a host line reported once, as a reply / as not expected
//   shown-count N           lines reported from the host
//   events N PREFIX         N server events start with PREFIX
//   host NAME, folder PATH, host-type servu|unknown   the session's
//   buffer-folders FOLDER ..., buffer-keys FOLDER KEY ..., buffer-entry FOLDER KEY SIZE (a key
//                           of an entry from a link ends in "@")
// In TEXT and LINE, {CR} {LF} {NUL} stand for those characters and {local} for the local
// folder in internal form; in "sent", {xHH} stands for one byte.
#pragma once

#include <QString>
#include <QStringList>

namespace ovtest {

// The *.case files of folder, by name.
QStringList scriptedCaseFiles(const QString &folder);

// Runs one case; every difference from its expectations fails the current test.
void runScriptedCase(const QString &path);

} // namespace ovtest
