#!/usr/bin/python3
r"""A scripted FTP server for Orvane FTP's tests.

It plays one exact dialogue, step by step, and records every byte it receives, so a test can
put any odd reply in front of the client and then check the exact commands the client sent.
Tests start it through ScriptedServer (tests/support/scriptedserver.h); by hand:

    /usr/bin/python3 scripted_ftp_server.py --script dialogue.txt --dir WORKDIR [--port N]

It listens on 127.0.0.1 (port 0 = any free port) and writes into WORKDIR: events.log (one line
per event, flushed as it happens), control.bin (every byte received on the control
connections) and the files "data-recv" stored.

Script format: one step per line; blank lines and lines starting with "#" are ignored; leading
blanks are dropped, so a script can be indented.

    greet TEXT            send TEXT + CRLF (same as reply; reads well as the first step)
    reply TEXT            send TEXT + CRLF; a multi-line reply is several reply steps
    expect [GLOB]         wait for the next command line and require it to match GLOB (whole
                          line, case-sensitive, shell glob; none = any line). A line that does
                          not match is answered by a "default" when one fits, else the script
                          fails.
    default VERB TEXT     from here on answer any unexpected command whose first word matches
                          VERB (glob, case-insensitive) with TEXT + CRLF; replaces an earlier
                          default for VERB
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
    data-close-early N [TEXT]
                          send only the first N bytes of TEXT (or of the pattern), then close
    data-send-cut N       send N pattern bytes, then close; the client closing first is no
                          failure ("DATA-CUT sent|closed n")
    data-reset N [TEXT]   send the first N bytes of TEXT (or of the pattern), then reset the
                          data connection (the client's next read fails with ECONNRESET)
    data-recv [NAME]      read the data connection until the client closes it; store the bytes
                          in WORKDIR/NAME (default recv-1.bin, recv-2.bin, ...)
    send-endless [BYTES]  send "x" with no line end until the client closes the connection or
                          BYTES (default 1048576) went out
    expect-close          wait until the client closes the control connection
    expect-quiet MS       no command line may arrive for MS milliseconds
    silence [MS]          never answer: read and record until the client closes (or MS ms)
    sleep MS              pause
    serve-host MODE       from here on play a whole host on this and every later control
                          connection (the last step; modes in hostile_host.py)
    intrude, reply-pasv-lure, reply-repeat, reply-every, data-trickle: see hostile_peers.py

TEXT knows the escapes \r \n \t \\ and \xHH (one byte); any other backslash is kept as it is,
so "\pub\a.txt" stays. Text is UTF-8. Every wait is bounded by 10 s.

events.log lines: LISTENING port | CONNECTED | STEP line text | RECV line | SENT bytes |
DATA name size | ENDLESS sent|closed n | CLOSED | EXTRA line | DONE | FAIL line N: message
(RECV/SENT/EXTRA with \r \n \\ and \xHH escapes). After the last step (DONE) or a failure
(FAIL) the server keeps answering defaults, or "502 Script ended" (logged as EXTRA), until the
client closes; later connections get "421 Script ended".
"""

import argparse
import fnmatch
import os
import queue
import socket
import struct
import sys
import threading
import time

PATTERN_MODULUS = 251
ENDLESS_DEFAULT = 1024 * 1024


class ScriptError(Exception):
    def __init__(self, message, unanswered=False):
        super().__init__(message)
        self.unanswered = unanswered


class Step:
    def __init__(self, lineno, name, arg, payload=None):
        self.lineno = lineno
        self.name = name
        self.arg = arg
        self.payload = payload


def unescape(text):
    out = bytearray()
    i = 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            n = text[i + 1]
            simple = {"r": b"\r", "n": b"\n", "t": b"\t", "\\": b"\\"}
            if n in simple:
                out += simple[n]
                i += 2
                continue
            if n == "x" and _is_hex(text[i + 2 : i + 4]):
                out.append(int(text[i + 2 : i + 4], 16))
                i += 4
                continue
        out += c.encode("utf-8")
        i += 1
    return bytes(out)


def _is_hex(s):
    return len(s) == 2 and all(ch in "0123456789abcdefABCDEF" for ch in s)


ESCAPES = {0x0D: "\\r", 0x0A: "\\n", 0x5C: "\\\\"}


def escape(data):
    return "".join(ESCAPES.get(b) or (chr(b) if 0x20 <= b < 0x7F else "\\x%02x" % b) for b in data)


def pattern(n):
    block = bytes(i % PATTERN_MODULUS for i in range(PATTERN_MODULUS * 64))
    whole, rest = divmod(n, len(block))
    return block * whole + block[:rest]


def dedent(line, indent):
    """line without the first indent characters of leading blanks."""
    cut = 0
    while cut < indent and cut < len(line) and line[cut] in " \t":
        cut += 1
    return line[cut:]


# Steps that run before the first client connects; any other step waits for it first.
SETUP_STEPS = {"default", "sleep"}


def parse_script(text):
    steps = []
    lines = text.splitlines()
    i = 0
    while i < len(lines):
        lineno = i + 1
        line = lines[i].strip()
        i += 1
        if not line or line.startswith("#"):
            continue
        name, _, arg = line.partition(" ")
        arg = arg.strip()
        if not hasattr(ScriptedServer, "step_" + name.replace("-", "_")):
            raise ScriptError("line %d: unknown step '%s'" % (lineno, name))
        payload = None
        if name == "data-send" and arg.startswith("<<"):
            tag = arg[2:].strip()
            indent = len(lines[lineno - 1]) - len(lines[lineno - 1].lstrip())
            body = []
            while i < len(lines) and lines[i].strip() != tag:
                body.append(dedent(lines[i], indent))
                i += 1
            if i >= len(lines):
                raise ScriptError("line %d: no closing '%s'" % (lineno, tag))
            i += 1
            payload = "".join(b + "\r\n" for b in body).encode("utf-8")
        steps.append(Step(lineno, name, arg, payload))
    return steps


# The steps of a third party and of a host that talks without end live in hostile_peers.py,
# which takes the helpers above from this module: run as a program, it is known by its own name
# too, so that the two share one ScriptError.
sys.modules.setdefault("scripted_ftp_server", sys.modules[__name__])
import hostile_peers  # noqa: E402


class ScriptedServer(hostile_peers.ThirdPartySteps):
    def __init__(self, workdir, steps, port):
        self.workdir = workdir
        self.steps = steps
        self.events = open(os.path.join(workdir, "events.log"), "a", buffering=1, encoding="utf-8")
        self.transcript = open(os.path.join(workdir, "control.bin"), "ab", buffering=0)
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", port))
        self.listener.listen(8)
        self.timeout = 10.0
        self.conn = None
        self.lines = None
        self.closed = True
        # A plain RFC 959 host knows no FEAT: unless a script expects it, it is refused.
        self.defaults = [("FEAT", "500 FEAT not understood")]
        self.pasv = None
        self.port_addr = None
        self.mode = None
        self.data = None
        self.recv_count = 0
        self.rcvbuf = 0  # a small receive window for data connections, when set
        self.lock = threading.Lock()

    # events and control output

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

    # control connection

    def accept_control(self):
        self.listener.settimeout(self.timeout)
        try:
            conn, _ = self.listener.accept()
        except socket.timeout:
            raise ScriptError("no client connected within %d ms" % (self.timeout * 1000))
        self.listener.settimeout(None)
        conn.settimeout(None)
        self.conn = conn
        self.closed = False
        self.lines = queue.Queue()
        threading.Thread(target=self.read_control, args=(conn, self.lines), daemon=True).start()
        self.event("CONNECTED")

    def read_control(self, conn, lines):
        buf = b""
        while True:
            try:
                chunk = conn.recv(65536)
            except OSError:
                chunk = b""
            if not chunk:
                lines.put(None)
                return
            self.transcript.write(chunk)
            buf += chunk
            while b"\n" in buf:
                line, buf = buf.split(b"\n", 1)
                if line.endswith(b"\r"):
                    line = line[:-1]
                lines.put(line)

    def next_line(self, deadline, what):
        """The next command line, or None when the client closed the connection."""
        if self.closed:
            return None
        while True:
            remaining = None if deadline is None else deadline - time.monotonic()
            if remaining is not None and remaining <= 0:
                raise ScriptError("timed out after %d ms waiting for %s" % (self.timeout * 1000, what))
            try:
                line = self.lines.get(timeout=remaining)
            except queue.Empty:
                continue
            if line is None:
                self.closed = True
                self.event("CLOSED")
                return None
            self.event("RECV", escape(line))
            self.note_data_address(line)
            return line

    def default_for(self, text):
        verb = text.split(" ", 1)[0].lower()
        for glob, reply in reversed(self.defaults):
            if fnmatch.fnmatchcase(verb, glob.lower()):
                return reply
        return None

    def note_data_address(self, line):
        text = line.decode("latin-1")
        verb, _, arg = text.partition(" ")
        verb = verb.upper()
        try:
            if verb == "PORT":
                parts = [int(p) for p in arg.strip().split(",")]
                address, port = ".".join(str(p) for p in parts[:4]), parts[4] * 256 + parts[5]
            elif verb == "EPRT":
                fields = arg.strip().split(arg.strip()[0])
                address, port = fields[2], int(fields[3])
            else:
                return
        except (ValueError, IndexError):
            return
        # Tests stay on loopback whatever address the client names.
        if address != "127.0.0.1":
            self.event("NOTE", "the client asked for %s; connecting to 127.0.0.1" % address)
        self.port_addr = ("127.0.0.1", port)
        self.mode = "active"

    # data connection

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
            self.pasv = None
            self.mode = None
        elif self.mode == "active":
            self.data = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            if self.rcvbuf:
                self.data.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, self.rcvbuf)
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

    def data_send(self, payload):
        sock = self.data_open()
        try:
            sock.sendall(payload)
        except OSError as e:
            raise ScriptError("sending data failed: %s" % e)
        finally:
            self.data_close()

    def data_close(self):
        if self.data is not None:
            try:
                self.data.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            self.data.close()
            self.data = None

    def resolve(self, name):
        return name if os.path.isabs(name) else os.path.join(self.workdir, name)

    # steps

    def run(self):
        try:
            for step in self.steps:
                self.event("STEP", "%d %s %s" % (step.lineno, step.name, step.arg))
                try:
                    if self.lines is None and step.name not in SETUP_STEPS:
                        self.accept_control()
                    getattr(self, "step_" + step.name.replace("-", "_"))(step)
                except (ValueError, OSError) as e:
                    self.event("FAIL", "line %d: %s: %s" % (step.lineno, type(e).__name__, e))
                    break
                except ScriptError as e:
                    self.event("FAIL", "line %d: %s" % (step.lineno, e))
                    if e.unanswered:
                        self.answer_quietly("502 Script mismatch")
                    break
            else:
                self.event("DONE")
        except ScriptError as e:
            self.event("FAIL", "line 0: %s" % e)
        self.serve_rest()

    def answer_quietly(self, text):
        try:
            self.reply(text)
        except ScriptError:
            pass

    def serve_rest(self):
        if self.lines is None:
            self.timeout = None
            self.accept_control()
        while True:
            line = self.next_line(None, "the client") if self.conn is not None else None
            if line is None:
                break
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
            try:
                conn.sendall(b"421 Script ended\r\n")
            except OSError:
                pass
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
                raise ScriptError("expected '%s' but got '%s'" % (glob, escape(line)), True)
            self.reply(reply)

    def step_default(self, step):
        verb, _, reply = step.arg.partition(" ")
        if not verb or not reply:
            raise ScriptError("default needs a verb and a reply")
        self.defaults = [d for d in self.defaults if d[0].lower() != verb.lower()]
        self.defaults.append((verb, reply.strip()))

    def open_pasv(self):
        if self.pasv is not None:
            self.pasv.close()
        self.data_close()
        self.pasv = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        if self.rcvbuf:
            self.pasv.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, self.rcvbuf)
        self.pasv.bind(("127.0.0.1", 0))
        self.pasv.listen(1)
        self.mode = "passive"
        return self.pasv.getsockname()[1]

    def step_reply_pasv(self, step):
        port = self.open_pasv()
        address = (step.arg or "127.0.0.1").replace(".", ",")
        self.reply("227 Entering Passive Mode (%s,%d,%d)." % (address, port // 256, port % 256))

    def step_reply_epsv(self, step):
        port = self.open_pasv()
        self.reply("229 Entering Extended Passive Mode (|||%d|)" % port)

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

    def step_data_recv(self, step):
        self.recv_count += 1
        name = step.arg or "recv-%d.bin" % self.recv_count
        sock = self.data_open()
        size = 0
        try:
            with open(self.resolve(name), "wb") as f:
                while True:
                    chunk = sock.recv(65536)
                    if not chunk:
                        break
                    f.write(chunk)
                    size += len(chunk)
        except socket.timeout:
            raise ScriptError("no data for %d ms while receiving %s" % (self.timeout * 1000, name))
        except OSError as e:
            raise ScriptError("receiving %s failed: %s" % (name, e))
        finally:
            self.data_close()
        self.event("DATA", "%s %d" % (name, size))

    def step_send_endless(self, step):
        if self.conn is None:
            raise ScriptError("no control connection to send on")
        total = int(step.arg) if step.arg else ENDLESS_DEFAULT
        chunk = b"x" * 4096
        sent = 0
        try:
            while sent < total:
                piece = chunk[: min(len(chunk), total - sent)]
                self.conn.sendall(piece)
                sent += len(piece)
        except OSError:
            self.event("ENDLESS", "closed %d" % sent)
            return
        self.event("ENDLESS", "sent %d" % sent)

    def step_expect_close(self, step):
        deadline = time.monotonic() + self.timeout
        while self.next_line(deadline, "the client to close the connection") is not None:
            pass

    def step_silence(self, step):
        deadline = time.monotonic() + int(step.arg) / 1000.0 if step.arg else None
        while True:
            try:
                if self.next_line(deadline, "silence") is None:
                    return
            except ScriptError:
                return

    def step_sleep(self, step):
        time.sleep(int(step.arg) / 1000.0)

    def step_data_send_cut(self, step):
        sock = self.data_open()
        payload = pattern(int(step.arg))
        sent = 0
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

    def step_expect_quiet(self, step):
        deadline = time.monotonic() + int(step.arg) / 1000.0
        try:
            line = self.next_line(deadline, "quiet")
        except ScriptError:
            return  # nothing came, as wanted
        if line is not None:
            raise ScriptError("'%s' arrived while the client had to wait" % escape(line))

    def step_serve_host(self, step):
        import hostile_host

        hostile_host.serve(self, step.arg.strip() or "hostile")


def main():
    parser = argparse.ArgumentParser(description="Scripted FTP server for tests")
    parser.add_argument("--script", required=True)
    parser.add_argument("--dir", required=True)
    parser.add_argument("--port", type=int, default=0)
    args = parser.parse_args()
    with open(args.script, encoding="utf-8") as f:
        text = f.read()
    try:
        steps = parse_script(text)
    except ScriptError as e:
        with open(os.path.join(args.dir, "events.log"), "a", encoding="utf-8") as f:
            f.write("FAIL %s\n" % e)
        print("scripted_ftp_server: %s" % e, file=sys.stderr)
        return 2
    server = ScriptedServer(args.dir, steps, args.port)
    server.event("LISTENING", str(server.listener.getsockname()[1]))
    server.run()
    return 0


if __name__ == "__main__":
    sys.exit(main())
