"""Smoke test of larkspire-sim, run by ctest.

usage: smoke_test.py SIMULATOR DATA_FILE FIXTURE_DIR

1. --write-pages into a temporary directory must reproduce FIXTURE_DIR byte for byte (the
   committed fixtures are the simulator's current output); so must --date D for each
   subdirectory D of FIXTURE_DIR.
2. Every field listed in each expected.txt must come out of the fixture pages through the
   built-in rules' patterns (extract_check.py).
3. A live simulator on an ephemeral port answers proxy-style and direct requests, moves its date
   and misbehaves on request, serves two connections at once, and stops on SIGTERM.
"""

import filecmp
import os
import signal
import socket
import subprocess
import sys
import tempfile
import threading

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import extract_check as ex  # noqa: E402

FAILURES = []


def check(condition, message):
    if not condition:
        FAILURES.append(message)
        print("FAIL: " + message)


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read().decode("latin-1")


def parse_expected(path):
    sections, current = {}, None
    for line in read_bytes(path).splitlines():
        if line.startswith("[") and line.endswith("]"):
            current = sections.setdefault(line[1:-1], [])
        elif current is not None and ": " in line:
            key, value = line.split(": ", 1)
            current.append((key, value))
        elif current is not None and line.endswith(":"):
            current.append((line[:-1], ""))
    return sections


def fixture_files(fixture_dir):
    return sorted(n for n in os.listdir(fixture_dir) if os.path.isfile(os.path.join(fixture_dir, n)) and n != "README.md")


def check_fixtures(simulator, data_file, fixture_dir, date):
    with tempfile.TemporaryDirectory() as fresh:
        subprocess.run([simulator, "--data", data_file, "--write-pages", fresh] + (["--date", date] if date else []),
                       check=True)
        names = sorted(os.listdir(fresh))
        check(names == fixture_files(fixture_dir),
              "fixture file list differs from --write-pages output; regenerate tests/data/sim")
        for name in names:
            other = os.path.join(fixture_dir, name)
            check(os.path.exists(other) and filecmp.cmp(os.path.join(fresh, name), other, shallow=False),
                  name + " differs from --write-pages output; regenerate tests/data/sim")


def check_extraction(fixture_dir):
    page = lambda name: read_bytes(os.path.join(fixture_dir, name))
    expected = parse_expected(os.path.join(fixture_dir, "expected.txt"))
    applications = [s for s in expected if s.startswith("application ")]
    check(len(applications) >= 5, "expected.txt lists too few applications")
    for section in applications:
        values = dict(expected[section])
        status, foreign, continuity = values["pages"].split()
        got = ex.read_entry_pages(page(status), page(foreign), page(continuity))
        for key, want in values.items():
            if key != "pages":
                check(got.get(key) == want, "%s %s: extracted %r, expected %r" % (section, key, got.get(key), want))
        for name in (status, foreign, continuity):
            check(ex.validate_page(ex.normalize_page(page(name))) == 0, name + " carries a validate error text")

    search = dict(expected["search"])
    numbers = ex.read_customer_numbers(page(search["page"]))
    check(numbers == search["CustomerNumbers"].split(", "), "customer numbers %r" % numbers)
    check(ex.validate_page(ex.normalize_page(page(search["page"]))) == 3, "the search page lacks error3's text")
    for section in (s for s in expected if s.startswith("customer ")):
        customer = section.split()[1]
        rows = expected[section]
        count = int(dict(rows)["Count"])
        check(ex.read_result_count(page("results-%s-1.html" % customer)) == count, section + ": count")
        for result_set in range(1, count + 1):
            name = "results-%s-%d.html" % (customer, result_set)
            want = [v.split(" | ") for k, v in rows if k == "Row%d" % result_set]
            got = ex.read_result_rows(page(name))
            check(got == want, "%s: rows %r, expected %r" % (name, got, want))
            check(ex.validate_page(ex.normalize_page(page(name))) == 0, name + " carries a validate error text")

    for kind, name in (("AppNum", "application"), ("PatNum", "patent"), ("PubNum", "publication")):
        normalised = ex.collapse_space(ex.normalize_page(page("notfound-%s.html" % name)))
        check(ex.NOT_FOUND[kind] in normalised, "notfound-%s.html lacks the not-found text" % name)
    for number in range(1, 5):
        check(ex.validate_page(ex.normalize_page(page("error%d.html" % number))) == number,
              "error%d.html is not recognised as error %d" % (number, number))
    error1 = ex.normalize_page(page("error1.html"))
    bold = error1[ex.find_text(error1, "<b>") + 3:ex.find_text(error1, "</b>")]
    check(bold == "Proxy timeout", "error1.html bold text %r" % bold)
    truncated = [n for n in os.listdir(fixture_dir) if n.startswith("truncated-status-")]
    check(len(truncated) == 1 and not ex.contains(ex.normalize_page(page(truncated[0])), ex.FETCH1_REQUIRED),
          "the truncated status page still carries the required text")


def exchange(port, request, timeout=10.0):
    """Sends one request and reads until the server closes; returns (status line, body)."""
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
        s.sendall(request.encode("latin-1"))
        data = b""
        while True:
            chunk = s.recv(65536)
            if not chunk:
                break
            data += chunk
    text = data.decode("latin-1")
    head, _, body = text.partition("\r\n\r\n")
    return head.split("\r\n")[0], body


def proxy_get(port, path):
    return exchange(port, "GET //pair.uspto.gov%s HTTP/1.0\r\nHost: 127.0.0.1:%d\r\n\r\n" % (path, port))


def proxy_post(port, path, form):
    return exchange(port, "POST //pair.uspto.gov%s HTTP/1.0\r\nHost: 127.0.0.1:%d\r\n"
                    "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: %d\r\n\r\n%s"
                    % (path, port, len(form), form))


STATUS = "/cgi-bin/final/cusnum.pl?USERCODE=123&ApplicationNumber=10987654"


def check_server(simulator, data_file, fixture_dir):
    with tempfile.TemporaryDirectory() as tmp:
        rules = os.path.join(tmp, "rules.txt")
        with open(rules, "wb") as f:
            f.write(b"version: 4.2.05.000\r\nend-of-rules\r\n")
        with open(rules + ".manifest", "wb") as f:
            f.write(b"larkspire-manifest: 1\r\n")
        process = subprocess.Popen([simulator, "--port", "0", "--data", data_file, "--rules", rules],
                                   stdout=subprocess.PIPE, text=True)
        try:
            first = process.stdout.readline().strip()
            check(first.startswith("listening on 127.0.0.1:"), "first line %r" % first)
            port = int(first.rsplit(":", 1)[1])
            talk_to_server(port, fixture_dir)
        finally:
            process.send_signal(signal.SIGTERM)
            try:
                code = process.wait(timeout=20)
                check(code == 0, "exit code %d after SIGTERM" % code)
            except subprocess.TimeoutExpired:
                process.kill()
                check(False, "the simulator did not stop on SIGTERM")


def talk_to_server(port, fixture_dir):
    status_line, body = proxy_get(port, STATUS)
    check(status_line == "HTTP/1.0 200 OK", "status line %r" % status_line)
    check(body == read_bytes(os.path.join(fixture_dir, "status-10987654.html")), "served status page differs from its fixture")
    check("Filing or 371(c) Date:" in body and "Examiner Name:" in body, "status page lacks its labels")
    _, body = proxy_post(port, "/cgi-bin/final/continuity.pl", "submission=Continuity&USERCODE=123&ApplicationNumber=10987654")
    check(body == read_bytes(os.path.join(fixture_dir, "continuity-10987654.html")), "served continuity page differs")
    _, body = proxy_post(port, "/cgi-bin/final/pairsearch.pl",
                         "searchtype=customer&USERCODE=123&customernumber=23456&sortby=application&ResultSet=2")
    check(body == read_bytes(os.path.join(fixture_dir, "results-23456-2.html")), "served result set 2 differs")
    _, body = proxy_get(port, "/cgi-bin/final/pairsearch.pl?USERCODE=123&searchtype=publication&publicationnumber=US%202005-0064321%20A1")
    check(ex.extract_field(ex.normalize_page(body), ex.FETCH1["AppNum"]) == "10/987,654", "publication search")

    # The date moves the application on: allowed, then patented.
    status_line, body = proxy_get(port, "/__sim/date?set=2009-01-15")
    check(status_line == "HTTP/1.0 200 OK" and body.strip() == "date 2009-01-15", "date control: %r" % body)
    _, body = proxy_get(port, STATUS)
    page = ex.normalize_page(body)
    check(ex.extract_field(page, ex.FETCH1["PatNum"]) == "7,460,123", "no patent number after the date moved")
    check(ex.extract_field(page, ex.FETCH1["Status"]) == "Patented Case", "status after the date moved")
    _, body = proxy_get(port, "/cgi-bin/final/pairsearch.pl?USERCODE=123&searchtype=patent&patentnumber=7,460,123")
    check(ex.extract_field(ex.normalize_page(body), ex.FETCH1["AppNum"]) == "10/987,654", "patent search")
    _, body = proxy_get(port, "/__sim/date?set=2003-01-01")
    _, body = proxy_get(port, STATUS)
    check(ex.NOT_FOUND["AppNum"] in ex.collapse_space(ex.normalize_page(body)), "an unfiled application is found")
    proxy_get(port, "/__sim/date?set=2008-06-30")

    # Faults.
    status_line, _ = proxy_get(port, "/__sim/fault?mode=500&app=10/987,654&count=1")
    check(status_line == "HTTP/1.0 200 OK", "fault control refused")
    status_line, _ = proxy_get(port, "/cgi-bin/final/cusnum.pl?USERCODE=123&ApplicationNumber=10123456")
    check(status_line == "HTTP/1.0 200 OK", "a fault for one application hit another")
    status_line, _ = proxy_get(port, STATUS)
    check(status_line.startswith("HTTP/1.0 500 "), "500 fault: %r" % status_line)
    status_line, _ = proxy_get(port, STATUS)
    check(status_line == "HTTP/1.0 200 OK", "count=1 fault did not wear off")
    proxy_get(port, "/__sim/fault?mode=truncate&page=status")
    status_line, body = proxy_get(port, STATUS)
    check(status_line == "HTTP/1.0 200 OK" and body and not ex.contains(ex.normalize_page(body), ex.FETCH1_REQUIRED),
          "truncated page still complete")
    proxy_get(port, "/__sim/fault?mode=error1")
    _, body = proxy_get(port, STATUS)
    check(ex.validate_page(ex.normalize_page(body)) == 1, "error1 fault page")
    proxy_get(port, "/__sim/fault?mode=none")
    _, body = proxy_get(port, "/__sim/state")
    check(body.strip() == "date 2008-06-30", "state after clearing faults: %r" % body)

    # A stalled connection does not hold up another one.
    proxy_get(port, "/__sim/fault?mode=stall&page=continuity")
    stalled = socket.create_connection(("127.0.0.1", port), timeout=1.0)
    stalled.sendall(b"GET //pair.uspto.gov/cgi-bin/final/continuity.pl?ApplicationNumber=10987654 HTTP/1.0\r\n\r\n")
    answered = threading.Event()
    worker = threading.Thread(target=lambda: (proxy_get(port, STATUS), answered.set()))
    worker.start()
    worker.join(15)
    check(answered.is_set(), "a second connection was not served while one stalled")
    try:
        check(stalled.recv(100) == b"", "the stalled connection was answered")
    except socket.timeout:
        pass
    stalled.close()
    proxy_get(port, "/__sim/fault?mode=none")

    # Direct requests to the publisher's server.
    status_line, body = exchange(port, "GET /support/larkspire.txt HTTP/1.0\r\nHost: www.larkspire.example\r\n\r\n")
    check(status_line == "HTTP/1.0 200 OK" and body == "version: 4.2.05.000\r\nend-of-rules\r\n", "rules download")
    status_line, body = exchange(port, "GET /support/larkspire.txt.manifest HTTP/1.0\r\n\r\n")
    check(status_line == "HTTP/1.0 200 OK" and body == "larkspire-manifest: 1\r\n", "rules manifest")
    status_line, _ = exchange(port, "GET /support/larkspire.exe HTTP/1.0\r\nHost: www.larkspire.example\r\n\r\n")
    check(status_line.startswith("HTTP/1.0 404 "), "program download without --program: %r" % status_line)
    status_line, _ = exchange(port, "GET /support/larkspire.exe.manifest HTTP/1.0\r\n\r\n")
    check(status_line.startswith("HTTP/1.0 404 "), "program manifest without --program: %r" % status_line)


def main():
    simulator, data_file, fixture_dir = sys.argv[1:4]
    # The data file's own date at the top, later days in subdirectories named after them.
    check_fixtures(simulator, data_file, fixture_dir, None)
    check_extraction(fixture_dir)
    for later in sorted(os.listdir(fixture_dir)):
        if os.path.isdir(os.path.join(fixture_dir, later)):
            check_fixtures(simulator, data_file, os.path.join(fixture_dir, later), later)
            check_extraction(os.path.join(fixture_dir, later))
    check_server(simulator, data_file, fixture_dir)
    if FAILURES:
        print("%d check(s) failed" % len(FAILURES))
        return 1
    print("larkspire-sim smoke test passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
