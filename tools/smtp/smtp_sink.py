#!/usr/bin/python3
"""A local SMTP server for the demo and the end-to-end tests.

Listens on 127.0.0.1 (port 0 picks a free one), prints "listening on 127.0.0.1:PORT" as its
first line, and stores every message it accepts as a numbered file in --out: the envelope
sender, the recipients, a blank line, then the data as received (dot-stuffing undone).

  --refuse-rcpt ADDRESS   answer 550 to RCPT for that address (repeatable)
  --auth USER:PASSWORD    offer AUTH LOGIN and require it

Runs until SIGTERM or SIGINT. Uses Debian's python3-aiosmtpd.
"""
import argparse
import os
import signal
import sys
import threading

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword


class Store:
    def __init__(self, out, refused):
        self.out = out
        self.refused = {r.lower() for r in refused}
        self.count = 0
        self.lock = threading.Lock()

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower() in self.refused:
            return "550 5.1.1 Recipient refused"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        with self.lock:
            self.count += 1
            path = os.path.join(self.out, "%04d.eml" % self.count)
        content = envelope.original_content or envelope.content
        if isinstance(content, str):
            content = content.encode("latin-1")
        with open(path + ".part", "wb") as f:
            f.write(("From: %s\n" % envelope.mail_from).encode("latin-1"))
            f.write(("To: %s\n\n" % ",".join(envelope.rcpt_tos)).encode("latin-1"))
            f.write(content)
        os.replace(path + ".part", path)
        return "250 Message accepted"


def free_port():
    # The controller checks its own port by connecting to it, so it cannot be given port 0.
    import socket
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--out", required=True)
    parser.add_argument("--refuse-rcpt", action="append", default=[])
    parser.add_argument("--auth", default="")
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)

    kwargs = {}
    if args.auth:
        user, _, password = args.auth.partition(":")

        def authenticator(server, session, envelope, mechanism, auth_data):
            ok = (isinstance(auth_data, LoginPassword) and auth_data.login.decode() == user
                  and auth_data.password.decode() == password)
            return AuthResult(success=ok)

        kwargs = dict(authenticator=authenticator, auth_require_tls=False, auth_required=True)

    port = args.port or free_port()
    controller = Controller(Store(args.out, args.refuse_rcpt), hostname="127.0.0.1",
                            port=port, decode_data=False, **kwargs)
    controller.start()
    print("listening on 127.0.0.1:%d" % port, flush=True)
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *a: stop.set())
    signal.signal(signal.SIGINT, lambda *a: stop.set())
    stop.wait()
    controller.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
