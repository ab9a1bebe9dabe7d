#!/usr/bin/python3
r"""A scripted FTP server for Orvane FTP's tests (tests/support/scriptedserver.h), by hand:

    /usr/bin/python3 scripted_ftp_server.py --script dialogue.txt --dir WORKDIR

It plays one exact dialogue, step by step, on a free port of 127.0.0.1, so a test can put any
odd reply in front of the client and check the exact commands it sent. It writes into WORKDIR:
events.log (one line per event, flushed as it happens), control.bin (every byte received on the
control connections) and the files "data-recv" stored.

Script format: one step per line; blank lines and lines starting with "#" are ignored; leading
blanks are dropped, so a script can be indented.

    greet TEXT, reply TEXT  send TEXT + CRLF; a multi-line reply is several reply steps
    expect [GLOB]         wait for the next command line and require it to match GLOB (whole
                          line, case-sensitive, shell glob; none = any line). A line that does
                          not match is answered by a "default" when one fits, else it fails.
    default VERB TEXT     from here on answer any unexpected command whose first word matches
                          VERB (glob, case-insensitive) with TEXT + CRLF; replaces an earlier one
    reply-pasv [ADDRESS]  open a passive data listener on 127.0.0.1 and answer 227 with
                          ADDRESS (a fake address to be ignored) in place of 127.0.0.1
    reply-epsv            the same with "229 Entering Extended Passive Mode (|||port|)"
    data-open             open the data connection now: accept on the passive listener, or
                          connect to the port of the last PORT/EPRT (always on 127.0.0.1),
                          whichever came last. The data steps below open it when needed.
    data-send TEXT        send TEXT on the data connection, then close it
    data-send <<END       send the following lines up to "END", each followed by CRLF,
                          verbatim (no escapes) without the data-send line's indentation
    data-send-file NAME   send the file NAME (relative to WORKDIR, or absolute), then close
    data-send-pattern N   send N bytes of the test pattern (byte i is i % 251), then close
    data-close-early N [TEXT]  send the first N bytes of TEXT (or of the pattern), then close
    data-send-cut N       send N pattern bytes, then close; the client closing first is no
                          failure ("DATA-CUT sent|closed n")
    data-reset N [TEXT]   send the first N bytes of TEXT (or of the pattern), then reset the
                          data connection (the client's next read fails with ECONNRESET)
    data-trickle MS N     send N pieces of 1000 pattern bytes, one every MS ms, then close
    data-recv [NAME]      read the data connection until the client closes it; store the bytes
                          in WORKDIR/NAME (default recv-1.bin, recv-2.bin, ...)
    send-endless [BYTES]  send "x" with no line end until the client closes the connection or
                          BYTES (default 1048576) went out ("ENDLESS sent|closed n")
    reply-repeat COUNT TEXT  send TEXT + CRLF COUNT times in large writes ("forever": until the
                          client closes): "REPEAT sent|closed N"
    reply-every MS TEXT   send TEXT + CRLF every MS ms until the client closes: "REPEAT closed N"
    expect-close          wait until the client closes the control connection
    hangup                close the control connection (and any data connection) at once
    accept                close the control connection if it is still open, then wait for the
                          client's next one (a client trying again); steps go on there
    expect-quiet MS       no command line may arrive for MS milliseconds
    silence [MS]          never answer: read and record until the client closes (or MS ms)
    sleep MS              pause
    intrude [TEXT]        a third party on 127.0.0.2 connects to the port of the last PORT/EPRT
                          before the host does, sends TEXT (then ends its side) and reads until
                          the client closes (3 s at most): "INTRUDER received N closed|open"
                          or "INTRUDER failed ..."
    reply-pasv-lure ADDRESS  reply-pasv ADDRESS, and a third party listens on ADDRESS (such as
                          127.0.0.2) on the same port: "LURED" per connection
    serve-host MODE       from here on play a whole host on this and every later control
                          connection (the last step; modes in hostile_host.py)

TEXT knows the escapes \r \n \t \\ and \xHH (one byte); any other backslash is kept as it is,
so "\pub\a.txt" stays. Text is UTF-8. Every wait is bounded by 10 s.

events.log lines: LISTENING port | CONNECTED | STEP line text | RECV line | SENT bytes |
DATA name size | CLOSED | EXTRA line | DONE | FAIL line N: message, and those named above
(RECV/SENT/EXTRA with \r \n \\ and \xHH escapes). After the last step (DONE) or a failure
(FAIL) the server keeps answering defaults, or "502 Script ended" (logged as EXTRA), until the
client closes; later connections get "421 Script ended".
"""
import argparse
import collections
import contextlib
import fnmatch
import os
import queue
import re
import socket
import struct
import sys
import threading
import time

PATTERN_MODULUS = 251
ENDLESS_DEFAULT = 1024 * 1024
THIRD_PARTY_ADDRESS = "127.0.0.2"
INTRUDER_WAIT = 3.0
TRICKLE_PIECE = 1000
# Steps that run before the first client connects; any other step waits for it first.
SETUP_STEPS = {"default", "sleep"}


class ScriptError(Exception):
    pass


class Mismatch(ScriptError):
    """A command line that the script did not expect, left unanswered."""


Step = collections.namedtuple("Step", "lineno name arg payload")
UNESCAPES = {b"r": b"\r", b"n": b"\n", b"t": b"\t", b"\\": b"\\"}
ESCAPES = {0x0D: "\\r", 0x0A: "\\n", 0x5C: "\\\\"}


def unescape(text):
    return re.sub(rb"\\(x[0-9a-fA-F]{2}|[rnt\\])",
                  lambda m: UNESCAPES.get(m[1]) or bytes([int(m[1][1:], 16)]),
                  text.encode("utf-8"))


def escape(data):
    return "".join(ESCAPES.get(b) or (chr(b) if 0x20 <= b < 0x7F else "\\x%02x" % b) for b in data)


def pattern(n):
    return (bytes(range(PATTERN_MODULUS)) * (n // PATTERN_MODULUS + 1))[:n]


def step_method(name):
    return "step_" + name.replace("-", "_")


def parse_script(text):
    steps, lines, i = [], text.splitlines(), 0
    while i < len(lines):
        lineno, line = i + 1, lines[i].strip()
        i += 1
        if not line or line.startswith("#"):
            continue
        name, _, arg = line.partition(" ")
        arg, payload = arg.strip(), None
        if not hasattr(ScriptedServer, step_method(name)):
            raise ScriptError("line %d: unknown step '%s'" % (lineno, name))
        if name == "data-send" and arg.startswith("<<"):
            tag, indent, body = arg[2:].strip(), len(lines[i - 1]) - len(lines[i - 1].lstrip()), []
            while i < len(lines) and lines[i].strip() != tag:
                # Without the data-send line's indentation, where the line has as much.
                blanks = len(lines[i]) - len(lines[i].lstrip(" \t"))
                body.append(lines[i][min(indent, blanks):])
                i += 1
            if i >= len(lines):
                raise ScriptError("line %d: no closing '%s'" % (lineno, tag))
            i += 1
            payload = "".join(b + "\r\n" for b in body).encode("utf-8")
        steps.append(Step(lineno, name, arg, payload))
    return steps


class ScriptedServer:
    def __init__(self, workdir, steps):
        self.workdir, self.steps, self.recv_count = workdir, steps, 0
        self.events = open(os.path.join(workdir, "events.log"), "a", buffering=1, encoding="utf-8")
        self.transcript = open(os.path.join(workdir, "control.bin"), "ab", buffering=0)
        self.listener = socket.create_server(("127.0.0.1", 0), backlog=8)
        self.lock = threading.Lock()
        # A plain RFC 959 host knows no FEAT: unless a script expects it, it is refused.
        self.defaults = [("FEAT", "500 FEAT not understood")]
        self.start_session(None, None)

    def start_session(self, conn, lines, rcvbuf=0):
        """The state of one control connection; rcvbuf is a small receive window for data
        connections, when set."""
        self.conn, self.lines, self.closed, self.rcvbuf = conn, lines, conn is None, rcvbuf
        self.timeout = 10.0
        self.pasv = self.port_addr = self.mode = self.data = None

    def event(self, kind, text=""):
        with self.lock:
            self.events.write((kind + " " + text).rstrip(" ") + "\n")

    def send(self, data):
        if self.conn is None:
            raise ScriptError("no control connection to send on")
        try:
            self.conn.sendall(data)
        except OSError as e:
            raise ScriptError("sending failed: %s" % e)
        self.event("SENT", escape(data))

    def reply(self, text):
        self.send(unescape(text) + b"\r\n")

    def reply_227(self, address, port):
        self.reply("227 Entering Passive Mode (%s,%d,%d)."
                   % (address.replace(".", ","), port // 256, port % 256))

    def accept_control(self):
        self.listener.settimeout(self.timeout)
        try:
            conn, _ = self.listener.accept()
        except socket.timeout:
            raise ScriptError("no client connected within %d ms" % (self.timeout * 1000))
        self.listener.settimeout(None)
        conn.settimeout(None)
        self.conn, self.closed, self.lines = conn, False, self.read_in_background(conn)
        self.event("CONNECTED")

    def read_in_background(self, conn):
        """A queue of the command lines conn delivers, None once the client closed it."""
        lines = queue.Queue()
        threading.Thread(target=self.read_control, args=(conn, lines), daemon=True).start()
        return lines

    def read_control(self, conn, lines):
        buf = b""
        while True:
            try:
                chunk = conn.recv(65536)
            except OSError:
                chunk = b""
            if not chunk:
                return lines.put(None)
            self.transcript.write(chunk)
            *complete, buf = (buf + chunk).split(b"\n")
            for line in complete:
                lines.put(line[:-1] if line.endswith(b"\r") else line)

    def take(self, line):
        """Logs a line from the reader; None (the client closed) closes the session."""
        if line is None:
            self.closed = True
            self.event("CLOSED")
        else:
            self.event("RECV", escape(line))
            self.note_data_address(line)
        return line

    def next_line(self, deadline, what):
        """The next command line, or None when the client closed the connection."""
        while not self.closed:
            remaining = None if deadline is None else deadline - time.monotonic()
            if remaining is not None and remaining <= 0:
                raise ScriptError("timed out after %d ms waiting for %s" % (self.timeout * 1000, what))
            try:
                return self.take(self.lines.get(timeout=remaining))
            except queue.Empty:
                pass
        return None

    def client_gone(self):
        """True once the reader has seen the client close the control connection."""
        with contextlib.suppress(queue.Empty):
            while not self.closed:
                self.take(self.lines.get_nowait())
        return self.closed

    def default_for(self, text):
        verb = text.split(" ", 1)[0].lower()
        matches = (r for glob, r in reversed(self.defaults) if fnmatch.fnmatchcase(verb, glob.lower()))
        return next(matches, None)

    def note_data_address(self, line):
        verb, _, arg = line.decode("latin-1").partition(" ")
        arg = arg.strip()
        try:
            if verb.upper() == "PORT":
                parts = [int(p) for p in arg.split(",")]
                address, port = ".".join(str(p) for p in parts[:4]), parts[4] * 256 + parts[5]
            elif verb.upper() == "EPRT":
                fields = arg.split(arg[0])
                address, port = fields[2], int(fields[3])
            else:
                return
        except (ValueError, IndexError):
            return
        # Tests stay on loopback whatever address the client names.
        if address != "127.0.0.1":
            self.event("NOTE", "the client asked for %s; connecting to 127.0.0.1" % address)
        self.port_addr, self.mode = ("127.0.0.1", port), "active"

    def new_socket(self):
        sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        if self.rcvbuf:
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, self.rcvbuf)
        return sock

    def open_pasv(self):
        if self.pasv is not None:
            self.pasv.close()
        self.data_close()
        self.pasv = self.new_socket()
        self.pasv.bind(("127.0.0.1", 0))
        self.pasv.listen(1)
        self.mode = "passive"
        return self.pasv.getsockname()[1]

    def data_open(self):
        if self.data is not None:
            return self.data
        if self.mode == "passive":
            self.pasv.settimeout(self.timeout)
            try:
                self.data, _ = self.pasv.accept()
            except socket.timeout:
                raise ScriptError("the client did not connect to the passive data port")
            self.pasv.close()
            self.pasv = self.mode = None
        elif self.mode == "active":
            self.data = self.new_socket()
            self.data.settimeout(self.timeout)
            try:
                self.data.connect(self.port_addr)
            except OSError as e:
                self.data = None
                raise ScriptError("connecting to %s:%d failed: %s" % (self.port_addr + (e,)))
        else:
            raise ScriptError("a data step needs a PASV/EPSV reply or a PORT/EPRT command first")
        self.data.settimeout(self.timeout)
        return self.data

    def data_send(self, payload, every=None):
        """Sends payload and closes; with every (seconds), in pieces of TRICKLE_PIECE bytes."""
        sock = self.data_open()
        try:
            step = len(payload) if every is None else TRICKLE_PIECE
            for at in range(0, len(payload), max(step, 1)):
                sock.sendall(payload[at : at + step])
                if every is not None:
                    time.sleep(every)
        except OSError as e:
            raise ScriptError("sending data failed: %s" % e)
        finally:
            self.data_close()

    def data_close(self):
        if self.data is not None:
            with contextlib.suppress(OSError):
                self.data.shutdown(socket.SHUT_RDWR)
            self.data.close()
            self.data = None

    def resolve(self, name):
        return name if os.path.isabs(name) else os.path.join(self.workdir, name)

    def run(self):
        try:
            for step in self.steps:
                self.event("STEP", "%d %s %s" % (step.lineno, step.name, step.arg))
                try:
                    if self.lines is None and step.name not in SETUP_STEPS:
                        self.accept_control()
                    getattr(self, step_method(step.name))(step)
                except (ValueError, OSError, ScriptError) as e:
                    kind = "" if isinstance(e, ScriptError) else type(e).__name__ + ": "
                    self.event("FAIL", "line %d: %s%s" % (step.lineno, kind, e))
                    if isinstance(e, Mismatch):
                        self.answer_quietly("502 Script mismatch")
                    break
            else:
                self.event("DONE")
        except ScriptError as e:
            self.event("FAIL", "line 0: %s" % e)
        self.serve_rest()

    def answer_quietly(self, text):
        with contextlib.suppress(ScriptError):
            self.reply(text)

    def serve_rest(self):
        if self.lines is None:
            self.timeout = None
            self.accept_control()
        while self.conn is not None and (line := self.next_line(None, "the client")) is not None:
            reply = self.default_for(line.decode("utf-8", "surrogateescape"))
            if reply is None:
                self.event("EXTRA", escape(line))
                reply = "502 Script ended"
            try:
                self.reply(reply)
            except ScriptError:
                break
        self.listener.settimeout(None)
        while True:
            conn, _ = self.listener.accept()
            self.event("EXTRA", "connection after the script ended")
            with contextlib.suppress(OSError):
                conn.sendall(b"421 Script ended\r\n")
            conn.close()

    def step_reply(self, step):
        self.reply(step.arg)

    step_greet = step_reply

    def step_expect(self, step):
        glob = step.arg or "*"
        deadline = time.monotonic() + self.timeout
        while True:
            line = self.next_line(deadline, "'%s'" % glob)
            if line is None:
                raise ScriptError("the client closed the connection while '%s' was expected" % glob)
            text = line.decode("utf-8", "surrogateescape")
            if fnmatch.fnmatchcase(text, glob):
                return
            reply = self.default_for(text)
            if reply is None:
                raise Mismatch("expected '%s' but got '%s'" % (glob, escape(line)))
            self.reply(reply)

    def step_default(self, step):
        verb, _, reply = step.arg.partition(" ")
        if not verb or not reply:
            raise ScriptError("default needs a verb and a reply")
        self.defaults = [d for d in self.defaults if d[0].lower() != verb.lower()]
        self.defaults.append((verb, reply.strip()))

    def step_reply_pasv(self, step):
        self.reply_227(step.arg or "127.0.0.1", self.open_pasv())

    def step_reply_epsv(self, step):
        self.reply("229 Entering Extended Passive Mode (|||%d|)" % self.open_pasv())

    def step_data_open(self, step):
        self.data_open()

    def step_data_send(self, step):
        self.data_send(step.payload if step.payload is not None else unescape(step.arg))

    def step_data_send_file(self, step):
        try:
            with open(self.resolve(step.arg), "rb") as f:
                payload = f.read()
        except OSError as e:
            raise ScriptError("cannot read %s: %s" % (step.arg, e))
        self.data_send(payload)

    def step_data_send_pattern(self, step):
        self.data_send(pattern(int(step.arg)))

    @staticmethod
    def first_bytes(step):
        """The first N bytes of TEXT, or of the pattern, for a step "N [TEXT]"."""
        count, _, text = step.arg.partition(" ")
        return (unescape(text) if text else pattern(int(count)))[: int(count)]

    def step_data_close_early(self, step):
        self.data_send(self.first_bytes(step))

    def step_data_trickle(self, step):
        every, _, count = step.arg.partition(" ")
        self.data_send(pattern(TRICKLE_PIECE * int(count)), int(every) / 1000.0)

    def step_data_recv(self, step):
        self.recv_count += 1
        name = step.arg or "recv-%d.bin" % self.recv_count
        sock, size = self.data_open(), 0
        try:
            with open(self.resolve(name), "wb") as f:
                while chunk := sock.recv(65536):
                    f.write(chunk)
                    size += len(chunk)
        except socket.timeout:
            raise ScriptError("no data for %d ms while receiving %s" % (self.timeout * 1000, name))
        except OSError as e:
            raise ScriptError("receiving %s failed: %s" % (name, e))
        finally:
            self.data_close()
        self.event("DATA", "%s %d" % (name, size))

    def step_hangup(self, step):
        self.data_close()
        if self.conn is not None:
            try:
                self.conn.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            self.conn.close()
        self.event("HANGUP")

    def step_accept(self, step):
        if self.conn is not None and not self.closed:
            self.step_hangup(step)
        self.accept_control()

    def step_data_send_cut(self, step):
        sock, payload, sent = self.data_open(), pattern(int(step.arg)), 0
        try:
            while sent < len(payload):
                sent += sock.send(payload[sent : sent + 65536])
            self.event("DATA-CUT", "sent %d" % sent)
        except OSError:
            self.event("DATA-CUT", "closed %d" % sent)
        finally:
            self.data_close()

    def step_data_reset(self, step):
        sock = self.data_open()
        try:
            sock.sendall(self.first_bytes(step))
            # The bytes must reach the client before the reset, which drops what is unsent.
            time.sleep(0.1)
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        except OSError as e:
            raise ScriptError("sending data failed: %s" % e)
        finally:
            sock.close()
            self.data = None

    def pour(self, unit, count, kind):
        """Sends unit count times (None: until the client closes) in large writes; logs
        "KIND sent|closed N"."""
        if self.conn is None:
            raise ScriptError("no control connection to send on")
        per_write, sent = max(1, 65536 // len(unit)), 0
        try:
            while count is None or sent < count:
                n = per_write if count is None else min(per_write, count - sent)
                self.conn.sendall(unit * n)
                sent += n
        except OSError:
            return self.event(kind, "closed %d" % sent)
        self.event(kind, "sent %d" % sent)

    def step_send_endless(self, step):
        self.pour(b"x", int(step.arg) if step.arg else ENDLESS_DEFAULT, "ENDLESS")

    def step_reply_repeat(self, step):
        count, _, text = step.arg.partition(" ")
        self.pour(unescape(text) + b"\r\n", None if count == "forever" else int(count), "REPEAT")

    def step_reply_every(self, step):
        every, _, text = step.arg.partition(" ")
        sent = 0
        with contextlib.suppress(OSError):
            while not self.client_gone():
                self.conn.sendall(unescape(text) + b"\r\n")
                sent += 1
                time.sleep(int(every) / 1000.0)
        self.event("REPEAT", "closed %d" % sent)

    def step_expect_close(self, step):
        deadline = time.monotonic() + self.timeout
        while self.next_line(deadline, "the client to close the connection") is not None:
            pass

    def step_silence(self, step):
        deadline = time.monotonic() + int(step.arg) / 1000.0 if step.arg else None
        with contextlib.suppress(ScriptError):
            while self.next_line(deadline, "silence") is not None:
                pass

    def step_sleep(self, step):
        time.sleep(int(step.arg) / 1000.0)

    def step_expect_quiet(self, step):
        try:
            line = self.next_line(time.monotonic() + int(step.arg) / 1000.0, "quiet")
        except ScriptError:
            return  # nothing came, as wanted
        if line is not None:
            raise ScriptError("'%s' arrived while the client had to wait" % escape(line))

    def step_intrude(self, step):
        if self.port_addr is None:
            raise ScriptError("intrude needs a PORT or EPRT command first")
        received, state, deadline = 0, "open", time.monotonic() + INTRUDER_WAIT
        with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as sock:
            try:
                sock.bind((THIRD_PARTY_ADDRESS, 0))
                sock.settimeout(INTRUDER_WAIT)
                sock.connect(self.port_addr)
            except ConnectionResetError:  # hung up on before connect() even returned
                return self.event("INTRUDER", "received 0 closed")
            except OSError as e:
                return self.event("INTRUDER", "failed %s" % e)
            try:
                if step.arg:
                    sock.sendall(unescape(step.arg))
                    sock.shutdown(socket.SHUT_WR)
                while state == "open" and time.monotonic() < deadline:
                    sock.settimeout(max(0.01, deadline - time.monotonic()))
                    chunk = sock.recv(65536)
                    received, state = received + len(chunk), "open" if chunk else "closed"
            except socket.timeout:
                pass
            except OSError:
                state = "closed"
        self.event("INTRUDER", "received %d %s" % (received, state))

    def lure(self, listener):
        while True:
            try:
                conn, peer = listener.accept()
            except OSError:
                return
            self.event("LURED", "%s:%d" % peer)
            conn.close()

    def step_reply_pasv_lure(self, step):
        if not step.arg:
            raise ScriptError("reply-pasv-lure needs the address the third party listens on")
        port = self.open_pasv()
        lure = socket.create_server((step.arg, port), backlog=4)
        threading.Thread(target=self.lure, args=(lure,), daemon=True).start()
        self.reply_227(step.arg, port)

    def step_serve_host(self, step):
        import hostile_host

        hostile_host.serve(self, step.arg.strip() or "hostile")


def main():
    parser = argparse.ArgumentParser(description="Scripted FTP server for tests")
    parser.add_argument("--script", required=True)
    parser.add_argument("--dir", required=True)
    args = parser.parse_args()
    try:
        with open(args.script, encoding="utf-8") as f:
            steps = parse_script(f.read())
    except ScriptError as e:
        with open(os.path.join(args.dir, "events.log"), "a", encoding="utf-8") as f:
            f.write("FAIL %s\n" % e)
        print("scripted_ftp_server: %s" % e, file=sys.stderr)
        return 2
    server = ScriptedServer(args.dir, steps)
    server.event("LISTENING", str(server.listener.getsockname()[1]))
    server.run()
    return 0


if __name__ == "__main__":
    # hostile_host.py imports this module by name: the same module, so one ScriptError.
    sys.modules.setdefault("scripted_ftp_server", sys.modules[__name__])
    sys.exit(main())
