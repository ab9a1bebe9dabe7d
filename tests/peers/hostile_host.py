#!/usr/bin/python3
"""Hostile hosts for the scripted FTP server (scripted_ftp_server.py): "serve-host MODE" answers
every command itself, on any number of control connections, for trees and names no linear script
can spell out. Below the root "/", by mode:
  endless    /deep/ holds a folder "d" and a file "f.txt", and so does every folder below it:
             /deep/d/d/d/... without end
  renaming   every folder lists one subfolder under a new name each time it is listed
  hostile    greeting, login and listing text carry terminal escape sequences and Unicode
             bidirectional controls; /pub/ holds "plain.txt", a name with C1 escape sequences,
             a name with U+202E, a name holding "*" and a link to a folder; /links/ holds
             "a.txt" and a link to a folder
  slow-stor  an empty /up/ that takes uploads but starts reading each one 2 s after its STOR
Each deletion (DELE, RMD) is logged as a "DELETED path" event; uploads as "STORED path size".
"""

import contextlib
import threading
import time

from scripted_ftp_server import ScriptedServer, ScriptError

ESC_NAME = "esc\u009b2J\u009b31m.txt"  # C1 CSI: clear screen, red
BIDI_NAME = "bidi\u202egnp.exe"
LINK = ("l", "lnk", 4, "/etc")
# The fixed trees by mode and folder: (kind, name, size, link target) per entry.
TREES = {
    "hostile": {
        "/": [("d", "pub", 0, None), ("d", "links", 0, None)],
        "/links": [("f", "a.txt", 5, None), LINK],
        "/pub": [("f", name, 5, None) for name in ("plain.txt", ESC_NAME, BIDI_NAME,
                                                    "star*name.txt")] + [LINK],
    },
    "slow-stor": {"/": [("d", "up", 0, None)], "/up": []},
}
MODES = {"d": "drwxr-xr-x", "f": "-rw-r--r--", "l": "lrwxrwxrwx"}
# Commands every host answers the same way (PORT's address is taken as the line arrives), and
# those whose reply names the path of their argument.
FIXED_REPLIES = {"USER": "331 password please", "TYPE": "200 type set", "NOOP": "200 ok",
                 "PORT": "200 PORT ok", "DELE": "250 deleted", "RMD": "250 removed",
                 "QUIT": "221 bye"}
PATH_REPLIES = {"PWD": '257 "%s" is the current folder', "MKD": '257 "%s" made'}


class HostileHost:
    def __init__(self, server, mode):
        self.server, self.mode, self.renamed = server, mode, 0
        self.lock = threading.Lock()

    def entries(self, path):
        """The entries of the folder path, or None when there is no such folder."""
        parts = [p for p in path.split("/") if p]
        if self.mode == "endless":
            if not parts:
                return [("d", "deep", 0, None)]
            if parts[0] == "deep" and all(p == "d" for p in parts[1:]):
                return [("d", "d", 0, None), ("f", "f.txt", 3, None)]
            return None
        if self.mode == "renaming":
            with self.lock:
                self.renamed += 1
                return [("d", "n%d" % self.renamed, 0, None)]
        return TREES.get(self.mode, {}).get("/" + "/".join(parts))

    def listing(self, path):
        return b"".join(("%s    1 0        0        %8d Jan 01  2026 %s%s\r\n"
                         % (MODES[kind], size, name, " -> " + target if target else "")).encode()
                        for kind, name, size, target in self.entries(path) or [])

    def file_size(self, path):
        folder, _, name = path.rpartition("/")
        sizes = {e[1]: e[2] for e in self.entries(folder or "/") or [] if e[0] == "f"}
        return sizes.get(name)

    def serve(self, conn, lines):
        with conn, contextlib.suppress(OSError, ScriptError):
            HostileSession(self, conn, lines).run()

    def accept_more(self):
        self.server.listener.settimeout(None)
        while True:
            try:
                conn, _ = self.server.listener.accept()
            except OSError:
                return
            self.server.event("CONNECTED")
            lines = self.server.read_in_background(conn)
            threading.Thread(target=self.serve, args=(conn, lines), daemon=True).start()


class HostileSession(ScriptedServer):
    """One control connection of the host; its data connections work as a script's do."""

    def __init__(self, host, conn, lines):
        self.host, self.cwd = host, "/"
        self.events, self.lock, self.transcript = host.server.events, host.server.lock, host.server.transcript
        # A slow host's small receive window keeps the client's upload waiting in its file.
        self.start_session(conn, lines, 16384 if host.mode == "slow-stor" else 0)

    def say(self, text):
        self.send(text.encode("utf-8", "surrogateescape") + b"\r\n")

    def path_of(self, arg):
        parts = []
        for p in (arg if arg.startswith("/") else self.cwd + "/" + arg).split("/"):
            if p == "..":
                parts = parts[:-1]
            elif p not in ("", "."):
                parts.append(p)
        return "/" + "/".join(parts)

    def run(self):
        if self.host.mode == "hostile":
            self.say("220-\x1b]0;pwned\x07\x1b[2J\u202eHostile host")
        self.say("220 ready")
        while (line := self.take(self.lines.get())) is not None:
            verb, _, arg = line.decode("utf-8", "surrogateescape").partition(" ")
            verb = verb.upper()
            if verb in ("DELE", "RMD"):
                self.event("DELETED", self.path_of(arg) + ("/" if verb == "RMD" else ""))
            if verb in FIXED_REPLIES:
                self.say(FIXED_REPLIES[verb])
            elif verb in PATH_REPLIES:
                self.say(PATH_REPLIES[verb] % self.path_of(arg))
            elif hasattr(self, "cmd_" + verb):
                getattr(self, "cmd_" + verb)(arg)
            else:
                self.say("502 Not here")
            if verb == "QUIT":
                return

    def cmd_PASS(self, arg):
        if self.host.mode == "hostile":
            self.say("230-\x1b[31mred\x1b[0m \x9b2J welcome")
        self.say("230 logged in")

    def cmd_CWD(self, arg):
        path = self.path_of(arg)
        if self.host.entries(path) is None:
            return self.say("550 no such folder")
        self.cwd = path
        self.say("250 ok")

    def cmd_PASV(self, arg):
        self.reply_227("127.0.0.1", self.open_pasv())

    def cmd_LIST(self, arg):
        self.say("150 listing")
        self.data_send(self.host.listing(self.path_of(arg) if arg and not arg.startswith("-")
                                         else self.cwd))
        self.say("226 done")

    def cmd_RETR(self, arg):
        size = self.host.file_size(self.path_of(arg))
        if size is None:
            return self.say("550 no such file")
        self.say("150 sending")
        self.data_send(b"x" * size)
        self.say("226 done")

    def cmd_STOR(self, arg):
        self.say("150 send it")
        sock, size = self.data_open(), 0
        if self.host.mode == "slow-stor":
            time.sleep(2)
        sock.settimeout(30)
        while chunk := sock.recv(1 << 20):
            size += len(chunk)
        self.data_close()
        self.event("STORED", "%s %d" % (self.path_of(arg), size))
        self.say("226 stored")



def serve(server, mode):
    """Plays the host on the server's current control connection and on every later one."""
    host = HostileHost(server, mode)
    threading.Thread(target=host.accept_more, daemon=True).start()
    conn, lines = server.conn, server.lines
    server.conn, server.closed = None, True
    host.serve(conn, lines)
    # Later connections (task sessions, a second run) are the host's too, never the script's.
    threading.Event().wait()
