#!/usr/bin/python3
"""A pyftpdlib server for the tests (tests/support/pyftpdlibserver.h): serves --root read-write to
the user and to anonymous on ports the system picks; writes "LISTENING <port>" to --ready-file."""

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
    """pyftpdlib 1.5.7 closes a used PORT connector at the session's next PORT, unregistering its
    old descriptor number again, which may by then be another session's: that session's PORT is
    never answered. Forget the descriptor once unregistered."""

    def del_channel(self, map=None):
        super().del_channel(map)
        self._fileno = None


def main():
    parser = argparse.ArgumentParser(description="pyftpdlib server for tests")
    for name in ("--root", "--user", "--password", "--ready-file"):
        parser.add_argument(name, required=True)
    parser.add_argument("--log")
    parser.add_argument("--address", default="127.0.0.1")
    parser.add_argument("--no-mlst", action="store_true")  # a host that lists with LIST only (bench)
    parser.add_argument("--tls-cert")  # explicit FTP over TLS with this PEM file and key
    parser.add_argument("--tls-key")
    parser.add_argument("--drop-first-retr", action="store_true")
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
    with open(args.ready_file + ".tmp", "w") as f:
        f.write("LISTENING %d\n" % server.socket.getsockname()[1])
    os.replace(args.ready_file + ".tmp", args.ready_file)
    server.serve_forever(handle_exit=False)
    return 0


if __name__ == "__main__":
    sys.exit(main())
