#!/usr/bin/python3
"""A lean local SMTP server for the benchmarks: one thread, one selector, no framework.

The mail server a benchmark sends to must cost far less per message than the program it
measures; aiosmtpd (smtp_sink.py, which the tests use) spends milliseconds per session on its
own machinery. This one speaks the same SMTP a mail client needs (greeting, HELO, EHLO, MAIL,
RCPT, DATA with the dots undone, RSET, NOOP, QUIT; commands out of order are refused as a real
server refuses them) and stores each message exactly as smtp_sink.py does: a numbered file in
--out holding the envelope sender, the recipients, a blank line, then the data as received.

With --tls-cert FILE --tls-key FILE (PEM) it also offers STARTTLS; the handshake runs inside the
same selector loop, so a session in its handshake holds up no other.

Listens on 127.0.0.1 (port 0 picks a free one) and prints "listening on 127.0.0.1:PORT" as its
first line; runs until SIGTERM or SIGINT.
"""
import argparse
import os
import selectors
import signal
import select
import socket
import ssl
import sys

HOST = b"127.0.0.1"
# A line longer than this without its CR LF ends the session (RFC 5321 allows 1,000 octets).
MAX_LINE = 65536


class Session:
    def __init__(self, server, connection):
        self.server = server
        self.connection = connection
        self.pending = bytearray()
        self.greeted = False
        self.data = None  # the message's lines while DATA is read
        self.tls = False  # the session runs over TLS
        self.starting_tls = False  # STARTTLS answered: the handshake comes next
        self.handshaking = False
        self.reset()

    def reset(self):
        self.sender = None
        self.recipients = []

    def take(self, chunk):
        """Handles the received bytes; returns the replies, and whether the session ends."""
        self.pending += chunk
        replies = []
        while True:
            end = self.pending.find(b"\r\n")
            if end < 0:
                return replies, len(self.pending) > MAX_LINE
            line = bytes(self.pending[:end])
            del self.pending[:end + 2]
            reply = self.take_line(line)
            if reply:
                replies.append(reply)
                if reply.startswith(b"221"):
                    return replies, True
            if self.starting_tls:
                # Whatever the client sent after STARTTLS was sent in clear text: it is dropped
                # (RFC 3207), never taken as said over TLS.
                del self.pending[:]
                return replies, False

    def take_line(self, line):
        if self.data is not None:
            if line == b".":
                self.server.store(self.sender, self.recipients, b"".join(self.data))
                self.data = None
                self.reset()
                return b"250 Message accepted\r\n"
            self.data.append((line[1:] if line.startswith(b".") else line) + b"\r\n")
            return None
        verb, _, argument = line.partition(b" ")
        verb = verb.upper()
        if verb in (b"HELO", b"EHLO"):
            if not argument.strip():
                return b"501 Syntax: %s hostname\r\n" % verb
            self.greeted = True
            self.reset()
            if verb == b"EHLO":
                if self.offers_tls():
                    return b"250-" + HOST + b"\r\n250-8BITMIME\r\n250 STARTTLS\r\n"
                return b"250-" + HOST + b"\r\n250 8BITMIME\r\n"
            return b"250 " + HOST + b"\r\n"
        if verb == b"STARTTLS" and self.server.tls is not None:
            if argument:
                return b"501 Syntax: STARTTLS\r\n"
            if self.tls:
                return b"503 Error: TLS already active\r\n"
            self.starting_tls = True
            return b"220 Ready to start TLS\r\n"
        if verb == b"NOOP":
            return b"250 OK\r\n"
        if verb == b"RSET":
            self.reset()
            return b"250 OK\r\n"
        if verb == b"QUIT":
            return b"221 Bye\r\n"
        if verb == b"MAIL":
            if not self.greeted:
                return b"503 Error: send HELO first\r\n"
            if self.sender is not None:
                return b"503 Error: nested MAIL command\r\n"
            address = self.address(argument, b"FROM:")
            if address is None:
                return b"501 Syntax: MAIL FROM: <address>\r\n"
            self.sender = address
            return b"250 OK\r\n"
        if verb == b"RCPT":
            if self.sender is None:
                return b"503 Error: need MAIL command\r\n"
            address = self.address(argument, b"TO:")
            if not address:
                return b"501 Syntax: RCPT TO: <address>\r\n"
            self.recipients.append(address)
            return b"250 OK\r\n"
        if verb == b"DATA":
            if not self.recipients:
                return b"503 Error: need RCPT command\r\n"
            self.data = []
            return b"354 End data with <CR><LF>.<CR><LF>\r\n"
        return b'500 Error: command "%s" not recognized\r\n' % verb

    def offers_tls(self):
        return self.server.tls is not None and not self.tls

    def tls_started(self):
        """After the handshake the session starts afresh: the client greets again."""
        self.tls = True
        self.starting_tls = False
        self.handshaking = False
        self.greeted = False
        self.reset()

    @staticmethod
    def address(argument, keyword):
        """The address of "FROM:<a>" / "TO: <a>" (any case, parameters after it ignored)."""
        if argument[:len(keyword)].upper() != keyword:
            return None
        text = argument[len(keyword):].strip()
        if text.startswith(b"<"):
            close = text.find(b">")
            return None if close < 0 else text[1:close]
        return text.split(b" ", 1)[0] if text else None


def send_all(connection, data):
    """Sends every byte; a TLS socket is non-blocking, and waits here for room (or for the
    record TLS needs first) like a plain blocking socket would."""
    view = memoryview(data)
    while view:
        try:
            view = view[connection.send(view):]
        except ssl.SSLWantWriteError:
            select.select([], [connection], [], 10)
        except ssl.SSLWantReadError:
            select.select([connection], [], [], 10)


class Server:
    def __init__(self, port, out, tls=None):
        self.out = out
        self.tls = tls  # the server's ssl.SSLContext, or None for no STARTTLS
        self.count = 0
        self.selector = selectors.DefaultSelector()
        self.listener = socket.socket()
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", port))
        self.listener.listen(128)
        self.listener.setblocking(False)
        self.selector.register(self.listener, selectors.EVENT_READ, None)

    def port(self):
        return self.listener.getsockname()[1]

    def store(self, sender, recipients, data):
        self.count += 1
        path = os.path.join(self.out, "%04d.eml" % self.count)
        # The 250 goes out after the file is closed, so a client that has it finds the file whole.
        with open(path, "wb") as f:
            f.write(b"From: %s\nTo: %s\n\n%s" % (sender, b",".join(recipients), data))

    def serve(self, stopping):
        while not stopping():
            for key, _ in self.selector.select(0.5):
                if key.data is None:
                    self.accept()
                elif key.data.handshaking:
                    self.handshake(key.data)
                else:
                    self.receive(key.data)

    def accept(self):
        try:
            connection, _ = self.listener.accept()
        except BlockingIOError:
            return
        # The session's socket stays blocking: it is read only when the selector finds input,
        # and its replies are a few bytes, sent whole as soon as they are known.
        connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        connection.sendall(b"220 " + HOST + b" ESMTP bench sink\r\n")
        self.selector.register(connection, selectors.EVENT_READ, Session(self, connection))

    def receive(self, session):
        try:
            chunk = session.connection.recv(65536)
            # Plain text TLS has decrypted but not handed over yet is no input to the selector.
            while chunk and session.tls and session.connection.pending():
                chunk += session.connection.recv(session.connection.pending())
        except (ssl.SSLWantReadError, ssl.SSLWantWriteError):
            return  # a TLS record not yet whole, or one with no data in it
        except OSError:
            chunk = b""
        ending = not chunk
        if chunk:
            replies, ending = session.take(chunk)
            try:
                if replies:
                    send_all(session.connection, b"".join(replies))
            except OSError:
                ending = True
        if ending:
            self.end(session)
        elif session.starting_tls and not session.handshaking:
            self.start_tls(session)

    def end(self, session):
        self.selector.unregister(session.connection)
        session.connection.close()

    def start_tls(self, session):
        # Wrapping takes the socket over, so the selector lets go of the plain one first.
        self.selector.unregister(session.connection)
        session.connection = self.tls.wrap_socket(session.connection, server_side=True,
                                                  do_handshake_on_connect=False)
        session.connection.setblocking(False)
        session.handshaking = True
        self.selector.register(session.connection, selectors.EVENT_READ, session)
        self.handshake(session)

    def handshake(self, session):
        """One step of the server's handshake: as far as the socket allows without waiting."""
        try:
            session.connection.do_handshake()
        except ssl.SSLWantReadError:
            self.selector.modify(session.connection, selectors.EVENT_READ, session)
            return
        except ssl.SSLWantWriteError:
            self.selector.modify(session.connection, selectors.EVENT_WRITE, session)
            return
        except OSError:
            self.end(session)
            return
        session.tls_started()
        self.selector.modify(session.connection, selectors.EVENT_READ, session)
        # The client's first command may have come with its last handshake flight.
        self.receive(session)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--out", required=True)
    parser.add_argument("--tls-cert", help="PEM certificate (chain) for STARTTLS")
    parser.add_argument("--tls-key", help="PEM private key of --tls-cert")
    args = parser.parse_args()
    if bool(args.tls_cert) != bool(args.tls_key):
        parser.error("--tls-cert and --tls-key go together")
    tls = None
    if args.tls_cert:
        tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        tls.load_cert_chain(args.tls_cert, args.tls_key)
    os.makedirs(args.out, exist_ok=True)
    server = Server(args.port, args.out, tls)
    stop = []
    signal.signal(signal.SIGTERM, lambda *a: stop.append(1))
    signal.signal(signal.SIGINT, lambda *a: stop.append(1))
    print("listening on 127.0.0.1:%d" % server.port(), flush=True)
    server.serve(lambda: stop)
    return 0


if __name__ == "__main__":
    sys.exit(main())
