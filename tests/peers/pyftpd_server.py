#!/usr/bin/python3
"""A pyftpdlib server for Orvane FTP's tests (tests/support/pyftpdlibserver.h), by hand:

    /usr/bin/python3 pyftpd_server.py --root DIR --user NAME --password WORD \
        --ready-file FILE [--log FILE] [--address 127.0.0.1|::1] [--no-mlst] [--drop-first-retr]

It serves DIR read-write to the user and to anonymous. Once it listens it writes
"LISTENING <port>" to --ready-file. The system picks the port and each passive one.
"""

import argparse
import logging
import os
import sys
import warnings

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import ActiveDTP, FTPHandler
from pyftpdlib.servers import FTPServer

ALL_PERMISSIONS = "elradfmwMT"


class ActiveDataConnector(ActiveDTP):
    """pyftpdlib's connector for PORT, forgetting its descriptor once unregistered.

    pyftpdlib 1.5.7 keeps the connector after it has handed the connection on, and
    closes it at the session's next PORT, which unregisters the old descriptor number
    from the I/O loop once more. With several sessions that number may by then belong
    to another session's connector or data connection: it drops out of the loop, and
    that session's PORT is never answered (the log shows "<- port ..." and no reply).
    """

    def del_channel(self, map=None):
        super().del_channel(map)
        self._fileno = None


def main():
    parser = argparse.ArgumentParser(description="pyftpdlib server for tests")
    for name in ("--root", "--user", "--password", "--ready-file"):
        parser.add_argument(name, required=True)
    parser.add_argument("--log")
    parser.add_argument("--address", default="127.0.0.1")
    parser.add_argument("--no-mlst", action="store_true",
                        help="offer neither MLST nor MLSD (a host that lists with LIST only)")
    parser.add_argument("--tls-cert", help="offer explicit FTP over TLS with this PEM file")
    parser.add_argument("--tls-key")
    parser.add_argument("--drop-first-retr", action="store_true",
                        help="answer the first RETR of each existing file with 150, then hang up")
    args = parser.parse_args()

    logging.basicConfig(filename=args.log, level=logging.DEBUG, format="%(asctime)s %(message)s")
    # Anonymous write access is what the tests want; pyftpdlib warns about it.
    warnings.simplefilter("ignore", RuntimeWarning)

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm=ALL_PERMISSIONS)
    authorizer.add_anonymous(args.root, perm=ALL_PERMISSIONS)

    base = FTPHandler
    if args.tls_cert:
        from pyftpdlib.handlers import TLS_FTPHandler as base
    # A refused login is answered at once instead of after pyftpdlib's 3-second pause.
    handler = type("TestHandler", (base,), dict(
        authorizer=authorizer, active_dtp=ActiveDataConnector, masquerade_address=None,
        auth_failed_timeout=0, certfile=args.tls_cert, keyfile=args.tls_key))
    if args.drop_first_retr:
        dropped = set()

        # The first RETR of each file is cut off after its 150: a connection lost mid-download.
        def ftp_RETR(self, file):
            if file in dropped or not os.path.isfile(file):
                return base.ftp_RETR(self, file)
            dropped.add(file)
            self.respond("150 File status okay. About to open data connection.")
            self.close_when_done()

        handler.ftp_RETR = ftp_RETR
    if args.no_mlst:
        handler.proto_cmds = {k: v for k, v in base.proto_cmds.items() if k not in ("MLSD", "MLST")}

    server = FTPServer((args.address, 0), handler)
    port = server.socket.getsockname()[1]
    tmp = args.ready_file + ".tmp"
    with open(tmp, "w") as f:
        f.write("LISTENING %d\n" % port)
    os.replace(tmp, args.ready_file)
    server.serve_forever(handle_exit=False)
    return 0


if __name__ == "__main__":
    sys.exit(main())
