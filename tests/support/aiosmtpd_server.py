"""A real SMTP server (aiosmtpd) on a loopback port for the SMTP client's integration test.

Usage: aiosmtpd_server.py OUTDIR USER PASSWORD
Prints the port it listens on, then serves until its standard input closes. Every message is
written to OUTDIR: mail_from.txt, rcpt_tos.txt (one per line), data.eml (the message bytes as
the server received them, dots already restored) and login.txt (the authenticated user).
"""

import os
import socket
import sys

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult


def main():
    out_dir, user, password = sys.argv[1], sys.argv[2].encode(), sys.argv[3].encode()

    def write(name, data):
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(data)

    class Handler:
        async def handle_DATA(self, server, session, envelope):
            write("login.txt", session.auth_data.login if session.authenticated else b"")
            write("mail_from.txt", envelope.mail_from.encode())
            write("rcpt_tos.txt", "\n".join(envelope.rcpt_tos).encode())
            write("data.eml", envelope.original_content)
            return "250 Message accepted for delivery"

    def authenticator(server, session, envelope, mechanism, auth_data):
        ok = (mechanism == "LOGIN" and auth_data.login == user
              and auth_data.password == password)
        return AuthResult(success=ok, handled=False, auth_data=auth_data if ok else None)

    probe = socket.socket()
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
    probe.close()

    controller = Controller(Handler(), hostname="127.0.0.1", port=port,
                            auth_require_tls=False, auth_required=True,
                            authenticator=authenticator)
    controller.start()
    print(port, flush=True)
    sys.stdin.read()
    controller.stop()


if __name__ == "__main__":
    main()
