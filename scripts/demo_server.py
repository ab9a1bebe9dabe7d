#!/usr/bin/python3
"""A local FTP server to try Orvane FTP with: pyftpdlib on 127.0.0.1 only, serving a sample
folder tree (text files, images, a large file) made on first start.

    /usr/bin/python3 scripts/demo_server.py [--root FOLDER] [--port N]

Anonymous logins may read everything; the user "demo" with password "demo" may also upload,
rename, delete and make folders. Explicit FTP over TLS (AUTH TLS) is offered with a self-signed
certificate made at the first start (kept in the root's parent folder), so the program asks
once whether to trust it; --no-tls serves plain FTP only. Stop it with Ctrl+C.
"""

import argparse
import os
import struct
import subprocess
import sys
import zlib

try:
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import FTPServer
except ImportError:
    sys.exit("demo-server: pyftpdlib is missing; run 'make deps' (Debian package python3-pyftpdlib)")

LARGE_FILE_BYTES = 64 * 1024 * 1024


def png(width, height, colour_of):
    """A small true-colour PNG whose pixel (x, y) has the colour colour_of(x, y)."""
    rows = b"".join(
        b"\x00" + b"".join(bytes(colour_of(x, y)) for x in range(width)) for y in range(height)
    )

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows, 9))
            + chunk(b"IEND", b""))


def write(path, content):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    if not os.path.exists(path):
        with open(path, "wb") as f:
            f.write(content)


def make_tree(root):
    write(os.path.join(root, "README.txt"),
          b"Welcome to the Orvane FTP demo server.\r\n\r\n"
          b"pub/      text files and a large file to try transfers and the task panel\r\n"
          b"images/   a few pictures\r\n"
          b"upload/   log in as demo/demo to send files here\r\n")
    for n in range(1, 6):
        write(os.path.join(root, "pub", "notes", "note-%d.txt" % n),
              ("Note %d\r\n" % n).encode() + b"Some text to look at.\r\n" * (40 * n))
    write(os.path.join(root, "pub", "index.html"),
          b"<html><body><h1>Orvane FTP demo</h1></body></html>\r\n")
    write(os.path.join(root, "pub", "source", "hello.c"),
          b'#include <stdio.h>\n\nint main(void)\n{\n    puts("hello");\n    return 0;\n}\n')
    large = os.path.join(root, "pub", "large.bin")
    if not os.path.exists(large) or os.path.getsize(large) != LARGE_FILE_BYTES:
        block = bytes(range(256)) * 4096
        with open(large, "wb") as f:
            for _ in range(LARGE_FILE_BYTES // len(block)):
                f.write(block)
    write(os.path.join(root, "images", "gradient.png"),
          png(64, 64, lambda x, y: (x * 4, y * 4, 128)))
    write(os.path.join(root, "images", "checker.png"),
          png(64, 64, lambda x, y: (255, 255, 255) if (x // 8 + y // 8) % 2 else (40, 40, 160)))
    write(os.path.join(root, "images", "stripes.png"),
          png(64, 32, lambda x, y: (200, 60, 60) if (y // 4) % 2 else (250, 220, 120)))
    os.makedirs(os.path.join(root, "upload"), exist_ok=True)


def make_certificate(folder):
    """A self-signed certificate for 127.0.0.1 and its key, made with openssl on first use."""
    certificate = os.path.join(folder, "demo-certificate.pem")
    key = os.path.join(folder, "demo-key.pem")
    if not (os.path.exists(certificate) and os.path.exists(key)):
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes",
                        "-keyout", key, "-out", certificate, "-days", "365",
                        "-subj", "/CN=127.0.0.1/O=Orvane FTP demo server",
                        "-addext", "subjectAltName=IP:127.0.0.1"],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.chmod(key, 0o600)
    return certificate, key


def tls_handler(certificate, key):
    try:
        from pyftpdlib.handlers import TLS_FTPHandler
    except ImportError:
        sys.exit("demo-server: TLS needs python3-openssl; run 'make deps' or use --no-tls")
    handler = TLS_FTPHandler
    handler.certfile = certificate
    handler.keyfile = key
    return handler


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default=os.path.join("build", "demo-ftp"))
    parser.add_argument("--port", type=int, default=2121)
    parser.add_argument("--no-tls", action="store_true", help="serve plain FTP only")
    args = parser.parse_args()

    root = os.path.abspath(args.root)
    make_tree(root)

    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(root, perm="elr")
    authorizer.add_user("demo", "demo", root, perm="elradfmwMT")
    if args.no_tls:
        handler = FTPHandler
        fingerprint = None
    else:
        certificate, key = make_certificate(os.path.dirname(root))
        handler = tls_handler(certificate, key)
        fingerprint = subprocess.run(
            ["openssl", "x509", "-in", certificate, "-noout", "-fingerprint", "-sha256"],
            check=True, capture_output=True, text=True).stdout.strip().split("=", 1)[-1]
    handler.authorizer = authorizer
    handler.banner = "Orvane FTP demo server ready."
    handler.passive_ports = range(50000, 50100)
    handler.masquerade_address = None
    try:
        server = FTPServer(("127.0.0.1", args.port), handler)
    except OSError as error:
        sys.exit("demo-server: cannot listen on 127.0.0.1:%d (%s); try DEMO_PORT=<port>"
                 % (args.port, error.strerror))

    print("Orvane FTP demo server on ftp://127.0.0.1:%d/ serving %s" % (args.port, root))
    print("In Orvane FTP choose File > Quick Connect and type:")
    print("    Host Address: 127.0.0.1")
    print("    Port (Advanced page): %d" % args.port)
    print("    Anonymous Session checked, or user demo / password demo to upload too.")
    if fingerprint:
        print("It offers FTP over TLS with a self-signed certificate; the program asks whether")
        print("to trust it. Its SHA-256 fingerprint is:")
        print("    " + fingerprint)
    print("Stop the server with Ctrl+C.", flush=True)
    import logging
    logging.basicConfig(level=logging.WARNING)
    try:
        server.serve_forever(handle_exit=True)
    except KeyboardInterrupt:
        pass
    finally:
        server.close_all()


if __name__ == "__main__":
    main()
