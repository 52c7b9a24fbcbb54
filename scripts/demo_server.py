#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A local FTP server for trying Vexmora: user demo, password demo, on
127.0.0.1 only, serving one folder (a small sample web site)."""
import argparse
import logging

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, default=2121)
    parser.add_argument("--root", required=True)
    args = parser.parse_args()

    logging.basicConfig(level=logging.WARNING)
    authorizer = DummyAuthorizer()
    authorizer.add_user("demo", "demo", args.root, perm="elradfmwMT")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.banner = "Vexmora demo server ready."
    handler.passive_ports = range(50000, 50400)
    server = FTPServer(("127.0.0.1", args.port), handler)
    server.serve_forever()


if __name__ == "__main__":
    main()
