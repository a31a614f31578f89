#!/usr/bin/python3
"""Kill test: SIGKILL the unattended program at random points of an update, of a save and of
the mail queue's work.

Run by hand (not by ctest), against a GUI build:

    /usr/bin/python3 tools/stress/kill_test.py --build build-gui --runs 200

A generated status site of --entries applications changes every application between its two
days; each run moves the simulator to the day patent.dat does not hold, so every run updates,
saves and mails every entry. The runs take turns. The first of three is killed after a random
time within a clean run's length (anywhere in the update, the sending or the saves). The second
is killed inside a save: the clean run before them records every rewrite of a whole file
(patent.dat, the pending list after a send, the reports), and the run picks one kind of file and
one of its rewrites at random and is killed the moment that rewrite's temporary appears. A kill
that leaves patent.dat's temporary behind landed inside the rewrite of patent.dat; the test
reports how many did. The third is killed inside the queue's work: amid the posts (once a random
number of the run's message files are written), inside the commit (once the last one is written,
while the messages are flushed to disk and before the list names them) or the moment the pending
list grows.

The clean run that starts the test must change every entry and mail it (so the clock shift
and the simulator's day really work), and every run keeps its shortcuts in the test's folder.

After every kill:
  - patent.dat loads, holds every entry, and is either the file from before the run or the
    complete new list (every entry with the other day's status);
  - no notification is lost: every notification queued before the run, and (once patent.dat
    holds the new list) every notification the run posted, is still queued (named in the
    pending list, its file present) or was received by the SMTP server during the run.
A last clean run must then send everything still queued.

With --reminders the site's days are those just before the test's own, and each application's
non-final rejection was mailed up to 25 days before the second of them, so its reply falls due
within the month the runs' clock crosses (each run a day later): every run also queues and sends
the deadline reminders that fell due. Then no reminder queued before a run is lost (still queued,
or received during the run), none is ever received twice (a reminder is named by its deadline and
its offset, the offset read back from the subject's "Due in N days" or "Late reminder, due in N
days"), and every deadline received its reminder on the due date (or the late one after it).

With --mail-mode digest (MailMode=digest) each change is queued as a digest item and a send
composes the items into the run's digest: then no item queued before a run or posted in it is
lost (still queued, held by a digest still queued, or in a digest received during the run), and
no digest is received twice.

With --mail-security starttls the office's mail goes over STARTTLS, to the lean SMTP server
built in the same tree (larkspire-bench-sink), so that each notification is sent while the update
goes on and kills land amid that sending too.
"""
import argparse
import datetime
import os
import random
import re
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import stress_support as support  # noqa: E402

TEMPORARY = re.compile(r"^(patent\.dat|Larkspire_.*\.tmp|Larkspire\.(html|xml))\.[A-Za-z0-9]{6}$")
MESSAGE = re.compile(r"^Larkspire_[acdsi].*\.tmp$")
NUMBER = re.compile(r"\d\d/\d{3},\d{3}")
REMINDER_SUBJECT = re.compile(
    r"^(?:Due|Late reminder, due) (?:in (\d+) days?|today|(\d+) days? ago): .*, "
    r"(\d\d/\d{3},\d{3}), (\d{4}-\d\d-\d\d)$")
REMINDER_OFFSETS = (30, 7, 1, 0)
DATA_FILE_TEMPORARY = re.compile(r"^patent\.dat\.[A-Za-z0-9]{6}$")
POSTED = re.compile(r"Post E-Mail '([^']*)'")
SUBJECT_IDENTIFIER = re.compile(r"status update for (?:.* )?(\S+)$")


def pending_names(log_dir):
    try:
        with open(os.path.join(log_dir, "Larkspire_pending.tmp"), "rb") as f:
            return [n for n in f.read().decode("latin-1").split("\r\n") if n]
    except FileNotFoundError:
        return []


def identifier_of_name(name):
    """Larkspire_s11_100001~2.tmp -> ("s", "11_100001")."""
    base = name[len("Larkspire_"):-len(".tmp")].split("~")[0]
    return base[0], base[1:]


def file_safe(identifier):
    return identifier.replace("/", "_").replace(",", "")


def reminder_key(subject_text):
    """(application number, due date, offset) of a reminder's subject; None for other mail. A
    reminder names its offset's day count, a late one the days left when it was queued, and
    the offset it stands for is then the smallest one at least that far from the due date."""
    found = REMINDER_SUBJECT.match(subject_text)
    if not found:
        return None
    days_left = int(found.group(1)) if found.group(1) else -int(found.group(2) or 0)
    offset = min(o for o in REMINDER_OFFSETS if o >= max(days_left, 0))
    return found.group(3), found.group(4), offset


def digest_numbers(message_text):
    """The file-safe application numbers a digest names, read from its plain text part."""
    import email
    import email.policy
    message = email.message_from_string(message_text, policy=email.policy.default)
    body = message.get_body(preferencelist=("plain",))
    text = body.get_content() if body is not None else message_text
    return {file_safe(n) for n in NUMBER.findall(text)}


def is_digest(subject_text):
    return subject_text.startswith("Digest for ")


def message_subject(path):
    try:
        with open(path, "rb") as f:
            for line in f.read().decode("latin-1").split("\r\n"):
                if line.startswith("Subject: "):
                    return line[len("Subject: "):]
    except FileNotFoundError:
        pass
    return None


def save_kind(temporary):
    """The kind of file a temporary rewrites: patent.dat, the pending list, a message file or
    a report."""
    target = temporary[:-7]
    if target == "patent.dat":
        return "patent.dat"
    if target == "Larkspire_pending.tmp":
        return "pending list"
    if target.startswith("Larkspire_"):
        return "message"
    return "report"


class KillTest:
    def __init__(self, args):
        from larkspire_run import Setup, Simulator, SmtpSink
        self.args = args
        self.work = tempfile.TemporaryDirectory(prefix="larkspire-kill-")
        site = os.path.join(self.work.name, "site.txt")
        if args.reminders:
            today = datetime.date.today()
            self.days = ((today - datetime.timedelta(days=61)).isoformat(),
                         (today - datetime.timedelta(days=60)).isoformat())
        else:
            self.days = (support.DAY_BEFORE, support.DAY_AFTER)
        support.write_site(site, args.entries, page_size=10, days=self.days,
                           rejections_spread=25 if args.reminders else 1)
        self.setup = Setup()
        self.sim = Simulator(date=self.days[0], extra=["--data", site])
        mail = os.path.join(self.work.name, "mail")
        values = {}
        if args.mail_security == "starttls":
            ca_file, server_pem = support.make_certificate(self.work.name)
            self.sink = support.BenchSink(args.build, mail, server_pem)
            values = {"SmtpSecurity": "STARTTLS", "CaFile": ca_file}
        else:
            self.sink = SmtpSink(mail)
        if args.mail_mode == "digest":
            values["MailMode"] = "digest"
        values = {**support.settings(self.setup, self.sim.port, self.sink.port), **values}
        support.write_settings(self.setup, values)
        self.data_path = os.path.join(self.setup.log_dir, "patent.dat")
        self.day_offset = 0
        self.failures = []
        self.counts = {"update": 0, "save": 0, "save-missed": 0, "queue-post": 0,
                       "queue-commit": 0, "queue-list": 0, "queue-missed": 0, "old-file": 0,
                       "new-file": 0, "finished": 0, "temporaries-left": 0, "posted": 0,
                       "queued-after": 0, "inside-patent.dat-rewrite": 0}
        # Per kind of file: how many rewrites a clean run makes, and how many save kills aimed
        # at each kind.
        self.saves_per_run = {}
        self.aimed = {}

    def close(self):
        self.sink.stop()
        self.sim.stop()
        self.setup.cleanup()
        self.work.cleanup()

    def start(self):
        self.day_offset += 1
        env = support.faketime_env(self.setup.env(), self.day_offset)
        return subprocess.Popen([os.environ["LARKSPIRE_BIN"], "-auto"], env=env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def toggle_day(self):
        """Moves the site to the day patent.dat does not hold yet, so the run changes every
        entry even when the run before was killed before its save."""
        holds_after = any(s == support.STATUS_AFTER for s in self.statuses().values())
        other = self.days[0] if holds_after else self.days[1]
        self.sim.control("date?set=" + other)
        return other

    def clean_run(self, record_saves=False):
        started = time.monotonic()
        process = self.start()
        if record_saves:
            seen = self.watch_temporaries(process, lambda name: False)
            counts = {}
            for name in seen:
                counts[save_kind(name)] = counts.get(save_kind(name), 0) + 1
            self.saves_per_run = counts
        code = process.wait(timeout=600)
        return code, time.monotonic() - started

    def watch_temporaries(self, process, stop_at):
        """Every temporary seen while the process runs, in order of appearance; stops as soon
        as stop_at(name) is true for a new one."""
        seen = []
        known = set()
        while process.poll() is None:
            for name in os.listdir(self.setup.log_dir):
                if TEMPORARY.match(name) and name not in known:
                    known.add(name)
                    seen.append(name)
                    if stop_at(name):
                        return seen
            time.sleep(0.0001)
        return seen

    def statuses(self):
        from larkspire_run import read_data_file
        return {e["AppNum"]: e["Status"] for e in read_data_file(self.data_path)}

    def check(self, run, old_bytes, new_status, queued_before, received_before, log,
              subjects_before):
        from larkspire_run import subject
        try:
            statuses = self.statuses()
        except Exception as error:  # a half-written or unreadable file
            self.failures.append("run %d: patent.dat does not load: %r" % (run, error))
            return
        expected = {support.application_number(i) for i in range(self.args.entries)}
        if set(statuses) != expected:
            self.failures.append("run %d: patent.dat holds %d entries, not the list"
                                 % (run, len(statuses)))
            return
        with open(self.data_path, "rb") as f:
            current = f.read()
        holds_new = all(s == new_status for s in statuses.values())
        if current == old_bytes:
            self.counts["old-file"] += 1
        elif holds_new:
            self.counts["new-file"] += 1
        else:
            mixed = sum(1 for s in statuses.values() if s == new_status)
            self.failures.append("run %d: patent.dat is neither the old nor the new list "
                                 "(%d of %d entries new)" % (run, mixed, len(statuses)))

        queued = set(n for n in pending_names(self.setup.log_dir)
                     if os.path.exists(os.path.join(self.setup.log_dir, n)))
        received = set()
        received_subjects = set()
        in_digests = set()  # the numbers of the digests received, and of those still queued
        for _, message in self.sink.messages()[received_before:]:
            received_subjects.add(subject(message))
            found = SUBJECT_IDENTIFIER.search(subject(message))
            if found:
                received.add(file_safe(found.group(1)))
            if is_digest(subject(message)):
                in_digests |= digest_numbers(message)
        for name in queued:
            if name.startswith("Larkspire_m"):
                with open(os.path.join(self.setup.log_dir, name), encoding="latin-1") as f:
                    in_digests |= digest_numbers(f.read())
        posted = set(POSTED.findall(log))
        self.counts["posted"] += len(posted)
        self.counts["queued-after"] += len(queued)
        must_survive = set(queued_before) | (posted if holds_new and current != old_bytes
                                             else set())
        # A reminder posted and sent within the run left no file to read its subject from: the
        # reminders received then must cover those, offset by offset (its name ends in it).
        sent_unseen = {}
        for name in sorted(must_survive):
            kind, identifier = identifier_of_name(name)
            if name in queued:
                continue
            if kind == "r" and name not in subjects_before:
                offset = int(identifier.rsplit("-", 1)[1])
                sent_unseen[offset] = sent_unseen.get(offset, 0) + 1
                continue
            sent = (identifier in received if kind == "s"
                    else identifier in in_digests if kind == "i"
                    else subjects_before[name] in received_subjects if kind in "rm" else False)
            if not sent:
                self.failures.append("run %d: notification %s lost" % (run, name))
        received_offsets = [key[2] for key in map(reminder_key, received_subjects) if key]
        for offset, count in sent_unseen.items():
            if received_offsets.count(offset) < count:
                self.failures.append("run %d: %d reminder(s) %d days before lost"
                                     % (run, count - received_offsets.count(offset), offset))
        left = [n for n in os.listdir(self.setup.log_dir) if TEMPORARY.match(n)]
        self.counts["temporaries-left"] += len(left)
        for name in left:  # a kill between creating and renaming leaves one; not data
            os.remove(os.path.join(self.setup.log_dir, name))

    def kill_at_save(self, process):
        """Kills at one rewrite chosen at random from every save a clean run makes: a kind of
        file first (so patent.dat's few rewrites are aimed at as often as the many message
        files), then one of that kind's rewrites. False when the run ended before it."""
        kind = random.choice(sorted(self.saves_per_run))
        self.aimed[kind] = self.aimed.get(kind, 0) + 1
        skip = random.randrange(self.saves_per_run[kind])
        killed = False

        def aimed_at(name):
            nonlocal skip, killed
            if save_kind(name) != kind:
                return False
            if skip > 0:
                skip -= 1
                return False
            process.kill()
            killed = True
            return True

        self.watch_temporaries(process, aimed_at)
        return killed

    def messages_written_since(self, started_ns):
        """Message files written since then (a name may be written anew over an orphan that a
        killed run left unlisted)."""
        count = 0
        for name in os.listdir(self.setup.log_dir):
            if MESSAGE.match(name):
                try:
                    if os.stat(os.path.join(self.setup.log_dir, name)).st_mtime_ns >= started_ns:
                        count += 1
                except FileNotFoundError:
                    pass
        return count

    def kill_in_queue(self, process):
        """Kills amid the posts, inside the commit or as the list grows; returns which, or
        None when the run ended first."""
        list_path = os.path.join(self.setup.log_dir, "Larkspire_pending.tmp")
        started_ns = time.time_ns()
        list_size = os.path.getsize(list_path) if os.path.exists(list_path) else -1
        where = random.choice(("queue-post", "queue-commit", "queue-list"))
        wanted = (random.randint(1, self.args.entries) if where == "queue-post"
                  else self.args.entries)
        while process.poll() is None:
            if where == "queue-list":
                size = os.path.getsize(list_path) if os.path.exists(list_path) else -1
                if size != list_size:
                    process.kill()
                    return where
            elif self.messages_written_since(started_ns) >= wanted:
                if where == "queue-commit":
                    time.sleep(random.uniform(0, 0.05))
                process.kill()
                return where
            time.sleep(0.0002)
        return None

    def landed_inside_data_file_rewrite(self):
        """A kill between creating patent.dat's temporary and renaming it leaves it behind."""
        return any(DATA_FILE_TEMPORARY.match(n) for n in os.listdir(self.setup.log_dir))

    def check_baseline(self, received_before):
        """The clean run on the other day must have changed and mailed every entry; without
        that, every later check would pass on runs that change nothing."""
        from larkspire_run import subject
        statuses = self.statuses()
        changed = [a for a, s in statuses.items() if s == support.STATUS_AFTER]
        mailed = set()
        for _, message in self.sink.messages()[received_before:]:
            found = SUBJECT_IDENTIFIER.search(subject(message))
            if found:
                mailed.add(found.group(1))
            if is_digest(subject(message)):
                numbers = digest_numbers(message)
                mailed |= {a for a in statuses if file_safe(a) in numbers}
        if len(changed) != self.args.entries or mailed != set(statuses):
            sys.exit("the clean run on the other day changed %d and mailed %d of %d entries: "
                     "the clock shift or the simulator's day did not work"
                     % (len(changed), len(mailed), self.args.entries))

    def check_digests(self):
        """No digest received twice: each is composed once, and its items leave the queue as
        it enters it."""
        from larkspire_run import subject
        bodies = {}
        for _, message in self.sink.messages():
            if is_digest(subject(message)):
                # Headers aside (the send's date differs), a digest sent twice is the same text.
                body = message.split("\r\n\r\n", 1)[-1]
                bodies[body] = bodies.get(body, 0) + 1
        twice = [count for count in bodies.values() if count > 1]
        if twice:
            self.failures.append("%d digest(s) received more than once" % len(twice))
        print("digests received:", sum(bodies.values()))

    def check_reminders(self):
        """Over every run: no reminder received twice, and every deadline's reminder on (or,
        late, after) its due date received."""
        from larkspire_run import subject
        received = {}
        for _, message in self.sink.messages():
            key = reminder_key(subject(message))
            if key:
                received[key] = received.get(key, 0) + 1
            elif re.match(r"^(Due|Late reminder)", subject(message)):
                self.failures.append("a reminder's subject does not read as one: %r"
                                     % subject(message))
        for key, count in sorted(received.items()):
            if count > 1:
                self.failures.append("reminder %s received %d times" % (key, count))
        due_date_reminded = {number for number, _, offset in received if offset == 0}
        for i in range(self.args.entries):
            if support.application_number(i) not in due_date_reminded:
                self.failures.append("no reminder on the due date for %s"
                                     % support.application_number(i))
        by_offset = {}
        for _, _, offset in received:
            by_offset[offset] = by_offset.get(offset, 0) + 1
        print("reminders received, by offset:", dict(sorted(by_offset.items(), reverse=True)))

    def run(self):
        code, _ = self.clean_run()  # imports the list and reads every entry once
        if code != 0:
            sys.exit("the first clean run failed with %d" % code)
        if self.toggle_day() != self.days[1]:
            sys.exit("the first clean run did not store the site's first day")
        received_before = len(self.sink.messages())
        # A whole run that changes and mails every entry; its rewrites are where the save
        # kills aim.
        code, length = self.clean_run(record_saves=True)
        if code != 0:
            sys.exit("the second clean run failed with %d" % code)
        self.check_baseline(received_before)
        print("a clean run that updates and mails %d entries takes %.2f s and rewrites %s"
              % (self.args.entries, length, self.saves_per_run), flush=True)
        if "patent.dat" not in self.saves_per_run:
            sys.exit("the clean run's rewrite of patent.dat was not seen")
        for run in range(1, self.args.runs + 1):
            new_day = self.toggle_day()
            new_status = (support.STATUS_AFTER if new_day == self.days[1]
                          else support.STATUS_BEFORE)
            log_path = os.path.join(self.setup.log_dir, "Larkspire.log")
            if os.path.exists(log_path):
                os.remove(log_path)
            with open(self.data_path, "rb") as f:
                old_bytes = f.read()
            queued_before = [n for n in pending_names(self.setup.log_dir)
                             if os.path.exists(os.path.join(self.setup.log_dir, n))]
            subjects_before = {n: message_subject(os.path.join(self.setup.log_dir, n))
                               for n in queued_before if n.startswith(("Larkspire_r",
                                                                       "Larkspire_m"))}
            received_before = len(self.sink.messages())
            process = self.start()
            if run % 3 == 1:
                self.counts["update"] += 1
                time.sleep(random.uniform(0, length * 1.1))
                process.kill()
            elif run % 3 == 2:
                self.counts["save"] += 1
                if not self.kill_at_save(process):
                    self.counts["save-missed"] += 1
            else:
                self.counts[self.kill_in_queue(process) or "queue-missed"] += 1
            if process.wait(timeout=600) == 0:
                self.counts["finished"] += 1
            if self.landed_inside_data_file_rewrite():
                self.counts["inside-patent.dat-rewrite"] += 1
            self.check(run, old_bytes, new_status, queued_before, received_before,
                       self.setup.log(), subjects_before)
            if run % 20 == 0:
                print("%d runs, %d failures" % (run, len(self.failures)), flush=True)

        # Whatever is still queued goes out on the next clean run.
        self.toggle_day()
        left_before = pending_names(self.setup.log_dir)
        code, _ = self.clean_run()
        left = pending_names(self.setup.log_dir)
        if code != 0 or left:
            self.failures.append("final clean run: exit %d, %d of %d still queued"
                                 % (code, len(left), len(left_before)))
        self.failures += support.shortcut_problems(self.setup)
        if self.args.reminders:
            self.check_reminders()
        if self.args.mail_mode == "digest":
            self.check_digests()
        print("counts:", self.counts)
        print("save kills aimed at:", self.aimed)
        print("kills inside the rewrite of patent.dat: %d of %d"
              % (self.counts["inside-patent.dat-rewrite"], self.args.runs))
        for failure in self.failures:
            print("FAIL", failure)
        print("%d runs: %s" % (self.args.runs, "PASS" if not self.failures else
                                "%d failures" % len(self.failures)))
        return not self.failures


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=os.path.join(support.SOURCE, "build-gui"))
    parser.add_argument("--runs", type=int, default=200)
    parser.add_argument("--entries", type=int, default=40)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--reminders", action="store_true",
                        help="deadlines that fall due while the runs' clock moves a day a run, "
                             "so kills land amid the reminders too (at least 40 runs)")
    parser.add_argument("--mail-mode", choices=("each", "digest"), default="each",
                        help="digest: MailMode=digest, the changes go in digests")
    parser.add_argument("--mail-security", choices=("none", "starttls"), default="none",
                        help="starttls: the office's mail over STARTTLS to the lean sink of the "
                             "build's tools, so the notifications go out while the update runs")
    args = parser.parse_args()
    random.seed(args.seed)
    support.use_build(args.build)
    test = KillTest(args)
    try:
        ok = test.run()
    finally:
        test.close()
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
