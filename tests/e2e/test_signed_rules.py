"""The rules update end to end: the simulator serves a rules file signed with tools/sign/sign-release.sh
and a key made here, the program is given that key through LARKSPIRE_PUBLISHER_KEY, and only what
the key vouches for is taken, saved and taken again at the next start."""
import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from larkspire_run import SOURCE, Setup, Simulator, SmtpSink, clock_ahead  # noqa: E402

SIGN = os.path.join(SOURCE, "tools/sign/sign-release.sh")
NOT_THE_PUBLISHERS = ("the manifest's signature is not the publisher's (the manifest was altered "
                      "or signed with another key)")


def make_key(directory, name):
    """An Ed25519 key pair made with the openssl command: (private PEM path, public PEM path)."""
    private = os.path.join(directory, name + ".pem")
    public = os.path.join(directory, name + "-public.pem")
    subprocess.run(["openssl", "genpkey", "-algorithm", "ed25519", "-out", private], check=True)
    subprocess.run(["openssl", "pkey", "-in", private, "-pubout", "-out", public], check=True)
    return private, public


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


class SignedRulesTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory(prefix="larkspire-signed-")
        self.key, self.public = make_key(self.tmp.name, "publisher")
        built_in = read(os.path.join(SOURCE, "resources/templates/11-rules.txt"))
        self.assertTrue(built_in.startswith(b"version: 4.2.04.000\r\n"))
        self.newer = built_in.replace(b"version: 4.2.04.000", b"version: 4.2.05.000", 1).replace(
            b"support@larkspire.example", b"help@larkspire.example")
        served_dir = os.path.join(self.tmp.name, "served")
        os.makedirs(served_dir)
        self.served = os.path.join(served_dir, "larkspire.txt")
        self.sign(self.served, self.newer, self.key)
        self.manifest = read(self.served + ".manifest")

        self.sim = Simulator(extra=["--rules", self.served])
        self.sink = SmtpSink(os.path.join(self.tmp.name, "mail"))
        self.setup = Setup({
            "OrgName": "Test Office", "SmtpServer": "127.0.0.1:%d" % self.sink.port,
            "ReturnAddress": "docketing@office.example", "NotifyAddress1": "partners@office.example",
            "ReportDir": self.tmp.name, "ProxyServer": "127.0.0.1:%d" % self.sim.port,
            "Timeout": "30 seconds",
        })
        self.rules_dir = os.path.join(self.setup.log_dir, "Larkspire")
        os.makedirs(self.rules_dir)
        self.saved = os.path.join(self.rules_dir, "rules.txt")

    def tearDown(self):
        self.sink.stop()
        self.sim.stop()
        self.setup.cleanup()
        self.tmp.cleanup()

    def sign(self, path, data, key):
        write(path, data)
        subprocess.run(["bash", SIGN, "-k", key, "-t", "rules", path], check=True,
                       capture_output=True)

    def rules_requests(self):
        return [line for line in self.sim.request_log().split("\n") if "larkspire.txt" in line]

    def run_auto(self, key=None, days_ahead=0):
        """One unattended run; returns what it added to the log."""
        before = len(self.setup.log())
        env = self.setup.env()
        env.pop("LARKSPIRE_PUBLISHER_KEY", None)
        if key:
            env["LARKSPIRE_PUBLISHER_KEY"] = key
        if days_ahead:
            env = clock_ahead(env, days_ahead)
        result = subprocess.run([os.environ["LARKSPIRE_BIN"], "-auto"], env=env,
                                capture_output=True, timeout=120)
        self.assertEqual(result.returncode, 0, result.stderr)
        return self.setup.log()[before:]

    def test_a_signed_release_is_taken_saved_with_its_manifest_and_checked_again_at_start(self):
        log = self.run_auto(self.public)
        self.assertIn("**publisher key replaced by %s (LARKSPIRE_PUBLISHER_KEY)**" % self.public, log)
        self.assertNotIn("refused", log)
        self.assertNotIn("not used", log)
        self.assertEqual(read(self.saved), self.newer)
        self.assertEqual(read(self.saved + ".manifest"), self.manifest)

        # One byte of the saved copy changed between runs: it is not used at start, and the
        # update fetches the genuine release again.
        tampered = bytearray(self.newer)
        tampered[self.newer.index(b"pair.uspto.gov")] = ord("q")
        write(self.saved, bytes(tampered))
        log = self.run_auto(self.public)
        self.assertIn("Saved rules %s not used: the file's SHA-256 differs from its manifest's.\r\n"
                      % self.saved, log)
        self.assertEqual(read(self.saved), self.newer)

        # The saved copy is the release in use: the next run asks only for the manifest.
        requests_before = len(self.rules_requests())
        log = self.run_auto(self.public)
        self.assertNotIn("not used", log)
        new_lines = self.rules_requests()[requests_before:]
        self.assertTrue(new_lines and all("larkspire.txt.manifest" in line for line in new_lines),
                        new_lines)

    def test_a_download_that_does_not_pass_is_refused_in_the_log_and_nothing_is_saved(self):
        other_key, _ = make_key(self.tmp.name, "stranger")
        tampered = bytearray(self.newer)
        tampered[self.newer.index(b"pair.uspto.gov")] = ord("q")
        zzz = self.newer.replace(b"version: 4.2.05.000", b"version: zzz", 1)
        cases = [
            ("one byte changed after signing", bytes(tampered), self.manifest, self.public,
             "the file's SHA-256 differs from its manifest's"),
            ("the program's own key, not the test's", self.newer, self.manifest, None,
             NOT_THE_PUBLISHERS),
            ("version zzz with the genuine manifest", zzz, self.manifest, self.public,
             "the file has %d bytes, its manifest says %d" % (len(zzz), len(self.newer))),
        ]
        for name, data, manifest, key, reason in cases:
            with self.subTest(name):
                write(self.served, data)
                write(self.served + ".manifest", manifest)
                log = self.run_auto(key)
                self.assertIn("Rules update refused: %s.\r\n" % reason, log)
                self.assertFalse(os.path.exists(self.saved))

        # Signed with another key: refused, though sign-release.sh made it properly.
        self.sign(self.served, self.newer, other_key)
        log = self.run_auto(self.public)
        self.assertIn("Rules update refused: %s.\r\n" % NOT_THE_PUBLISHERS, log)
        # An older release, properly signed.
        older = self.newer.replace(b"version: 4.2.05.000", b"version: 4.2.03.000", 1)
        self.sign(self.served, older, self.key)
        log = self.run_auto(self.public)
        self.assertIn("Rules update refused: version 4.2.03.000 is older than 4.2.04.000 in use.\r\n",
                      log)
        self.assertFalse(os.path.exists(self.saved))

    def test_a_manifest_past_its_expiry_date_vouches_for_no_new_download(self):
        expires = [line for line in self.manifest.split(b"\r\n") if line.startswith(b"expires: ")]
        self.assertEqual(len(expires), 1, self.manifest)
        expired_on = expires[0][len(b"expires: "):].decode()
        # The script's default: 90 days; on the 91st the download is refused.
        log = self.run_auto(self.public, days_ahead=91)
        self.assertIn("Rules update refused: the manifest expired on %s.\r\n" % expired_on, log)
        self.assertFalse(os.path.exists(self.saved))

        # Taken while it was good, the copy stays in use once the manifest has run out; the log
        # says so, and the publisher offering the same version is no refusal.
        log = self.run_auto(self.public)
        self.assertNotIn("refused", log)
        self.assertEqual(read(self.saved), self.newer)
        log = self.run_auto(self.public, days_ahead=91)
        self.assertIn("Saved rules %s kept in use; their manifest expired on %s.\r\n"
                      % (self.saved, expired_on), log)
        self.assertNotIn("refused", log)
        self.assertNotIn("not used", log)

    def test_the_offices_own_rules_file_is_used_and_the_publisher_not_asked(self):
        office = self.newer.replace(b"version: 4.2.05.000", b"version: 4.2.01.000", 1)
        office_path = os.path.join(self.rules_dir, "office-rules.txt")
        write(office_path, office)
        log = self.run_auto(self.public)
        self.assertIn("Rules: the office's own %s, version 4.2.01.000, is in use; the publisher's "
                      "rules are not fetched while it is there\r\n" % office_path, log)
        self.assertNotIn("larkspire.txt", self.sim.request_log())
        self.assertFalse(os.path.exists(self.saved))


if __name__ == "__main__":
    unittest.main()
