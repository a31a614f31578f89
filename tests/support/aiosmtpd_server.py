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
  --refuse-rcpt N    the Nth RCPT command the server gets is refused with 550
  --stall-rcpt N     the Nth RCPT command the server gets is never answered
  --close-after-message N
                     the connection that carried the Nth message is closed after its 250
  --hang-up-at-mail N
                     the Nth MAIL command the server gets ends its connection without a reply
  --pipelining       EHLO offers PIPELINING; each MAIL adds to OUTDIR/pipelined.txt "1" when
                     the message's DATA had already arrived with it, else "0"

Prints the port it listens on, then serves until its standard input closes. With TLS the
certificate comes from a certificate authority made for this run (python3-trustme), whose
certificate is written to OUTDIR/ca.pem before the port is printed. Every message is written to
OUTDIR: mail_from.txt, rcpt_tos.txt (one per line), data.eml (the message bytes as the server
received them, dots already restored), login.txt (the authenticated user), mechanism.txt (the
AUTH mechanism that succeeded), tls.txt (the TLS version, or "none"), ehlo.txt (the name the
client gave in EHLO or HELO) and mail_options.txt (the MAIL parameters, blank-separated).
Every message also adds a line to OUTDIR/messages.txt: the number of the connection it came
over (counted from 1 in the order the connections sent their first MAIL) and its Subject line.
"""

import argparse
import asyncio
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
    parser.add_argument("--refuse-rcpt", type=int, default=0)
    parser.add_argument("--stall-rcpt", type=int, default=0)
    parser.add_argument("--close-after-message", type=int, default=0)
    parser.add_argument("--hang-up-at-mail", type=int, default=0)
    parser.add_argument("--pipelining", action="store_true")
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
    counts = {"connections": 0, "mail": 0, "rcpt": 0, "messages": 0}

    def connection_number(server):
        if not hasattr(server, "larkspire_connection"):
            counts["connections"] += 1
            server.larkspire_connection = counts["connections"]
        return server.larkspire_connection

    class Handler:
        async def handle_EHLO(self, server, session, envelope, hostname, responses):
            session.host_name = hostname
            if args.pipelining:
                responses.insert(-1, "250-PIPELINING")
            return responses

        async def handle_MAIL(self, server, session, envelope, address, mail_options):
            connection_number(server)
            counts["mail"] += 1
            if args.pipelining:
                # What the server has read but not yet taken: a client that waits for each
                # reply has sent nothing more.
                waiting = bytes(server._reader._buffer)
                with open(os.path.join(args.out_dir, "pipelined.txt"), "ab") as f:
                    f.write(b"1" if b"DATA\r\n" in waiting else b"0")
            if counts["mail"] == args.hang_up_at_mail:
                server.transport.abort()
                return "421 4.3.2 Closing"
            envelope.mail_from = address
            envelope.mail_options.extend(mail_options)
            return "250 OK"

        async def handle_DATA(self, server, session, envelope):
            counts["messages"] += 1
            subject = next((line for line in envelope.original_content.split(b"\r\n")
                            if line.startswith(b"Subject:")), b"")
            with open(os.path.join(args.out_dir, "messages.txt"), "ab") as f:
                f.write(str(connection_number(server)).encode() + b" " + subject + b"\n")
            if counts["messages"] == args.close_after_message:
                # After the reply below has gone out.
                asyncio.get_running_loop().call_soon(server.transport.close)
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
            counts["rcpt"] += 1
            if counts["rcpt"] == args.refuse_rcpt:
                return "550 5.1.1 Mailbox unavailable"
            if counts["rcpt"] == args.stall_rcpt:
                await asyncio.Event().wait()
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
