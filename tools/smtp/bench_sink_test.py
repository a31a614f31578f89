#!/usr/bin/python3
"""The benchmark's SMTP server: its replies to each step of a session, and what it stores.

    bench_sink_test.py            (exit status 0 when every check holds)
"""
import os
import smtplib
import socket
import ssl
import subprocess
import sys
import tempfile

SINK = os.path.join(os.path.dirname(os.path.abspath(__file__)), "bench_sink.py")

# Sessions as steps of (what the client sends, the reply codes that must come back for it). The
# greeting's 220 is read first. Some sends are split at odd places or pipelined, as TCP may
# deliver them.
SESSIONS = [
    ("the program's dialogue, one message",
     [(b"HELO host\r\n", [250]), (b"MAIL From: <a@x>\r\n", [250]), (b"RCPT To: <b@y>\r\n", [250]),
      (b"RCPT To: <c@y>\r\n", [250]), (b"DATA\r\n", [354]),
      (b"Subject: one\r\n\r\n..leading dot\r\n.\r\n", [250]), (b"QUIT\r\n", [221])]),
    ("EHLO, a reset transaction, then a second message on the same session",
     [(b"EHLO host\r\n", [250]), (b"MAIL FROM:<a@x>\r\n", [250]), (b"RCPT TO:<lost@y>\r\n", [250]),
      (b"RSET\r\n", [250]), (b"NOOP\r\n", [250]), (b"mail from:<a@x> SIZE=10\r\n", [250]),
      (b"rcpt to:<d@y>\r\n", [250]), (b"DATA\r\n", [354]), (b"Subject: two\r\n.\r\n", [250]),
      (b"QUIT\r\n", [221])]),
    ("commands out of order or malformed are refused and change nothing",
     [(b"MAIL From: <a@x>\r\n", [503]), (b"HELO\r\n", [501]), (b"HELO host\r\n", [250]),
      (b"RCPT To: <b@y>\r\n", [503]), (b"DATA\r\n", [503]), (b"MAIL <a@x>\r\n", [501]),
      (b"MAIL From: <a@x>\r\n", [250]), (b"MAIL From: <a@x>\r\n", [503]),
      (b"RCPT To: <>\r\n", [501]), (b"DATA\r\n", [503]), (b"VRFY someone\r\n", [500]),
      (b"STARTTLS\r\n", [500]), (b"QUIT\r\n", [221])]),
    ("a whole session pipelined, the message split inside a line",
     [(b"HELO h\r\nMAIL From: <a@x>\r\nRCPT To: <e@y>\r\nDATA\r\nSubject: th",
       [250, 250, 250, 354]),
      (b"ree\r\n..\r\n.\r\nQUIT\r\n", [250, 221])]),
]

# What the sessions above leave, in arrival order: the stored file of each message.
STORED = [
    b"From: a@x\nTo: b@y,c@y\n\nSubject: one\r\n\r\n.leading dot\r\n",
    b"From: a@x\nTo: d@y\n\nSubject: two\r\n",
    b"From: a@x\nTo: e@y\n\nSubject: three\r\n.\r\n",
]


def read_codes(connection, buffer, count):
    """Reads count whole replies (a reply's last line has a blank after its code)."""
    codes = []
    while len(codes) < count:
        end = buffer.find(b"\r\n")
        if end < 0:
            chunk = connection.recv(4096)
            if not chunk:
                raise ConnectionError("closed after %r" % codes)
            buffer += chunk
            continue
        line = bytes(buffer[:end])
        del buffer[:end + 2]
        if line[3:4] != b"-":
            codes.append(int(line[:3]))
    return codes


def run_session(port, steps):
    """The replies of the session, in the form of its steps."""
    got = []
    with socket.create_connection(("127.0.0.1", port), timeout=10) as connection:
        buffer = bytearray()
        got.append((b"", read_codes(connection, buffer, 1)))
        for sent, codes in steps:
            connection.sendall(sent)
            got.append((sent, read_codes(connection, buffer, len(codes))))
        # After its 221 the server closes the session without another byte.
        got.append((b"", list(connection.recv(1))))
    return got


# Two messages over one STARTTLS session, as a mail client sends a batch: their stored files.
TLS_MESSAGES = [(b"Subject: first\r\n\r\nOver TLS.\r\n", "f@y"),
                (b"Subject: second\r\n\r\n.Dotted, over the same session.\r\n", "g@y")]
TLS_STORED = [b"From: a@x\nTo: f@y\n\nSubject: first\r\n\r\nOver TLS.\r\n",
              b"From: a@x\nTo: g@y\n\nSubject: second\r\n\r\n.Dotted, over the same session.\r\n"]


def start_sink(out, options=()):
    """The sink as a child process, and its port."""
    sink = subprocess.Popen(["/usr/bin/python3", SINK, "--out", out] + list(options),
                            stdout=subprocess.PIPE)
    return sink, int(sink.stdout.readline().decode().strip().rsplit(":", 1)[1])


def stop_sink(sink):
    sink.terminate()
    sink.wait(timeout=10)
    sink.stdout.close()


def stored_files(out):
    stored = []
    for name in sorted(n for n in os.listdir(out) if n.endswith(".eml")):
        with open(os.path.join(out, name), "rb") as f:
            stored.append(f.read())
    return stored


def check_plain_sessions(failures):
    with tempfile.TemporaryDirectory(prefix="larkspire-bench-sink-") as out:
        sink, port = start_sink(out)
        try:
            for name, steps in SESSIONS:
                expected = [(b"", [220])] + steps + [(b"", [])]
                got = run_session(port, steps)
                if got != expected:
                    failures.append("%s: replies %s, expected %s" % (name, got, expected))
        finally:
            stop_sink(sink)
        stored = stored_files(out)
        if stored != STORED:
            failures.append("stored %r, expected %r" % (stored, STORED))


def check_starttls_session(failures):
    try:
        import trustme
    except ImportError:
        print("SKIP STARTTLS: python3-trustme is not installed")
        return
    with tempfile.TemporaryDirectory(prefix="larkspire-bench-sink-tls-") as out:
        authority = trustme.CA()
        leaf = authority.issue_cert("127.0.0.1")
        cert, key = os.path.join(out, "cert.pem"), os.path.join(out, "key.pem")
        for index, pem in enumerate(leaf.cert_chain_pems):
            pem.write_to_path(cert, append=index > 0)
        leaf.private_key_pem.write_to_path(key)
        mail_dir = os.path.join(out, "mail")
        sink, port = start_sink(mail_dir, ["--tls-cert", cert, "--tls-key", key])
        stalled = None
        try:
            # A client that asks for TLS and then says nothing must hold up no other session.
            stalled = socket.create_connection(("127.0.0.1", port), timeout=10)
            stalled.sendall(b"EHLO stalled\r\nSTARTTLS\r\n")
            if read_codes(stalled, bytearray(), 3) != [220, 250, 220]:
                failures.append("the stalled client's STARTTLS was not answered")
            context = ssl.create_default_context()
            authority.configure_trust(context)
            with smtplib.SMTP("127.0.0.1", port, timeout=10) as client:
                client.ehlo("host")
                if not client.has_extn("starttls"):
                    failures.append("STARTTLS not offered: %r" % client.ehlo_resp)
                client.starttls(context=context)
                client.ehlo("host")
                if client.has_extn("starttls"):
                    failures.append("STARTTLS offered again over TLS: %r" % client.ehlo_resp)
                for message, recipient in TLS_MESSAGES:
                    client.sendmail("a@x", [recipient], message)
                if not isinstance(client.sock, ssl.SSLSocket):
                    failures.append("the messages did not go over TLS")
        except (OSError, smtplib.SMTPException) as error:
            failures.append("STARTTLS session: %r" % error)
        finally:
            if stalled is not None:
                stalled.close()
            stop_sink(sink)
        stored = stored_files(mail_dir)
        if stored != TLS_STORED:
            failures.append("stored over TLS %r, expected %r" % (stored, TLS_STORED))


def main():
    failures = []
    check_plain_sessions(failures)
    check_starttls_session(failures)
    for failure in failures:
        print("FAIL", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
