#!/usr/bin/python3
"""The benchmarks' SMTP server (larkspire-bench-sink): its replies to each step of a session,
and what it stores.

    bench_sink_test.py SINK       (SINK: the built larkspire-bench-sink; exit status 0 when
                                   every check holds)
"""
import os
import smtplib
import socket
import ssl
import subprocess
import sys
import tempfile
import threading

SINK = sys.argv[1] if len(sys.argv) > 1 else ""
MAKE_TEST_CA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "sim",
                            "make-test-ca.sh")

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
    ("EHLO, then each transaction's MAIL, RCPT and DATA in one write, a refusal among them",
     [(b"EHLO host\r\n", [250]),
      (b"MAIL From: <a@x>\r\nRCPT To: <f@y>\r\nDATA\r\n", [250, 250, 354]),
      (b"Subject: four\r\n.\r\n", [250]),
      (b"MAIL From: <a@x>\r\nRCPT To: <>\r\nRCPT To: <g@y>\r\nDATA\r\n", [250, 501, 250, 354]),
      (b"Subject: five\r\n.\r\nQUIT\r\n", [250, 221])]),
]

# What the sessions above leave, in arrival order: the stored file of each message.
STORED = [
    b"From: a@x\nTo: b@y,c@y\n\nSubject: one\r\n\r\n.leading dot\r\n",
    b"From: a@x\nTo: d@y\n\nSubject: two\r\n",
    b"From: a@x\nTo: e@y\n\nSubject: three\r\n.\r\n",
    b"From: a@x\nTo: f@y\n\nSubject: four\r\n",
    b"From: a@x\nTo: g@y\n\nSubject: five\r\n",
]


def reply_lines(connection, buffer):
    """The lines of one whole reply, CR LF taken off."""
    lines = []
    while not lines or lines[-1][3:4] == b"-":
        end = buffer.find(b"\r\n")
        if end < 0:
            chunk = connection.recv(4096)
            if not chunk:
                raise ConnectionError("closed after %r" % lines)
            buffer += chunk
            continue
        lines.append(bytes(buffer[:end]))
        del buffer[:end + 2]
    return lines


def read_codes(connection, buffer, count):
    """Reads count whole replies; returns their codes."""
    return [int(reply_lines(connection, buffer)[-1][:3]) for _ in range(count)]


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
    sink = subprocess.Popen([SINK, "--out", out] + list(options), stdout=subprocess.PIPE)
    return sink, int(sink.stdout.readline().decode().strip().rsplit(":", 1)[1])


def stop_sink(sink, failures):
    """SIGTERM ends the sink with status 0, sessions still open or not (a sanitizer's report at
    exit shows as another status)."""
    sink.terminate()
    status = sink.wait(timeout=10)
    sink.stdout.close()
    if status != 0:
        failures.append("the sink ended with status %d on SIGTERM" % status)


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
            stop_sink(sink, failures)
        stored = stored_files(out)
        if stored != STORED:
            failures.append("stored %r, expected %r" % (stored, STORED))


def check_plain_limits(failures):
    """What EHLO offers without a certificate, and the line length that ends a session."""
    with tempfile.TemporaryDirectory(prefix="larkspire-bench-sink-limits-") as out:
        sink, port = start_sink(out)
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=10) as connection:
                buffer = bytearray()
                reply_lines(connection, buffer)
                connection.sendall(b"EHLO host\r\n")
                offered = reply_lines(connection, buffer)
                expected = [b"250-127.0.0.1", b"250-8BITMIME", b"250 PIPELINING"]
                if offered != expected:
                    failures.append("EHLO without TLS: %r, expected %r" % (offered, expected))
            # A line just inside the limit is refused as a command; one past it ends the session.
            for length, closes in ((65536, False), (65537, True)):
                with socket.create_connection(("127.0.0.1", port), timeout=10) as connection:
                    buffer = bytearray()
                    reply_lines(connection, buffer)
                    connection.sendall(b"X" * length)
                    if closes:
                        # The end of the line never comes: the server must not wait for it.
                        try:
                            got = list(connection.recv(1))
                        except socket.timeout:
                            got = ["still open"]
                    else:
                        connection.sendall(b"\r\nNOOP\r\n")
                        got = read_codes(connection, buffer, 2)
                    if got != ([] if closes else [500, 250]):
                        failures.append("a line of %d bytes: replies %r" % (length, got))
        finally:
            stop_sink(sink, failures)


def check_concurrent_sessions(failures):
    """Sessions storing at the same time: every message once, numbered 1 to N without a gap."""
    threads, per_thread = 8, 25
    with tempfile.TemporaryDirectory(prefix="larkspire-bench-sink-many-") as out:
        sink, port = start_sink(out)
        problems = []

        def send(index):
            try:
                with socket.create_connection(("127.0.0.1", port), timeout=10) as connection:
                    buffer = bytearray()
                    read_codes(connection, buffer, 1)
                    connection.sendall(b"EHLO host\r\n")
                    read_codes(connection, buffer, 1)
                    for number in range(per_thread):
                        connection.sendall(b"MAIL From: <a@x>\r\nRCPT To: <t%d@y>\r\nDATA\r\n"
                                           % index)
                        connection.sendall(b"n%d\r\n.\r\n" % number)
                        if read_codes(connection, buffer, 4) != [250, 250, 354, 250]:
                            problems.append("thread %d, message %d refused" % (index, number))
            except OSError as error:
                problems.append("thread %d: %r" % (index, error))

        workers = [threading.Thread(target=send, args=(i,)) for i in range(threads)]
        for worker in workers:
            worker.start()
        for worker in workers:
            worker.join()
        stop_sink(sink, failures)
        failures.extend(problems)
        names = sorted(n for n in os.listdir(out) if n.endswith(".eml"))
        expected_names = ["%04d.eml" % n for n in range(1, threads * per_thread + 1)]
        if names != expected_names:
            failures.append("concurrent sessions stored %d files: %r..." % (len(names), names[:5]))
        stored = sorted(stored_files(out))
        expected = sorted(b"From: a@x\nTo: t%d@y\n\nn%d\r\n" % (i, n)
                          for i in range(threads) for n in range(per_thread))
        if stored != expected:
            failures.append("concurrent sessions stored other messages than they sent")


def check_usage_errors(failures):
    """A command line the sink cannot run with ends with status 2 before it listens."""
    with tempfile.TemporaryDirectory(prefix="larkspire-bench-sink-usage-") as out:
        for arguments in (["--out", out, "--tls-cert", "cert.pem"],
                          ["--out", out, "--tls-key", "key.pem"],
                          ["--port", "1"],
                          ["--out", out, "--port", "http"],
                          ["--out", out, "--tls-cert", "missing.pem", "--tls-key", "missing.pem"]):
            result = subprocess.run([SINK] + arguments, stdout=subprocess.PIPE,
                                    stderr=subprocess.DEVNULL, timeout=10)
            if result.returncode != 2 or result.stdout:
                failures.append("%r: status %d, printed %r"
                                % (arguments, result.returncode, result.stdout))


def check_starttls_session(failures):
    with tempfile.TemporaryDirectory(prefix="larkspire-bench-sink-tls-") as out:
        subprocess.run([MAKE_TEST_CA, out], check=True, stdout=subprocess.DEVNULL)
        cert, key = os.path.join(out, "server.pem"), os.path.join(out, "server.key")
        mail_dir = os.path.join(out, "mail")
        sink, port = start_sink(mail_dir, ["--tls-cert", cert, "--tls-key", key])
        stalled = None
        try:
            # A client that asks for TLS and then says nothing must hold up no other session.
            stalled = socket.create_connection(("127.0.0.1", port), timeout=10)
            stalled.sendall(b"EHLO stalled\r\nSTARTTLS\r\n")
            if read_codes(stalled, bytearray(), 3) != [220, 250, 220]:
                failures.append("the stalled client's STARTTLS was not answered")
            context = ssl.create_default_context(cafile=os.path.join(out, "ca.pem"))
            # What a client sends in clear text after STARTTLS is dropped, and over TLS the
            # session starts afresh: the first reply is NOOP's, and MAIL needs a new greeting.
            with socket.create_connection(("127.0.0.1", port), timeout=10) as plain:
                buffer = bytearray()
                read_codes(plain, buffer, 1)
                plain.sendall(b"EHLO host\r\nSTARTTLS\r\nVRFY clear\r\n")
                read_codes(plain, buffer, 2)
                with context.wrap_socket(plain, server_hostname="127.0.0.1") as secure:
                    secure.sendall(b"NOOP\r\nMAIL From: <a@x>\r\nEHLO host\r\nSTARTTLS\r\n")
                    got = read_codes(secure, bytearray(), 4)
                    if got != [250, 503, 250, 503]:
                        failures.append("after STARTTLS: replies %r" % got)
            with smtplib.SMTP("127.0.0.1", port, timeout=10) as client:
                client.ehlo("host")
                if not client.has_extn("starttls") or not client.has_extn("pipelining"):
                    failures.append("STARTTLS or PIPELINING not offered: %r" % client.ehlo_resp)
                client.starttls(context=context)
                client.ehlo("host")
                if client.has_extn("starttls") or not client.has_extn("pipelining"):
                    failures.append("over TLS, EHLO offered %r" % client.ehlo_resp)
                for message, recipient in TLS_MESSAGES:
                    client.sendmail("a@x", [recipient], message)
                if not isinstance(client.sock, ssl.SSLSocket):
                    failures.append("the messages did not go over TLS")
        except (OSError, smtplib.SMTPException) as error:
            failures.append("STARTTLS session: %r" % error)
        finally:
            # The stalled session is still in its handshake when the sink is told to stop.
            stop_sink(sink, failures)
            if stalled is not None:
                stalled.close()
        stored = stored_files(mail_dir)
        if stored != TLS_STORED:
            failures.append("stored over TLS %r, expected %r" % (stored, TLS_STORED))


def main():
    if not os.access(SINK, os.X_OK):
        print("usage: bench_sink_test.py PATH-TO-larkspire-bench-sink")
        return 2
    failures = []
    check_plain_sessions(failures)
    check_plain_limits(failures)
    check_concurrent_sessions(failures)
    check_usage_errors(failures)
    check_starttls_session(failures)
    for failure in failures:
        print("FAIL", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
