#!/usr/bin/python3
"""Loopback FTP server for the engine tests.

Serves one root folder to the anonymous user and to alice/secret, both with full
permissions. Binds 127.0.0.1 (or --address, e.g. ::1) on a port the system picks
and prints that port as the first line on stdout, so the test that started it
knows where to connect. Options take away passive mode, active mode or MLST/MLSD,
as some real servers do. The whole protocol log goes to --log (or to stderr,
errors only).

    /usr/bin/python3 ftpserver.py --root /tmp/x --log /tmp/x.log
    40123
"""

import argparse
import ctypes
import logging
import os
import signal
import sys
import warnings

# Anonymous write access is what the tests want; pyftpdlib warns about it, and
# Python 3.11 warns about the asyncore/asynchat modules pyftpdlib is built on.
warnings.simplefilter("ignore")

from pyftpdlib.authorizers import DummyAuthorizer  # noqa: E402
from pyftpdlib.handlers import FTPHandler  # noqa: E402
from pyftpdlib.servers import FTPServer  # noqa: E402

FULL_PERMS = "elradfmwMT"
NAMED_USER = "alice"
NAMED_PASSWORD = "secret"


def die_with_parent():
    """Ask the kernel to kill us when the test process goes away, crash included."""
    PR_SET_PDEATHSIG = 1
    try:
        libc = ctypes.CDLL(None, use_errno=True)
        libc.prctl(PR_SET_PDEATHSIG, signal.SIGKILL)
    except (OSError, AttributeError):
        pass
    if os.getppid() == 1:  # the parent died before prctl took effect
        sys.exit(1)


def configure_logging(log_path):
    logger = logging.getLogger("pyftpdlib")
    if log_path:
        handler = logging.FileHandler(log_path, encoding="utf-8")
        logger.setLevel(logging.DEBUG)
    else:
        handler = logging.StreamHandler(sys.stderr)
        logger.setLevel(logging.ERROR)
    handler.setFormatter(logging.Formatter("%(asctime)s %(levelname)s %(message)s"))
    logger.addHandler(handler)
    logger.propagate = False


def refuse(handler, line):
    handler.respond("502 Command not implemented.")


def make_handler(args):
    """The FTPHandler subclass for the options given."""
    attributes = {
        # Names go out and come in as the bytes the file system holds, as with most servers:
        # UTF-8 where they are UTF-8, the very bytes where they are not.
        "encoding": "utf8",
        "unicode_errors": "surrogateescape",
    }
    if args.refuse_passive:
        attributes.update(ftp_PASV=refuse, ftp_EPSV=refuse)
    if args.refuse_active:
        attributes.update(ftp_PORT=refuse, ftp_EPRT=refuse)
    if args.no_mlst:
        # Unknown commands get 500 and FEAT lists only what proto_cmds holds.
        attributes["proto_cmds"] = {name: value for name, value in FTPHandler.proto_cmds.items()
                                    if name not in ("MLST", "MLSD")}
    return type("Handler", (FTPHandler,), attributes)


def parse_args():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", required=True, help="folder served to every user")
    parser.add_argument("--log", help="file that receives the full protocol log")
    parser.add_argument("--banner", help="text of the 220 greeting")
    parser.add_argument("--masquerade", help="address announced in 227 replies")
    parser.add_argument("--no-anonymous", action="store_true",
                        help="refuse the anonymous user")
    parser.add_argument("--address", default="127.0.0.1",
                        help="loopback address to listen on (127.0.0.1 or ::1)")
    parser.add_argument("--refuse-passive", action="store_true",
                        help="answer PASV and EPSV with 502")
    parser.add_argument("--refuse-active", action="store_true",
                        help="answer PORT and EPRT with 502")
    parser.add_argument("--no-mlst", action="store_true",
                        help="no MLST/MLSD: left out of FEAT, answered 500")
    return parser.parse_args()


def main():
    die_with_parent()
    args = parse_args()
    configure_logging(args.log)

    root = os.path.realpath(args.root)
    authorizer = DummyAuthorizer()
    authorizer.add_user(NAMED_USER, NAMED_PASSWORD, root, perm=FULL_PERMS)
    if not args.no_anonymous:
        authorizer.add_anonymous(root, perm=FULL_PERMS)

    Handler = make_handler(args)
    Handler.authorizer = authorizer
    # Host-to-host copies point one server's data connection at the other server.
    Handler.permit_foreign_addresses = True
    # Answer a wrong password at once; pyftpdlib would wait 3 s.
    Handler.auth_failed_timeout = 0
    if args.banner is not None:
        Handler.banner = args.banner
    if args.masquerade:
        Handler.masquerade_address = args.masquerade

    try:
        server = FTPServer((args.address, 0), Handler)
    except OSError as error:
        sys.exit("cannot listen on %s: %s" % (args.address, error.strerror or error))
    print(server.socket.getsockname()[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
