"""Helpers for tests that run the program binary with a settings file of their own."""
import configparser
import os
import subprocess
import tempfile

BIN = os.environ["LARKSPIRE_BIN"]


def clock_ahead(env, days):
    """env with the program's clock days ahead (libfaketime), so entries fall due. File times
    stay true: a faked stat() shows every font directory changed since the font caches were
    written, so each run would rebuild the system's font caches and write them back dated
    ahead (seconds of a short run, and files outside the test touched)."""
    env = dict(env)
    env["FAKETIME"] = "+%dd" % days
    env["LD_PRELOAD"] = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1"
    env["NO_FAKE_STAT"] = "1"
    return env


class Setup:
    """A throw-away settings file and logging directory."""

    def __init__(self, settings=None):
        self._tmp = tempfile.TemporaryDirectory(prefix="larkspire-e2e-")
        self.root = self._tmp.name
        self.log_dir = os.path.join(self.root, "log")
        os.makedirs(self.log_dir)
        self.settings_path = os.path.join(self.root, "settings.ini")
        self.write_settings({"LogDir": self.log_dir, **(settings or {})})

    def write_settings(self, values):
        """The settings file anew: the values in the Settings group."""
        with open(self.settings_path, "w") as f:
            # Shortcuts go into the test's own folder, never the user's menu.
            f.write("[General]\nShortcutFolder=%s\n" % os.path.join(self.root, "shortcuts"))
            f.write("[Settings]\n")
            for key, value in values.items():
                f.write(f"{key}={value}\n")

    def env(self):
        env = dict(os.environ)
        env["LARKSPIRE_SETTINGS"] = self.settings_path
        env["QT_QPA_PLATFORM"] = "offscreen"
        env.setdefault("XDG_RUNTIME_DIR", self.root)
        # Whatever a run writes below the user's data directory (the icons the installation step
        # puts into the desktop's theme, say) stays in the test's folder.
        env["XDG_DATA_HOME"] = os.path.join(self.root, "data")
        return env

    def run(self, *args, timeout=60):
        return subprocess.run([BIN, *args], env=self.env(), capture_output=True, timeout=timeout)

    def start(self, *args):
        return subprocess.Popen([BIN, *args], env=self.env(), stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE)

    def settings(self):
        parser = configparser.ConfigParser(interpolation=None)
        parser.optionxform = str
        parser.read(self.settings_path)
        return parser

    def log(self):
        path = os.path.join(self.log_dir, "Larkspire.log")
        if not os.path.exists(path):
            return ""
        with open(path, "rb") as f:
            return f.read().decode("latin-1")

    def cleanup(self):
        self._tmp.cleanup()


SOURCE = os.environ.get("LARKSPIRE_SOURCE", "")
SIM = os.environ.get("LARKSPIRE_SIM", "")


def _start_listening(args, stderr=subprocess.DEVNULL):
    """Starts a server that prints 'listening on 127.0.0.1:PORT' first; returns (process, port)."""
    process = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=stderr)
    line = process.stdout.readline().decode()
    if not line.startswith("listening on 127.0.0.1:"):
        process.kill()
        raise RuntimeError("server did not start: %r" % line)
    return process, int(line.strip().rsplit(":", 1)[1])


class Simulator:
    def __init__(self, date="2008-06-30", extra=(), data=None):
        """data: a data file of the test's own (its dated lines script what happens on which
        simulated day); the demo data when none is given."""
        data = data or os.path.join(SOURCE, "tools/sim/demo-data.txt")
        # The simulator logs one line per request; tests read it to know where a run is.
        self.requests = tempfile.NamedTemporaryFile(prefix="larkspire-sim-", suffix=".log")
        self.process, self.port = _start_listening(
            [SIM, "--port", "0", "--data", data, "--date", date, *extra], stderr=self.requests)

    def request_log(self):
        with open(self.requests.name, "rb") as f:
            return f.read().decode("latin-1")

    def control(self, query):
        import http.client
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        connection.request("GET", "/__sim/" + query)
        body = connection.getresponse().read()
        connection.close()
        return body

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)
        self.process.stdout.close()
        self.requests.close()


def make_test_ca(directory):
    """A throw-away CA and a server certificate for 127.0.0.1, made with the simulator's script."""
    subprocess.run(["bash", os.path.join(SOURCE, "tools/sim/make-test-ca.sh"), directory],
                   check=True, capture_output=True)


class OdpSimulator(Simulator):
    """The simulator with its Open Data Portal over HTTPS, its certificate from a CA made here."""

    def __init__(self, date="2008-06-30", extra=(), data=None):
        self.ca = tempfile.TemporaryDirectory(prefix="larkspire-ca-")
        make_test_ca(self.ca.name)
        super().__init__(date, ["--odp-port", "0",
                                "--tls-cert", os.path.join(self.ca.name, "server.pem"),
                                "--tls-key", os.path.join(self.ca.name, "server.key"), *extra],
                         data)
        line = self.process.stdout.readline().decode()
        if not line.startswith("odp listening on 127.0.0.1:"):
            self.stop()
            raise RuntimeError("the service did not start: %r" % line)
        self.odp_port = int(line.strip().rsplit(":", 1)[1])
        self.ca_file = os.path.join(self.ca.name, "ca.pem")

    def odp_state(self):
        """The service's counters and switches (/__sim/odp) as a dict of texts."""
        lines = self.control("odp").decode().splitlines()
        return dict(line.split(" ", 1) for line in lines if " " in line)

    def request_count(self):
        return int(self.odp_state()["requests"])

    def stop(self):
        super().stop()
        self.ca.cleanup()


def scramble(text):
    """The settings' scrambled form of a password or key: Base64, reversed, Base64, no '='."""
    import base64
    once = base64.b64encode(text.encode("latin-1"))[::-1]
    return base64.b64encode(once).decode().rstrip("=")


class SmtpSink:
    def __init__(self, out, refuse=()):
        args = ["/usr/bin/python3", os.path.join(SOURCE, "tools/smtp/smtp_sink.py"), "--out", out]
        for address in refuse:
            args += ["--refuse-rcpt", address]
        self.out = out
        self.process, self.port = _start_listening(args)

    def messages(self):
        """(envelope recipients, message text) for each stored message, in arrival order."""
        found = []
        if not os.path.isdir(self.out):
            return found
        for name in sorted(os.listdir(self.out)):
            if not name.endswith(".eml"):
                continue
            with open(os.path.join(self.out, name), "rb") as f:
                head, _, data = f.read().decode("latin-1").partition("\n\n")
            recipients = head.split("\nTo: ", 1)[1].strip().split(",")
            found.append((recipients, data))
        return found

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)
        self.process.stdout.close()


def subject(message):
    for line in message.split("\r\n"):
        if line.startswith("Subject: "):
            return line[len("Subject: "):]
    return ""


def change_lines(message):
    return [l for l in message.split("\r\n") if " (now): " in l or " (was): " in l]


def read_data_file(path):
    """patent.dat as a list of dicts keyed by the version 8 field names."""
    fields = ["Fequency", "Reference", "AppNum", "FilingDate", "DocketNumber", "Examiner",
              "IssueDate", "ArtUnit", "PatNum", "Class", "Location", "Status", "CustNum",
              "Foreign", "ParentContinuity", "LastUpdate", "LastHistoryDate",
              "LastHistoryText", "Error", "LastChange", "PubNum", "PubDate", "ConfirmNum", "PTA",
              "PTE", "ChildContinuity"]
    with open(path, "rb") as f:
        lines = f.read().decode("latin-1").split("\r\n")
    assert lines[0] == "8", lines[0]
    assert lines[-1] == "", "file must end with a line end"
    return [dict(zip(fields, line.split("\t"))) for line in lines[1:-1]]
