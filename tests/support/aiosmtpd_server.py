"""A real SMTP server (aiosmtpd) on a loopback port for the SMTP client's integration tests.

Usage: aiosmtpd_server.py OUTDIR USER PASSWORD [options]
  --tls none|starttls|require-starttls|implicit
        none: plain only (the default); starttls: STARTTLS offered; require-starttls: every
        command but EHLO, NOOP, STARTTLS and QUIT refused with 530 before STARTTLS; implicit:
        TLS from the first byte
  --cert-name NAME   the host name the server's certificate is for (default localhost)
  --mechanisms LIST  the AUTH mechanisms offered, comma-separated, from LOGIN, PLAIN, XOAUTH2
                     (default LOGIN)
  --token TOKEN      the bearer token XOAUTH2 accepts for USER
  --greylist         a recipient is refused with 450 the first time it is named, then accepted

Prints the port it listens on, then serves until its standard input closes. With TLS the
certificate comes from a certificate authority made for this run (python3-trustme), whose
certificate is written to OUTDIR/ca.pem before the port is printed. Every message is written to
OUTDIR: mail_from.txt, rcpt_tos.txt (one per line), data.eml (the message bytes as the server
received them, dots already restored), login.txt (the authenticated user), mechanism.txt (the
AUTH mechanism that succeeded), tls.txt (the TLS version, or "none"), ehlo.txt (the name the
client gave in EHLO or HELO) and mail_options.txt (the MAIL parameters, blank-separated).
"""

import argparse
import base64
import json
import logging
import os
import socket
import ssl
import sys
import warnings

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword

KNOWN_MECHANISMS = {"LOGIN", "PLAIN", "XOAUTH2"}


def parse_arguments():
    parser = argparse.ArgumentParser()
    parser.add_argument("out_dir")
    parser.add_argument("user")
    parser.add_argument("password")
    parser.add_argument("--tls", default="none",
                        choices=["none", "starttls", "require-starttls", "implicit"])
    parser.add_argument("--cert-name", default="localhost")
    parser.add_argument("--mechanisms", default="LOGIN")
    parser.add_argument("--token", default="")
    parser.add_argument("--greylist", action="store_true")
    return parser.parse_args()


def server_context(cert_name, out_dir):
    import trustme

    authority = trustme.CA()
    authority.cert_pem.write_to_path(os.path.join(out_dir, "ca.pem"))
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    authority.issue_cert(cert_name).configure_cert(context)
    return context


def main():
    args = parse_arguments()
    # The refusals the tests provoke (a certificate the client rejects, AUTH without TLS on a
    # plain test server) are expected; the server's reports of them would only hide real output.
    logging.getLogger("mail.log").setLevel(logging.CRITICAL)
    logging.getLogger("asyncio").setLevel(logging.CRITICAL)
    warnings.simplefilter("ignore")
    user, password = args.user.encode(), args.password.encode()
    mechanisms = set(args.mechanisms.upper().split(","))

    def write(name, data):
        with open(os.path.join(args.out_dir, name), "wb") as f:
            f.write(data)

    succeeded = {}
    seen_recipients = set()

    class Handler:
        async def handle_DATA(self, server, session, envelope):
            ssl_object = server.transport.get_extra_info("ssl_object")
            write("login.txt", session.auth_data.login if session.authenticated else b"")
            write("mechanism.txt", succeeded.get("mechanism", "").encode())
            write("tls.txt", (ssl_object.version() if ssl_object else "none").encode())
            write("ehlo.txt", (session.host_name or "").encode())
            write("mail_from.txt", envelope.mail_from.encode())
            write("mail_options.txt", " ".join(envelope.mail_options).encode())
            write("rcpt_tos.txt", "\n".join(envelope.rcpt_tos).encode())
            write("data.eml", envelope.original_content)
            return "250 Message accepted for delivery"

        async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
            if args.greylist and address not in seen_recipients:
                seen_recipients.add(address)
                return "450 4.2.0 Greylisted, please try again later"
            envelope.rcpt_tos.append(address)
            return "250 OK"

        async def auth_XOAUTH2(self, server, arguments):
            if len(arguments) != 2:
                return AuthResult(success=False, handled=False)
            fields = base64.b64decode(arguments[1]).split(b"\x01")
            expected = [b"user=" + user, b"auth=Bearer " + args.token.encode(), b"", b""]
            if args.token and fields == expected:
                succeeded["mechanism"] = "XOAUTH2"
                return AuthResult(success=True, auth_data=LoginPassword(user, b""))
            # As hosted mail does: the reason in a challenge, the refusal after the client's
            # empty answer.
            reason = json.dumps({"status": "401", "schemes": "bearer"})
            await server.challenge_auth(reason)
            return AuthResult(success=False, handled=False)

    def authenticator(server, session, envelope, mechanism, auth_data):
        ok = auth_data.login == user and auth_data.password == password
        if ok:
            succeeded["mechanism"] = mechanism
        return AuthResult(success=ok, handled=False, auth_data=auth_data if ok else None)

    probe = socket.socket()
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
    probe.close()

    options = dict(auth_required=True, authenticator=authenticator,
                   auth_exclude_mechanism=sorted(KNOWN_MECHANISMS - mechanisms))
    if args.tls == "implicit":
        options.update(ssl_context=server_context(args.cert_name, args.out_dir),
                       auth_require_tls=False)
    elif args.tls in ("starttls", "require-starttls"):
        options.update(tls_context=server_context(args.cert_name, args.out_dir),
                       require_starttls=args.tls == "require-starttls", auth_require_tls=True)
    else:
        options.update(auth_require_tls=False)

    controller = Controller(Handler(), hostname="127.0.0.1", port=port, **options)
    controller.start()
    print(port, flush=True)
    sys.stdin.read()
    controller.stop()


if __name__ == "__main__":
    main()
