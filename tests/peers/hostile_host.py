#!/usr/bin/python3
"""Hostile hosts for the scripted FTP server (scripted_ftp_server.py, step "serve-host MODE")."""

import queue
import threading
import time

from scripted_ftp_server import ScriptedServer, ScriptError, escape

# ---------------------------------------------------------------------------------------------
# Hostile hosts: "serve-host MODE" answers every command itself, on any number of control
# connections, for trees and names no linear script can spell out. Every host has a root "/";
# what lies below it depends on the mode:
#   endless    /deep/ holds a folder "d" and a file "f.txt", and so does every folder below it:
#              /deep/d/d/d/... without end
#   renaming   every folder lists one subfolder under a new name each time it is listed
#   hostile    greeting, login and listing text carry terminal escape sequences and Unicode
#              bidirectional controls; /pub/ holds "plain.txt", a name with C1 escape
#              sequences, a name with U+202E, a name holding "*" and a link to a folder;
#              /links/ holds "a.txt" and a link to a folder
#   slow-stor  an empty /up/ that takes uploads but starts reading each one only 2 s after
#              its STOR
# Each deletion (DELE, RMD) is logged as a "DELETED path" event; uploads as "STORED path size".
# ---------------------------------------------------------------------------------------------

ESC_NAME = "esc\u009b2J\u009b31m.txt"  # C1 CSI: clear screen, red
BIDI_NAME = "bidi\u202egnp.exe"


class HostileHost:
    def __init__(self, server, mode):
        self.server = server
        self.mode = mode
        self.renamed = 0
        self.lock = threading.Lock()

    # the virtual tree: (kind, name, size, link target) per entry, or None for no folder

    def entries(self, path):
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
        if self.mode == "hostile":
            if not parts:
                return [("d", "pub", 0, None), ("d", "links", 0, None)]
            if parts == ["links"]:
                return [("f", "a.txt", 5, None), ("l", "lnk", 4, "/etc")]
            if parts == ["pub"]:
                return [
                    ("f", "plain.txt", 5, None),
                    ("f", ESC_NAME, 5, None),
                    ("f", BIDI_NAME, 5, None),
                    ("f", "star*name.txt", 5, None),
                    ("l", "lnk", 4, "/etc"),
                ]
            return None
        if self.mode == "slow-stor":
            if not parts:
                return [("d", "up", 0, None)]
            return [] if parts == ["up"] else None
        return None

    def listing(self, path):
        lines = []
        for kind, name, size, target in self.entries(path) or []:
            mode = {"d": "drwxr-xr-x", "f": "-rw-r--r--", "l": "lrwxrwxrwx"}[kind]
            text = "%s    1 0        0        %8d Jan 01  2026 %s" % (mode, size, name)
            if target:
                text += " -> " + target
            lines.append(text.encode("utf-8") + b"\r\n")
        return b"".join(lines)

    def file_size(self, path):
        folder, _, name = path.rpartition("/")
        for kind, entry, size, _ in self.entries(folder or "/") or []:
            if kind == "f" and entry == name:
                return size
        return None

    # one control connection

    def serve(self, conn, lines):
        session = HostileSession(self, conn, lines)
        try:
            session.run()
        except (OSError, ScriptError):
            pass
        finally:
            try:
                conn.close()
            except OSError:
                pass

    def accept_more(self):
        self.server.listener.settimeout(None)
        while True:
            try:
                conn, _ = self.server.listener.accept()
            except OSError:
                return
            self.server.event("CONNECTED")
            lines = queue.Queue()
            threading.Thread(target=self.server.read_control, args=(conn, lines),
                             daemon=True).start()
            threading.Thread(target=self.serve, args=(conn, lines), daemon=True).start()


class HostileSession(ScriptedServer):
    """One control connection of the host; its data connections work as a script's do."""

    def __init__(self, host, conn, lines):
        server = host.server
        self.host, self.conn, self.lines = host, conn, lines
        self.events, self.lock, self.transcript = server.events, server.lock, server.transcript
        self.timeout = 10.0
        self.closed = False
        self.cwd = "/"
        self.pasv = self.port_addr = self.mode = self.data = None
        # A slow host's small receive window keeps the client's upload waiting in its file.
        self.rcvbuf = 16384 if host.mode == "slow-stor" else 0

    def say(self, text):
        self.send(text.encode("utf-8", "surrogateescape") + b"\r\n")

    def path_of(self, arg):
        arg = arg.decode("utf-8", "surrogateescape") if isinstance(arg, bytes) else arg
        joined = arg if arg.startswith("/") else self.cwd.rstrip("/") + "/" + arg
        parts = []
        for p in joined.split("/"):
            if p in ("", "."):
                continue
            if p == "..":
                if parts:
                    parts.pop()
                continue
            parts.append(p)
        return "/" + "/".join(parts)

    def greeting(self):
        if self.host.mode == "hostile":
            self.say("220-\x1b]0;pwned\x07\x1b[2J\u202eHostile host")
        self.say("220 ready")

    def run(self):
        self.greeting()
        while True:
            line = self.lines.get()
            if line is None:
                self.event("CLOSED")
                return
            self.event("RECV", escape(line))
            self.note_data_address(line)
            text = line.decode("utf-8", "surrogateescape")
            verb, _, arg = text.partition(" ")
            handler = getattr(self, "cmd_" + verb.upper(), None)
            if handler is None:
                self.say("502 Not here")
            elif handler(arg) is False:
                return

    def cmd_USER(self, arg):
        self.say("331 password please")

    def cmd_PASS(self, arg):
        if self.host.mode == "hostile":
            self.say("230-\x1b[31mred\x1b[0m \x9b2J welcome")
        self.say("230 logged in")

    def cmd_PWD(self, arg):
        self.say('257 "%s" is the current folder' % self.cwd)

    def cmd_CWD(self, arg):
        path = self.path_of(arg)
        if self.host.entries(path) is None:
            self.say("550 no such folder")
        else:
            self.cwd = path
            self.say("250 ok")

    def cmd_TYPE(self, arg):
        self.say("200 type set")

    def cmd_NOOP(self, arg):
        self.say("200 ok")

    def cmd_PASV(self, arg):
        port = self.open_pasv()
        self.say("227 Entering Passive Mode (127,0,0,1,%d,%d)." % (port // 256, port % 256))

    def cmd_PORT(self, arg):
        self.say("200 PORT ok")  # the address is taken as the line arrives

    def cmd_LIST(self, arg):
        path = self.path_of(arg) if arg and not arg.startswith("-") else self.cwd
        self.say("150 listing")
        self.data_send(self.host.listing(path))
        self.say("226 done")

    def cmd_RETR(self, arg):
        size = self.host.file_size(self.path_of(arg))
        if size is None:
            self.say("550 no such file")
            return
        self.say("150 sending")
        self.data_send(b"x" * size)
        self.say("226 done")

    def cmd_STOR(self, arg):
        self.say("150 send it")
        sock = self.data_open()
        if self.host.mode == "slow-stor":
            time.sleep(2)
        size = 0
        sock.settimeout(30)
        while chunk := sock.recv(1 << 20):
            size += len(chunk)
        self.data_close()
        self.event("STORED", "%s %d" % (self.path_of(arg), size))
        self.say("226 stored")

    def cmd_DELE(self, arg):
        self.event("DELETED", self.path_of(arg))
        self.say("250 deleted")

    def cmd_RMD(self, arg):
        self.event("DELETED", self.path_of(arg) + "/")
        self.say("250 removed")

    def cmd_MKD(self, arg):
        self.say('257 "%s" made' % self.path_of(arg))

    def cmd_QUIT(self, arg):
        self.say("221 bye")
        return False


def serve(server, mode):
    """Plays the host on the server's current control connection and on every later one."""
    host = HostileHost(server, mode)
    threading.Thread(target=host.accept_more, daemon=True).start()
    conn, lines = server.conn, server.lines
    server.conn = None
    server.closed = True
    host.serve(conn, lines)
    # Later connections (task sessions, a second run) are the host's too, never the script's.
    threading.Event().wait()
