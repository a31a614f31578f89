"""Shared pieces of the hand-run stress scripts: the build to use, a generated status site and
the program's working files.

The scripts reuse the end-to-end helpers in tests/e2e/larkspire_run.py (settings file, logging
directory, simulator, SMTP sink), so they run the real program binary of a GUI build with
QT_QPA_PLATFORM=offscreen.
"""
import os
import sys

SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))


def use_build(build):
    """Points the end-to-end helpers at the program and simulator of a build directory."""
    build = os.path.abspath(build)
    program = os.path.join(build, "src", "larkspire")
    sim = os.path.join(build, "tools", "larkspire-sim")
    for path in (program, sim):
        if not os.access(path, os.X_OK):
            sys.exit("missing %s: build the GUI configuration first "
                     "(cmake --build %s --target larkspire larkspire-sim)" % (path, build))
    os.environ["LARKSPIRE_BIN"] = program
    os.environ["LARKSPIRE_SIM"] = sim
    os.environ["LARKSPIRE_SOURCE"] = SOURCE
    os.environ["QT_QPA_PLATFORM"] = "offscreen"
    sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))


CUSTOMER = "23456"
# The site's two days: every application changes status and gains a history line between them,
# so moving the simulator from one to the other changes every entry.
DAY_BEFORE = "2008-06-30"
DAY_AFTER = "2008-07-01"
STATUS_BEFORE = "Docketed New Case - Ready for Examination"
STATUS_AFTER = "Non Final Action Mailed"


def application_number(index):
    """nn/nnn,nnn, distinct for index 0 to 899999."""
    digits = "%06d" % (100000 + index)
    return "11/%s,%s" % (digits[:3], digits[3:])


def write_site(path, count, page_size=20, days=(DAY_BEFORE, DAY_AFTER), rejections_spread=1):
    """A simulator data file of count applications of one customer. Each application's
    non-final rejection is mailed on the second day or up to rejections_spread - 1 days before
    it (so its reply deadlines fall due on as many different days)."""
    import datetime
    before, after = days
    after_day = datetime.date.fromisoformat(after)
    lines = ["[site]", "date: " + before, "page-size: %d" % page_size, "",
             "[customer %s]" % CUSTOMER, "name: Stress Test Office LLP", ""]
    for i in range(count):
        lines += [
            "[application %s]" % application_number(i),
            "customer: " + CUSTOMER,
            "filed: 2005-01-10",
            "confirmation: %04d" % (1000 + i % 9000),
            "docket: ST-%05d" % i,
            "title: STRESS TEST APPLICATION NUMBER %d" % i,
            "class: 435/006.000",
            "art-unit: 1634",
            "examiner: SMITH, JOHN",
            "status: 2005-01-10 " + STATUS_BEFORE,
            "status: %s %s" % (after, STATUS_AFTER),
            "location: 1634",
            "event: 2005-01-10 Case Docketed to Examiner in GAU",
            "event: %s Mail Non-Final Rejection"
            % (after_day - datetime.timedelta(days=i % rejections_spread)).isoformat(),
            "",
        ]
    with open(path, "w") as f:
        f.write("\n".join(lines))


def settings(setup, sim_port, smtp_port):
    """The settings of an unattended office against the simulator and the sink."""
    return {
        "OrgName": "Stress Office", "SmtpServer": "127.0.0.1:%d" % smtp_port,
        "ReturnAddress": "docketing@office.example",
        "NotifyAddress1": "partners@office.example", "LogDir": setup.log_dir,
        "ReportDir": setup.root, "ProxyServer": "127.0.0.1:%d" % sim_port,
        "Timeout": "30 seconds",
    }


def shortcut_folder(setup):
    return os.path.join(setup.root, "shortcuts")


def write_settings(setup, values):
    """The settings file, with the shortcut folder inside the test's own folder (the
    end-to-end helpers' own): the runs must never write .desktop files into the user's
    applications menu."""
    setup.write_settings(values)


def shortcut_problems(setup):
    """What shows that the runs did not keep their shortcuts in the test's folder: [] when
    they wrote them there."""
    parser = setup.settings()
    folder = parser["General"].get("ShortcutFolder", "") if "General" in parser else ""
    if folder != shortcut_folder(setup):
        return ["the shortcut folder moved out of the test's folder: %r" % folder]
    if not os.path.isdir(folder) or not any(n.endswith(".desktop") for n in os.listdir(folder)):
        return ["no shortcut was written to %s" % folder]
    return []


def faketime_env(env, days):
    """The program sees a clock days ahead, so every entry is due again."""
    from larkspire_run import clock_ahead
    return clock_ahead(env, days)


class BenchSink:
    """larkspire-bench-sink (built in the build tree's tools/): the lean SMTP server, which
    stores each message as a numbered file in out the way the tests' server does; with a
    certificate (a PEM file holding the key and the chain) it offers STARTTLS. Call use_build
    first."""

    def __init__(self, build, out, certificate=None):
        from larkspire_run import _start_listening
        program = os.path.join(build, "tools", "larkspire-bench-sink")
        if not os.access(program, os.X_OK):
            sys.exit("%s is missing: build it with ninja -C %s larkspire-bench-sink"
                     % (program, build))
        self.out = out
        tls = ["--tls-cert", certificate, "--tls-key", certificate] if certificate else []
        self.process, self.port = _start_listening([program, "--out", out, *tls])

    def messages(self):
        """(envelope recipients, message text) for each stored message, in arrival order."""
        from larkspire_run import SmtpSink
        return SmtpSink.messages(self)

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)
        self.process.stdout.close()


def make_certificate(directory):
    """(CA file, server PEM) from a certificate authority made for this run: the server's
    certificate names 127.0.0.1, where the program reaches it."""
    import trustme
    authority = trustme.CA()
    ca_file = os.path.join(directory, "ca.pem")
    authority.cert_pem.write_to_path(ca_file)
    server_pem = os.path.join(directory, "server.pem")
    authority.issue_cert("127.0.0.1").private_key_and_cert_chain_pem.write_to_path(server_pem)
    return ca_file, server_pem
