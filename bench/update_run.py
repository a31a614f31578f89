#!/usr/bin/python3
"""An unattended update run of N changed entries beside the network work it cannot avoid.

    /usr/bin/python3 bench/update_run.py [N] [--build DIR] [--runs K] [--dir DIR]
                                         [--mail-security none|starttls]

The simulator serves a generated site of N applications (N = 2,000 by default) and a lean local
SMTP server (larkspire-bench-sink, built from tools/smtp in the same tree) takes the mail. A
first unattended run of the real program imports the list and reads every entry once; then the
simulated day moves to the one on which every application changed, and each measured round

  - fetches, with a minimal client, the three pages the program reads per entry (status,
    foreign priority, continuity) through the same proxy address: the three in parallel on
    plain sockets, one entry at a time, nothing parsed or stored;
  - runs the program unattended (its clock a day on, so every entry is due), which updates
    every entry, queues a notification for each, sends them all through the SMTP server and
    saves its files; the round checks that exactly one notification of the new status arrived
    for each application.

It prints both times, the ratio program / minimal client, and the program's CPU time (user +
system, from wait4) per entry; with several rounds (the day moves back and forth between them)
the median of each figure as well. Beside them, the time a minimal SMTP client takes to send
the messages the program sent to the same server, one session each as the program sends them:
the server's own pace, which the program's sending cannot beat. With --mail-security starttls
the office's mail goes as a new configuration sends it, over STARTTLS (the server's certificate
from a certificate authority made for the run, given to the program as its CA file), and the
minimal SMTP client then sends the batch over one TLS session as the program does, each
message's MAIL, RCPT and DATA as one group when the server offers PIPELINING; the program then
sends each notification while its update goes on, so the first message arrives early in the
run rather than after the update and its save. The program must
be an optimised GUI build (default tree: build-rel); without a display it runs on Qt's
offscreen platform. The run's files go to the build tree unless --dir names another place.
"""
import argparse
import os
import selectors
import socket
import statistics
import subprocess
import sys
import tempfile
import time

SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(SOURCE, "tools", "stress"))
import stress_support as support  # noqa: E402

# The pages the built-in rules read for an entry known by its application number (fetch1 to
# fetch3); the last two are forms, sent as POST.
PAGES = (
    ("/cgi-bin/final/cusnum.pl?USERCODE=123&ApplicationNumber=%s", None),
    ("/cgi-bin/final/foreignpriority.pl",
     "submission=ForeignPrioritySearch&USERCODE=123&ApplicationNumber=%s"),
    ("/cgi-bin/final/continuity.pl", "submission=Continuity&USERCODE=123&ApplicationNumber=%s"),
)
NOTIFY_ADDRESS = "partners@office.example"  # stress_support.settings
HEADERS = ("Accept: */*\r\nAccept-Language: en-us\r\nCache-Control: no-cache\r\n"
           "Pragma: no-cache\r\nUser-Agent: Larkspire\r\n")


def request_bytes(port, path, form):
    """The request as the program sends it to the proxy: http://H/P is asked for as //H/P."""
    head = "%s //pair.uspto.gov%s HTTP/1.0\r\n%sHost: 127.0.0.1:%d\r\n" % (
        "POST" if form else "GET", path, HEADERS, port)
    if form:
        head += ("Content-Type: application/x-www-form-urlencoded\r\nContent-Length: %d\r\n"
                 % len(form))
    return (head + "\r\n" + (form or "")).encode("ascii")


def fetch_in_parallel(port, requests):
    """Sends each request on a connection of its own at once and reads every answer to its
    end; returns the answers in request order."""
    selector = selectors.DefaultSelector()
    answers = [bytearray() for _ in requests]
    for index, request in enumerate(requests):
        connection = socket.create_connection(("127.0.0.1", port))
        connection.sendall(request)
        connection.setblocking(False)
        selector.register(connection, selectors.EVENT_READ, index)
    open_count = len(requests)
    while open_count:
        for key, _ in selector.select():
            chunk = key.fileobj.recv(65536)
            if chunk:
                answers[key.data] += chunk
            else:
                selector.unregister(key.fileobj)
                key.fileobj.close()
                open_count -= 1
    selector.close()
    return answers


def run_minimal_client(port, count):
    """(seconds, bytes received) for fetching every entry's three pages."""
    received = 0
    started = time.monotonic()
    for index in range(count):
        digits = support.application_number(index).replace("/", "").replace(",", "")
        requests = [request_bytes(port, path % digits if not form else path,
                                  form % digits if form else None) for path, form in PAGES]
        for answer in fetch_in_parallel(port, requests):
            if not answer.startswith(b"HTTP/1.0 200") and not answer.startswith(b"HTTP/1.1 200"):
                sys.exit("minimal client: %s answered %r" % (digits, bytes(answer[:60])))
            received += len(answer)
    return time.monotonic() - started, received


class SmtpReplies:
    """A session's replies, read one at a time however they arrive (several in one piece when
    the commands went as a group)."""

    def __init__(self, connection):
        self.connection = connection
        self.buffer = bytearray()

    def expect(self, code):
        """The lines of the next reply (its last line has a blank after the code), which must
        carry the code."""
        lines = []
        while not lines or lines[-1][3:4] == b"-":
            end = self.buffer.find(b"\r\n")
            if end < 0:
                chunk = self.connection.recv(65536)
                if not chunk:
                    raise ConnectionError("the SMTP server closed the connection")
                self.buffer += chunk
                continue
            lines.append(bytes(self.buffer[:end]))
            del self.buffer[:end + 2]
        if lines[-1][:3] != b"%d" % code:
            raise ConnectionError("the SMTP server answered %r where %d was due" % (lines, code))
        return lines


def dot_stuffed(text):
    """The message text as it goes after DATA (the server stored it with the dots undone)."""
    data = text.encode("latin-1").replace(b"\r\n.", b"\r\n..")
    return b"." + data if data.startswith(b".") else data


def send_transaction(connection, replies, recipients, text, pipelining):
    """One message's transaction: MAIL, RCPT per recipient and DATA (as one group when the
    server offers PIPELINING, else each after the reply to the one before), then the text;
    every reply checked in order."""
    envelope = ([b"MAIL From: <docketing@office.example>\r\n"]
                + [b"RCPT To: <%s>\r\n" % r.encode() for r in recipients] + [b"DATA\r\n"])
    codes = [250] * (len(envelope) - 1) + [354]
    if pipelining:
        connection.sendall(b"".join(envelope))
        for code in codes:
            replies.expect(code)
    else:
        for command, code in zip(envelope, codes):
            connection.sendall(command)
            replies.expect(code)
    connection.sendall(dot_stuffed(text) + b".\r\n")
    replies.expect(250)


def offers_pipelining(ehlo_lines):
    return any(line[4:].strip().upper() == b"PIPELINING" for line in ehlo_lines[1:])


def send_like_a_minimal_client(port, messages):
    """Seconds for sending each (path, recipients, text) on a session of its own, as the program
    does: greeting, HELO, MAIL, RCPT per recipient, DATA, the text, QUIT, one command at a
    time."""
    started = time.monotonic()
    for _, recipients, text in messages:
        with socket.create_connection(("127.0.0.1", port)) as connection:
            replies = SmtpReplies(connection)
            replies.expect(220)
            connection.sendall(b"HELO bench\r\n")
            replies.expect(250)
            send_transaction(connection, replies, recipients, text, False)
            connection.sendall(b"QUIT\r\n")
    return time.monotonic() - started


def send_over_one_tls_session(port, messages, ca_file):
    """Seconds for sending every (path, recipients, text) over one STARTTLS session, as the
    program sends a batch under STARTTLS: greeting, EHLO, STARTTLS, the handshake, EHLO, each
    message's transaction (its commands as one group when the server offers PIPELINING), QUIT."""
    import ssl
    context = ssl.create_default_context(cafile=ca_file)
    started = time.monotonic()
    with socket.create_connection(("127.0.0.1", port)) as plain:
        replies = SmtpReplies(plain)
        replies.expect(220)
        plain.sendall(b"EHLO bench\r\n")
        replies.expect(250)
        plain.sendall(b"STARTTLS\r\n")
        replies.expect(220)
        with context.wrap_socket(plain, server_hostname="127.0.0.1") as connection:
            replies = SmtpReplies(connection)
            connection.sendall(b"EHLO bench\r\n")
            pipelining = offers_pipelining(replies.expect(250))
            for _, recipients, text in messages:
                send_transaction(connection, replies, recipients, text, pipelining)
            connection.sendall(b"QUIT\r\n")
            replies.expect(221)
    return time.monotonic() - started


def run_program(setup, day_offset, wrapper=()):
    """(exit code, wall seconds, user + system CPU seconds, start) of one unattended run."""
    env = support.faketime_env(setup.env(), day_offset)
    started = time.monotonic()
    process = subprocess.Popen([*wrapper, os.environ["LARKSPIRE_BIN"], "-auto"], env=env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    seconds = time.monotonic() - started
    process.returncode = os.waitstatus_to_exitcode(status)
    return process.returncode, seconds, usage.ru_utime + usage.ru_stime, started


def received_messages(sink):
    """(path, recipients, text) of every message at the sink in arrival order (its files are
    numbered, past 9999 with more digits)."""
    names = sorted((n for n in os.listdir(sink.out) if n.endswith(".eml")),
                   key=lambda n: int(n.split(".")[0]))
    found = []
    for name in names:
        path = os.path.join(sink.out, name)
        with open(path, "rb") as f:
            head, _, text = f.read().decode("latin-1").partition("\n\n")
        found.append((path, head.split("\nTo: ", 1)[1].strip().split(","), text))
    return found


def notification_problem(messages, count, status):
    """What is wrong with a round's mail, or None: it must hold exactly one notification of the
    new status for each of the count applications, and otherwise at most the activity report
    every fifth batch brings to the publisher."""
    subjects = []
    others = 0
    for _, recipients, text in messages:
        if recipients != [NOTIFY_ADDRESS]:
            others += 1
            continue
        subject = text.partition("\r\nSubject: ")[2].partition("\r\n")[0]
        if "\r\nStatus (now): %s\r\n" % status not in text:
            return "a notification without the new status: %s" % subject
        subjects.append(subject)
    expected = sorted("Patent status update for application " + support.application_number(i)
                      for i in range(count))
    if sorted(subjects) != expected:
        return ("%d notifications for %d distinct applications, %d expected"
                % (len(subjects), len(set(subjects) & set(expected)), count))
    if others > 1:
        return "%d messages besides the notifications" % others
    return None


def mail_times(messages, started):
    """Seconds from the program's start to its first and its last message at the sink."""
    if not messages:
        return None, None
    wall_offset = time.time() - time.monotonic()
    stamps = [os.stat(path).st_mtime_ns / 1e9 - wall_offset for path, _, _ in messages]
    return min(stamps) - started, max(stamps) - started


def build_type(build):
    try:
        with open(os.path.join(build, "CMakeCache.txt")) as f:
            for line in f:
                if line.startswith("CMAKE_BUILD_TYPE:"):
                    return line.strip().split("=", 1)[1]
    except FileNotFoundError:
        pass
    return ""


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("entries", type=int, nargs="?", default=2000)
    parser.add_argument("--build", default=os.path.join(SOURCE, "build-rel"))
    parser.add_argument("--runs", type=int, default=1, help="measured rounds (median shown)")
    parser.add_argument("--wrap", default="",
                        help="a command the measured runs go through, e.g. 'perf record -g'")
    parser.add_argument("--dir", default="",
                        help="where the run's files go (default: the build tree)")
    parser.add_argument("--mail-security", choices=("none", "starttls"), default="none",
                        help="the SMTP security of the office's configuration")
    args = parser.parse_args()
    # Not the system's temporary directory by default: on a shared machine whose /tmp sees
    # thousands of files deleted a minute, ext4 searches past every recently deleted inode of
    # that directory's block group for each file created there (about 1 ms a file on the
    # build machine, against 0.02 ms elsewhere on the same disk), a cost of the machine's other
    # work, not of the program.
    tempfile.tempdir = os.path.abspath(args.dir or args.build)
    support.use_build(args.build)
    if build_type(args.build) != "Release":
        print("note: %s is not a Release build; the figures mean little" % args.build)
    from larkspire_run import Setup, Simulator, read_data_file

    work = tempfile.TemporaryDirectory(prefix="larkspire-bench-")
    site = os.path.join(work.name, "site.txt")
    support.write_site(site, args.entries, page_size=50)
    setup = Setup()
    sim = Simulator(date=support.DAY_BEFORE, extra=["--data", site])
    ca_file = server_pem = None
    if args.mail_security == "starttls":
        ca_file, server_pem = support.make_certificate(work.name)
    sink = support.BenchSink(args.build, os.path.join(work.name, "mail"), server_pem)
    rounds = []
    try:
        values = support.settings(setup, sim.port, sink.port)
        if ca_file:
            values.update({"SmtpSecurity": "STARTTLS", "CaFile": ca_file})
        support.write_settings(setup, values)
        code, seconds, _, _ = run_program(setup, 1)
        entries = read_data_file(os.path.join(setup.log_dir, "patent.dat"))
        if code != 0 or len(entries) != args.entries:
            sys.exit("the import run ended with %d and stored %d entries" % (code, len(entries)))
        print("import run: %d entries in %.1f s" % (args.entries, seconds), flush=True)

        day, status = support.DAY_AFTER, support.STATUS_AFTER
        for round_number in range(1, args.runs + 1):
            sim.control("date?set=" + day)
            client_seconds, client_bytes = run_minimal_client(sim.port, args.entries)
            mails_before = len(received_messages(sink))
            code, seconds, cpu, started = run_program(setup, 1 + round_number,
                                                      args.wrap.split())
            received = received_messages(sink)[mails_before:]
            first_mail, last_mail = mail_times(received, started)
            mails = len(received)
            entries = read_data_file(os.path.join(setup.log_dir, "patent.dat"))
            changed = sum(1 for e in entries if e["Status"] == status and not e["Error"])
            problem = notification_problem(received, args.entries, status)
            if code != 0 or changed != args.entries or problem:
                sys.exit("round %d: exit %d, %d of %d entries changed, %d messages received (%s)"
                         % (round_number, code, changed, args.entries, mails, problem))
            # The SMTP server's own pace: the same messages again from a minimal client.
            mail_seconds = (send_over_one_tls_session(sink.port, received, ca_file) if ca_file
                            else send_like_a_minimal_client(sink.port, received))
            ratio = seconds / client_seconds
            rounds.append((seconds, client_seconds, ratio, cpu, mail_seconds,
                           seconds / (client_seconds + mail_seconds), first_mail,
                           first_mail / client_seconds))
            print("round %d: program %.2f s (%.2f ms/entry; first mail at %.2f s, last at "
                  "%.2f s, %d messages), minimal client %.2f s (%.2f ms/entry, %d KB), "
                  "ratio %.2f, program CPU %.2f ms/entry; the same messages from a minimal "
                  "SMTP client %.2f s (%.2f ms each)"
                  % (round_number, seconds, 1000 * seconds / args.entries, first_mail,
                     last_mail, mails, client_seconds, 1000 * client_seconds / args.entries,
                     client_bytes // 1024, ratio, 1000 * cpu / args.entries, mail_seconds,
                     1000 * mail_seconds / mails), flush=True)
            day, status = ((support.DAY_BEFORE, support.STATUS_BEFORE)
                           if day == support.DAY_AFTER
                           else (support.DAY_AFTER, support.STATUS_AFTER))
    finally:
        sink.stop()
        sim.stop()
        setup.cleanup()
        work.cleanup()

    (program, client, ratio, cpu, mail, mail_ratio, first,
     first_ratio) = (statistics.median(r[i] for r in rounds) for i in range(8))
    print("update run of %d changed entries with mails (%s, median of %d): program %.2f s, "
          "minimal client %.2f s, ratio %.2f; program CPU (user+system) %.2f ms per entry; "
          "first message at %.2f s, %.2f x the minimal client; minimal SMTP client %.2f s, program / (minimal client + minimal "
          "SMTP client) %.2f"
          % (args.entries, args.mail_security.upper(), len(rounds), program, client, ratio,
             1000 * cpu / args.entries,
             first, first_ratio, mail, mail_ratio))


if __name__ == "__main__":
    main()
