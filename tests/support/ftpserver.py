#!/usr/bin/python3
"""Loopback FTP server for the engine tests.

Serves one root folder to the anonymous user and to alice/secret, both with full
permissions. Binds 127.0.0.1 (or --address, e.g. ::1) on a port the system picks
and prints that port as the first line on stdout, so the test that started it
knows where to connect. Options take away passive mode, active mode or MLST/MLSD,
as some real servers do. The whole protocol log goes to --log (or to stderr,
errors only).

With --tls explicit the server offers AUTH TLS, PBSZ and PROT; with --tls
implicit the control connection is TLS from its first byte. Either way the
certificate is --cert (a PEM file holding the key and the certificate), made
self-signed for CN=localhost / IP 127.0.0.1 when the file does not exist, and
its SHA-256 fingerprint ("AB:CD:...") is the second line on stdout.
--make-cert FILE only makes such a file, prints the fingerprint and exits.

    /usr/bin/python3 ftpserver.py --root /tmp/x --log /tmp/x.log
    40123
    /usr/bin/python3 ftpserver.py --root /tmp/x --tls implicit --cert /tmp/c.pem
    40125
    3A:91:...
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


def make_certificate(path):
    """A new self-signed key and certificate for localhost / 127.0.0.1, written to path."""
    from OpenSSL import crypto
    key = crypto.PKey()
    key.generate_key(crypto.TYPE_RSA, 2048)
    cert = crypto.X509()
    cert.set_version(2)
    cert.set_serial_number(int.from_bytes(os.urandom(8), "big"))
    cert.get_subject().CN = "localhost"
    cert.set_issuer(cert.get_subject())
    cert.gmtime_adj_notBefore(-3600)
    cert.gmtime_adj_notAfter(7 * 24 * 3600)
    cert.add_extensions([
        crypto.X509Extension(b"subjectAltName", False, b"DNS:localhost, IP:127.0.0.1, IP:::1"),
        crypto.X509Extension(b"basicConstraints", True, b"CA:FALSE"),
    ])
    cert.set_pubkey(key)
    cert.sign(key, "sha256")
    # Readable by its owner only: pyftpdlib runs as the test's user, vsftpd as root.
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
    with os.fdopen(fd, "wb") as out:
        out.write(crypto.dump_privatekey(crypto.FILETYPE_PEM, key))
        out.write(crypto.dump_certificate(crypto.FILETYPE_PEM, cert))


def certificate_fingerprint(path):
    from OpenSSL import crypto
    with open(path, "rb") as pem:
        cert = crypto.load_certificate(crypto.FILETYPE_PEM, pem.read())
    return cert.digest("sha256").decode("ascii").upper()


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
    base = FTPHandler
    if args.tls:
        from pyftpdlib.handlers import TLS_FTPHandler
        base = TLS_FTPHandler
        attributes.update(certfile=args.cert, keyfile=args.cert,
                          tls_control_required=args.require_tls,
                          tls_data_required=args.require_tls)
        if args.tls == "implicit":
            attributes["handle"] = handle_implicit
        if not args.stock_data_tls:
            attributes["dtp_handler"] = early_handshake_dtp()
    if args.no_mlst:
        # Unknown commands get 500 and FEAT lists only what proto_cmds holds.
        attributes["proto_cmds"] = {name: value for name, value in base.proto_cmds.items()
                                    if name not in ("MLST", "MLSD")}
    return type("Handler", (base,), attributes)


def early_handshake_dtp():
    """A data channel that lets the client start TLS as soon as it connects.

    pyftpdlib 1.5.7 closes a data connection that becomes readable before its
    transfer command arrived, so a ClientHello sent right after connecting (as
    vsftpd allows) ends it. This one lets the handshake run first.
    """
    from pyftpdlib.handlers import TLS_DTPHandler

    def readable(dtp):
        return dtp._ssl_accepting or TLS_DTPHandler.readable(dtp)
    return type("DTPHandler", (TLS_DTPHandler,), {"readable": readable})


def handle_implicit(handler):
    """Implicit TLS: the handshake comes first; the greeting goes out encrypted after it."""
    from pyftpdlib.handlers import TLS_FTPHandler
    handler.secure_connection(handler.ssl_context)
    TLS_FTPHandler.handle(handler)


def parse_args():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", help="folder served to every user")
    parser.add_argument("--log", help="file that receives the full protocol log")
    parser.add_argument("--banner", help="text of the 220 greeting")
    parser.add_argument("--masquerade", help="address announced in 227 replies")
    parser.add_argument("--no-anonymous", action="store_true",
                        help="refuse the anonymous user")
    parser.add_argument("--address", default="127.0.0.1",
                        help="loopback address to listen on (127.0.0.1 or ::1)")
    parser.add_argument("--port", type=int, default=0,
                        help="port to listen on; 0 (the default): one the system picks")
    parser.add_argument("--refuse-passive", action="store_true",
                        help="answer PASV and EPSV with 502")
    parser.add_argument("--refuse-active", action="store_true",
                        help="answer PORT and EPRT with 502")
    parser.add_argument("--no-mlst", action="store_true",
                        help="no MLST/MLSD: left out of FEAT, answered 500")
    parser.add_argument("--tls", choices=("explicit", "implicit"),
                        help="AUTH TLS, or TLS from the first byte")
    parser.add_argument("--cert", help="PEM key and certificate; made when missing")
    parser.add_argument("--require-tls", action="store_true",
                        help="no USER/PASS before AUTH TLS, no data connection before PROT P")
    parser.add_argument("--stock-data-tls", action="store_true",
                        help="pyftpdlib's own data channel: it closes a data connection "
                             "whose TLS handshake starts before its transfer command")
    parser.add_argument("--make-cert", metavar="FILE",
                        help="only make a new key and certificate, print its fingerprint")
    args = parser.parse_args()
    if args.make_cert:
        return args
    if not args.root:
        parser.error("--root is required")
    if args.tls and not args.cert:
        parser.error("--tls needs --cert")
    return args


def main():
    die_with_parent()
    args = parse_args()
    if args.make_cert:
        make_certificate(args.make_cert)
        print(certificate_fingerprint(args.make_cert), flush=True)
        return
    configure_logging(args.log)
    if args.tls and not os.path.exists(args.cert):
        make_certificate(args.cert)

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
        server = FTPServer((args.address, args.port), Handler)
    except OSError as error:
        sys.exit("cannot listen on %s: %s" % (args.address, error.strerror or error))
    print(server.socket.getsockname()[1], flush=True)
    if args.tls:
        print(certificate_fingerprint(args.cert), flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
