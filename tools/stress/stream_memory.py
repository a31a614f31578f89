#!/usr/bin/python3
"""Streaming test: servers that send without end must not take the program's memory.

Run by hand (not by ctest), against a GUI build:

    /usr/bin/python3 tools/stress/stream_memory.py --build build-gui

An unattended run updates --entries applications through a "proxy" that answers every request
with a 200 status line and then streams page bytes as fast as the program reads them, and mails
its reports through an "SMTP server" whose greeting is "220-" lines without end. Neither ever
ends a response; each accepts connections for --seconds (10 by default) from its first one and
refuses them after that.

The program's resident size is sampled every 20 ms. Passes when the peak (the kernel's
high-water mark, VmHWM) stays under --limit-mb (100), the run ends by itself, the entries
carry the page cap's error and the log the reply cap's. Prints the figures either way.
"""
import argparse
import os
import socket
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import stress_support as support  # noqa: E402

PAGE_CAP_ERROR = "HttpGet: The page is larger than 16 MB."
REPLY_CAP_ERROR = "SMTP: The server's reply is longer than 64 KB."


class StreamingServer:
    """Accepts connections on loopback for the streaming time from the first one, then refuses
    them. Each one gets first_bytes (after the request, when read_request), then chunk after
    chunk until the client goes: the server never ends a response itself. Counts the bytes
    sent (what the client read and what the kernel still buffered when it went)."""

    def __init__(self, first_bytes, chunk, seconds, read_request):
        self.first_bytes = first_bytes
        self.chunk = chunk
        self.seconds = seconds
        self.read_request = read_request
        self.started = None
        self.sent = 0
        self.connections = 0
        self.lock = threading.Lock()
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(64)
        self.port = self.listener.getsockname()[1]
        self.stopping = False
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while not self.stopping:
            try:
                connection, _ = self.listener.accept()
            except OSError:
                return
            with self.lock:
                if self.started is None:
                    self.started = time.monotonic()
                    threading.Timer(self.seconds, self.stop).start()
                self.connections += 1
            threading.Thread(target=self._serve, args=(connection,), daemon=True).start()

    def _serve(self, connection):
        try:
            if self.read_request:
                request = b""
                while b"\r\n\r\n" not in request:
                    part = connection.recv(65536)
                    if not part:
                        return
                    request += part
            connection.sendall(self.first_bytes)
            while True:
                connection.sendall(self.chunk)
                with self.lock:
                    self.sent += len(self.chunk)
        except OSError:
            pass  # the client stopped reading and closed: what the test wants
        finally:
            connection.close()

    def stop(self):
        """New connections are refused from now on; those open stream on."""
        self.stopping = True
        try:
            self.listener.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self.listener.close()


def memory_kb(pid):
    """(VmRSS, VmHWM) of a running process in kB, or None once it is gone."""
    try:
        with open("/proc/%d/status" % pid) as f:
            values = dict(line.split(":", 1) for line in f if ":" in line)
        return int(values["VmRSS"].split()[0]), int(values["VmHWM"].split()[0])
    except (FileNotFoundError, ProcessLookupError, KeyError, ValueError):
        return None


def write_data_file(path, count):
    """patent.dat (version 8) with count applications, none updated yet."""
    fields = ["Fequency", "Reference", "AppNum", "FilingDate", "DocketNumber", "Examiner",
              "IssueDate", "ArtUnit", "PatNum", "Class", "Location", "Status", "CustNum",
              "Foreign", "ParentContinuity", "LastUpdate", "LastHistoryDate",
              "LastHistoryText", "Error", "LastChange", "PubNum", "PubDate", "ConfirmNum", "PTA",
              "PTE", "ChildContinuity"]
    lines = ["8"]
    for i in range(count):
        values = dict.fromkeys(fields, "")
        values.update({"Fequency": "0", "Reference": "ST-%05d" % i,
                       "AppNum": support.application_number(i), "LastUpdate": "0",
                       "LastChange": "0"})
        lines.append("\t".join(values[f] for f in fields))
    with open(path, "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode("latin-1"))


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=os.path.join(support.SOURCE, "build-gui"))
    parser.add_argument("--entries", type=int, default=200)
    parser.add_argument("--seconds", type=float, default=10.0)
    parser.add_argument("--limit-mb", type=float, default=100.0)
    args = parser.parse_args()
    support.use_build(args.build)
    from larkspire_run import Setup, read_data_file

    page = StreamingServer(b"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n",
                           b"<td>streamed</td>" * 4096, args.seconds, read_request=True)
    mail = StreamingServer(b"", b"220-" + b"x" * 1018 + b"\r\n", args.seconds,
                           read_request=False)
    setup = Setup()
    try:
        support.write_settings(setup, {
            "OrgName": "Stream Office", "SmtpServer": "127.0.0.1:%d" % mail.port,
            "ReturnAddress": "docketing@office.example",
            "NotifyAddress1": "partners@office.example", "LogDir": setup.log_dir,
            "ReportDir": setup.root, "ProxyServer": "127.0.0.1:%d" % page.port,
            "Timeout": "10 minutes",
        })
        data_path = os.path.join(setup.log_dir, "patent.dat")
        write_data_file(data_path, args.entries)
        # A notification waiting from an earlier run: the run's end sends it.
        with open(os.path.join(setup.log_dir, "Larkspire_s-stream.tmp"), "wb") as f:
            f.write(b"Subject: Stream test\r\n\r\nA waiting notification.\r\n")
        with open(os.path.join(setup.log_dir, "Larkspire_pending.tmp"), "wb") as f:
            f.write(b"Larkspire_s-stream.tmp\r\n")

        env = setup.env()
        env.update(dict(kv.split("=", 1) for kv in os.environ.get("STREAM_ENV", "").split() if kv))
        # Shortcuts the first run writes stay in the throw-away directory.
        env["XDG_DATA_HOME"] = os.path.join(setup.root, "data-home")
        started = time.monotonic()
        process = subprocess.Popen([os.environ["LARKSPIRE_BIN"], "-auto"], env=env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        peak_rss = peak_hwm = 0
        while process.poll() is None:
            sample = memory_kb(process.pid)
            if sample:
                peak_rss = max(peak_rss, sample[0])
                peak_hwm = max(peak_hwm, sample[1])
            if time.monotonic() - started > args.seconds + 300:
                process.kill()
                sys.exit("the run did not end")
            time.sleep(0.02)
        exit_code = process.wait()
        elapsed = time.monotonic() - started

        entries = read_data_file(data_path)
        capped = sum(1 for e in entries if e["Error"] == PAGE_CAP_ERROR)
        log = setup.log()
        print("run: %.1f s, exit code %d" % (elapsed, exit_code))
        print("page server: %d connections in its %.0f s, %.0f MB sent"
              % (page.connections, args.seconds, page.sent / 1e6))
        print("mail server: %d connections, %.1f MB sent" % (mail.connections, mail.sent / 1e6))
        print("entries failed with the page cap: %d of %d" % (capped, len(entries)))
        print("reply cap in the log: %s" % (REPLY_CAP_ERROR in log))
        print("peak resident size: %.1f MB (highest sample of VmRSS %.1f MB)"
              % (peak_hwm / 1024, peak_rss / 1024))
        failures = []
        if peak_hwm / 1024 >= args.limit_mb:
            failures.append("peak %.1f MB is not under %.0f MB" % (peak_hwm / 1024, args.limit_mb))
        if capped == 0:
            failures.append("no entry carries %r" % PAGE_CAP_ERROR)
        if REPLY_CAP_ERROR not in log:
            failures.append("the log does not carry %r" % REPLY_CAP_ERROR)
        if "Unhandled" in log:
            failures.append("the log reports an unhandled exception")
        if failures:
            sys.exit("FAILED: " + "; ".join(failures))
        print("PASSED")
    finally:
        page.stop()
        mail.stop()
        setup.cleanup()


if __name__ == "__main__":
    main()
