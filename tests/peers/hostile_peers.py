#!/usr/bin/python3
"""Steps of the scripted FTP server (scripted_ftp_server.py) that play a third party on the
network and a host that talks without end."""
#
# intrude [TEXT]        a third party on 127.0.0.2 connects to the port of the last
#                       PORT/EPRT before the host does, sends TEXT (then ends its side)
#                       and reads until the client closes the connection (3 s at most);
#                       logs "INTRUDER received N closed|open" or "INTRUDER failed ..."
# reply-pasv-lure ADDRESS
#                       reply-pasv ADDRESS, and a third party listens on ADDRESS (a
#                       loopback address such as 127.0.0.2) on the same port; every
#                       connection it gets is logged "LURED"
# reply-repeat COUNT TEXT
#                       send TEXT + CRLF COUNT times, in large writes ("forever": until
#                       the client closes the connection); logs "REPEAT sent|closed N"
# reply-every MS TEXT   send TEXT + CRLF every MS milliseconds until the client closes
#                       the connection; logs "REPEAT closed N"
# data-trickle MS N     send N pieces of 1000 pattern bytes on the data connection, one
#                       every MS milliseconds, then close it (data that keeps moving)

import queue
import socket
import threading
import time

from scripted_ftp_server import ScriptError, escape, pattern, unescape

THIRD_PARTY_ADDRESS = "127.0.0.2"
INTRUDER_WAIT = 3.0
TRICKLE_PIECE = 1000


class ThirdPartySteps:
    """Mixed into ScriptedServer."""

    def client_gone(self):
        """True once the reader thread has seen the client close the control connection."""
        if self.closed:
            return True
        try:
            while True:
                line = self.lines.get_nowait()
                if line is None:
                    self.closed = True
                    self.event("CLOSED")
                    return True
                self.event("RECV", escape(line))
        except queue.Empty:
            return False

    def step_intrude(self, step):
        if self.port_addr is None:
            raise ScriptError("intrude needs a PORT or EPRT command first")
        sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        try:
            sock.bind((THIRD_PARTY_ADDRESS, 0))
            sock.settimeout(INTRUDER_WAIT)
            sock.connect(self.port_addr)
        except ConnectionResetError:
            # Hung up on before connect() even returned.
            sock.close()
            self.event("INTRUDER", "received 0 closed")
            return
        except OSError as e:
            sock.close()
            self.event("INTRUDER", "failed %s" % e)
            return
        received = 0
        state = "open"
        deadline = time.monotonic() + INTRUDER_WAIT
        try:
            if step.arg:
                sock.sendall(unescape(step.arg))
                sock.shutdown(socket.SHUT_WR)
            while time.monotonic() < deadline:
                sock.settimeout(max(0.01, deadline - time.monotonic()))
                chunk = sock.recv(65536)
                if not chunk:
                    state = "closed"
                    break
                received += len(chunk)
        except socket.timeout:
            pass
        except OSError:
            state = "closed"
        finally:
            sock.close()
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
        lure = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        lure.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        lure.bind((step.arg, port))
        lure.listen(4)
        threading.Thread(target=self.lure, args=(lure,), daemon=True).start()
        address = step.arg.replace(".", ",")
        self.reply("227 Entering Passive Mode (%s,%d,%d)." % (address, port // 256, port % 256))

    def step_reply_repeat(self, step):
        count, _, text = step.arg.partition(" ")
        line = unescape(text) + b"\r\n"
        endless = count == "forever"
        total = 0 if endless else int(count)
        per_write = max(1, 65536 // len(line))
        sent = 0
        try:
            while endless or sent < total:
                n = per_write if endless else min(per_write, total - sent)
                self.conn.sendall(line * n)
                sent += n
        except OSError:
            self.event("REPEAT", "closed %d" % sent)
            return
        self.event("REPEAT", "sent %d" % sent)

    def step_reply_every(self, step):
        every, _, text = step.arg.partition(" ")
        line = unescape(text) + b"\r\n"
        sent = 0
        try:
            while not self.client_gone():
                self.conn.sendall(line)
                sent += 1
                time.sleep(int(every) / 1000.0)
        except OSError:
            pass
        self.event("REPEAT", "closed %d" % sent)

    def step_data_trickle(self, step):
        every, _, count = step.arg.partition(" ")
        payload = pattern(TRICKLE_PIECE * int(count))
        sock = self.data_open()
        try:
            for at in range(0, len(payload), TRICKLE_PIECE):
                sock.sendall(payload[at : at + TRICKLE_PIECE])
                time.sleep(int(every) / 1000.0)
        except OSError as e:
            raise ScriptError("sending data failed: %s" % e)
        finally:
            self.data_close()
