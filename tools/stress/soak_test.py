#!/usr/bin/python3
"""Soak test: thousands of entries updated against the simulator with injected faults.

Run by hand (not by ctest), against a GUI build:

    /usr/bin/python3 tools/stress/soak_test.py --build build-gui --entries 2000

A first unattended run imports a generated site of --entries applications and reads each once.
The simulator then moves to the day on which every application changed, faults are put on the
status pages of --fault-percent of the applications (connection reset mid-body, 500 answers,
truncated pages, and a few stalls and one-byte-per-40-ms trickles that outlast the time-out),
and a second unattended run updates every entry and mails the changes.

Passes when the second run ends by itself without a crash, every faulted entry and no other
holds an error in patent.dat, each error is one its fault can cause, every entry without a
fault holds the new day's status and was mailed exactly once (and no faulted one was), the
shortcuts stayed in the test's folder, and the peak resident size at the end is within 10% of
the peak after the first 200 entries.
"""
import argparse
import os
import random
import re
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import stress_support as support  # noqa: E402

TIMED_OUT = {"HttpGet: Operation timed out.", "Operation timed out."}
STATUS_SUBJECT = re.compile(r"status update for (?:.* )?(\S+)$")
# The errors each fault may leave in its entry's Error field.
EXPECTED_ERRORS = {
    "close": {"WinSock: Disconnected by server.",
              "The patent office webpage is not complete. You might want to try again.",
              "HttpGet: HTTP Get Failed."},
    "500": {"HttpGet: HTTP Get Failed. (500 Internal Server Error)"},
    "truncate": {"The patent office webpage is not complete. You might want to try again."},
    "stall": TIMED_OUT,
    "trickle": TIMED_OUT,
}


def memory_kb(pid):
    """(VmRSS, VmHWM) of a running process in kB, or None once it is gone."""
    try:
        with open("/proc/%d/status" % pid) as f:
            values = dict(line.split(":", 1) for line in f if ":" in line)
        return int(values["VmRSS"].split()[0]), int(values["VmHWM"].split()[0])
    except (FileNotFoundError, ProcessLookupError, KeyError):
        return None


def choose_faults(count, percent, slow, rng):
    """{application number: mode} for percent of count applications; slow of them stall or
    trickle (each costs a whole time-out), the rest reset, answer 500 or truncate."""
    chosen = rng.sample(range(count), max(1, count * percent // 100))
    faults = {}
    for k, index in enumerate(chosen):
        if k < slow:
            mode = "stall" if k % 2 == 0 else "trickle"
        else:
            mode = ("close", "500", "truncate")[k % 3]
        faults[support.application_number(index)] = mode
    return faults


def run_watched(setup, day_offset, entries_read, first_entries):
    """Runs the program to its end; returns (exit code, seconds, memory samples once
    entries_read() reaches first_entries, and at the end)."""
    env = support.faketime_env(setup.env(), day_offset)
    started = time.monotonic()
    process = subprocess.Popen([os.environ["LARKSPIRE_BIN"], "-auto"], env=env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    at_first = None
    last = None
    while process.poll() is None:
        sample = memory_kb(process.pid)
        if sample:
            last = sample
        if at_first is None:
            if entries_read() >= first_entries and last:
                at_first = last
        time.sleep(0.2)
    return process.wait(), time.monotonic() - started, at_first, last


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=os.path.join(support.SOURCE, "build-gui"))
    parser.add_argument("--entries", type=int, default=2000)
    parser.add_argument("--fault-percent", type=int, default=5)
    parser.add_argument("--slow-faults", type=int, default=4,
                        help="how many of the faults stall or trickle past the time-out")
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    support.use_build(args.build)
    from larkspire_run import Setup, Simulator, SmtpSink, read_data_file, subject

    rng = random.Random(args.seed)
    work = tempfile.TemporaryDirectory(prefix="larkspire-soak-")
    site = os.path.join(work.name, "site.txt")
    support.write_site(site, args.entries, page_size=50)
    setup = Setup()
    sim = Simulator(date=support.DAY_BEFORE, extra=["--data", site])
    sink = SmtpSink(os.path.join(work.name, "mail"))
    failures = []
    try:
        support.write_settings(setup, support.settings(setup, sim.port, sink.port))
        # Each entry's read starts with its status page.
        def status_requests():
            return sim.request_log().count("cusnum.pl")

        code, seconds, _, _ = run_watched(setup, 1, status_requests, args.entries + 1)
        print("import run: exit %d, %.0f s" % (code, seconds), flush=True)
        entries = read_data_file(os.path.join(setup.log_dir, "patent.dat"))
        if len(entries) != args.entries:
            sys.exit("the import run stored %d entries, not %d" % (len(entries), args.entries))

        faults = choose_faults(args.entries, args.fault_percent, args.slow_faults, rng)
        sim.control("date?set=" + support.DAY_AFTER)
        for number, mode in faults.items():
            digits = number.replace("/", "").replace(",", "")
            sim.control("fault?mode=%s&app=%s&page=status" % (mode, digits))
        before = status_requests()
        mails_before = len(sink.messages())
        code, seconds, at_first, at_end = run_watched(
            setup, 2, lambda: status_requests() - before, 200)
        print("fault run: exit %d, %.0f s, %d faults" % (code, seconds, len(faults)), flush=True)
        if code < 0 or code == 15:
            failures.append("the fault run ended with %d (a signal or an unhandled exception)"
                            % code)
        if "Unhandled" in setup.log():
            failures.append("the log reports an unhandled exception")

        entries = {e["AppNum"]: e for e in read_data_file(os.path.join(setup.log_dir,
                                                                       "patent.dat"))}
        # The status-change mails of the fault run, by application number.
        mailed = {}
        for _, message in sink.messages()[mails_before:]:
            found = STATUS_SUBJECT.search(subject(message))
            if found:
                mailed[found.group(1)] = mailed.get(found.group(1), 0) + 1
        seen_errors = {}
        for number, entry in sorted(entries.items()):
            error = entry["Error"]
            mode = faults.get(number)
            if mode is None:
                if error:
                    failures.append("%s has no fault but the error '%s'" % (number, error))
                if entry["Status"] != support.STATUS_AFTER:
                    failures.append("%s has no fault but kept the status '%s'"
                                    % (number, entry["Status"]))
                if mailed.get(number, 0) != 1:
                    failures.append("%s has no fault but was mailed %d times"
                                    % (number, mailed.get(number, 0)))
                continue
            if number in mailed:
                failures.append("%s (%s) failed but was mailed" % (number, mode))
            seen_errors.setdefault(mode, {}).setdefault(error, 0)
            seen_errors[mode][error] += 1
            if error not in EXPECTED_ERRORS[mode]:
                failures.append("%s (%s) has the error '%s'" % (number, mode, error))
        for mode, errors in sorted(seen_errors.items()):
            for error, count in sorted(errors.items()):
                print("  %-8s x%-3d -> '%s'" % (mode, count, error))
        if len(entries) != args.entries:
            failures.append("patent.dat holds %d entries" % len(entries))

        if at_first is None or at_end is None:
            failures.append("memory was not sampled")
        else:
            print("memory after 200 entries: rss %d kB, peak %d kB; at the end: rss %d kB, "
                  "peak %d kB (%+.1f%%)" % (at_first[0], at_first[1], at_end[0], at_end[1],
                                            100.0 * (at_end[1] - at_first[1]) / at_first[1]))
            if at_end[1] > at_first[1] * 1.10:
                failures.append("peak memory grew by more than 10%")
        print("status mails of the fault run: %d for %d entries without a fault"
              % (sum(mailed.values()), args.entries - len(faults)))
        failures += support.shortcut_problems(setup)
    finally:
        sink.stop()
        sim.stop()
        setup.cleanup()
        work.cleanup()
    for failure in failures[:50]:
        print("FAIL", failure)
    print("soak: %s" % ("PASS" if not failures else "%d failures" % len(failures)))
    sys.exit(0 if not failures else 1)


if __name__ == "__main__":
    main()
