#!/usr/bin/python3
"""The benchmark's SMTP server: its replies to each step of a session, and what it stores.

    bench_sink_test.py            (exit status 0 when every check holds)
"""
import os
import socket
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
      (b"QUIT\r\n", [221])]),
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


def main():
    failures = []
    with tempfile.TemporaryDirectory(prefix="larkspire-bench-sink-") as out:
        sink = subprocess.Popen(["/usr/bin/python3", SINK, "--out", out], stdout=subprocess.PIPE)
        try:
            port = int(sink.stdout.readline().decode().strip().rsplit(":", 1)[1])
            for name, steps in SESSIONS:
                expected = [(b"", [220])] + steps + [(b"", [])]
                got = run_session(port, steps)
                if got != expected:
                    failures.append("%s: replies %s, expected %s" % (name, got, expected))
        finally:
            sink.terminate()
            sink.wait(timeout=10)
            sink.stdout.close()
        names = sorted(n for n in os.listdir(out) if n.endswith(".eml"))
        stored = []
        for name in names:
            with open(os.path.join(out, name), "rb") as f:
                stored.append(f.read())
        if stored != STORED:
            failures.append("stored %r, expected %r" % (stored, STORED))
    for failure in failures:
        print("FAIL", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
