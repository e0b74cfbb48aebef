#!/usr/bin/python3
"""A small FTP server on loopback for the tests and the demo (pyftpdlib).

Serves one folder to one user. Prints "port <n>" once it listens, then runs until it
is stopped. Options shape the server's behaviour for the tests:
  --read-limit N   uploads arrive at most N bytes a second (a slow line)
  --drop-after N   the server drops the whole session once N bytes of an upload came
  --no-rename-over RNTO onto an existing name is refused (550), as some servers do
  --tls CERT       (without the two above) explicit TLS (AUTH TLS) required on control and data connections;
                   CERT holds the certificate and its key
"""
import argparse
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", default="timer")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--read-limit", type=int, default=0)
    parser.add_argument("--drop-after", type=int, default=0)
    parser.add_argument("--no-rename-over", action="store_true")
    parser.add_argument("--tls", default="")
    args = parser.parse_args()

    logging.basicConfig(level=logging.WARNING, stream=sys.stderr)

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")

    base = FTPHandler
    if args.tls:
        from pyftpdlib.handlers import TLS_FTPHandler
        base = TLS_FTPHandler

    class Dtp(ThrottledDTPHandler):
        read_limit = args.read_limit

        def handle_read(self):
            super().handle_read()
            if args.drop_after and self.tot_bytes_received >= args.drop_after:
                # The whole session goes, as when a server or its line fails.
                channel = self.cmd_channel
                self.close()
                if channel is not None:
                    channel.close()

        # The base class calls its own reader through this name.
        handle_read_event = handle_read

    class Handler(base):
        def ftp_RNTO(self, path):
            if args.no_rename_over and self._rnfr and self.fs.lexists(path):
                self._rnfr = None
                self.respond("550 Destination exists.")
                return
            return super().ftp_RNTO(path)

    Handler.authorizer = authorizer
    if not args.tls:
        # The TLS data handler does its handshake through the reader this one replaces.
        Handler.dtp_handler = Dtp
    Handler.banner = "lumivane test server ready"
    Handler.permit_foreign_addresses = False
    if args.tls:
        Handler.certfile = args.tls
        Handler.tls_control_required = True
        Handler.tls_data_required = True

    server = FTPServer(("127.0.0.1", args.port), Handler)
    print("port %d" % server.address[1], flush=True)
    try:
        server.serve_forever(handle_exit=True)
    finally:
        server.close_all()


if __name__ == "__main__":
    main()
