"""Helpers for tests that run the program binary with a settings file of their own."""
import configparser
import os
import subprocess
import tempfile

BIN = os.environ["LARKSPIRE_BIN"]


class Setup:
    """A throw-away settings file and logging directory."""

    def __init__(self, settings=None):
        self._tmp = tempfile.TemporaryDirectory(prefix="larkspire-e2e-")
        self.root = self._tmp.name
        self.log_dir = os.path.join(self.root, "log")
        os.makedirs(self.log_dir)
        self.settings_path = os.path.join(self.root, "settings.ini")
        values = {"LogDir": self.log_dir}
        values.update(settings or {})
        with open(self.settings_path, "w") as f:
            f.write("[Settings]\n")
            for key, value in values.items():
                f.write(f"{key}={value}\n")

    def env(self):
        env = dict(os.environ)
        env["LARKSPIRE_SETTINGS"] = self.settings_path
        env["QT_QPA_PLATFORM"] = "offscreen"
        env.setdefault("XDG_RUNTIME_DIR", self.root)
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
