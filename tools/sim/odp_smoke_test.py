"""Smoke test of larkspire-sim's Open Data Portal, run by ctest.

usage: odp_smoke_test.py SIMULATOR DATA_FILE MAKE_TEST_CA

Makes a test CA with MAKE_TEST_CA, starts the simulator with the service on a second port and
talks to it over HTTPS, trusting only that CA:

1. the key check (401, 403, 403 "not yet active") and the 404 "No matching records" answers;
2. every application's record against the same application's status pages, field by field,
   on the data file's day and on a later one, and which applications the service holds;
3. the narrower paths, the search (GET and POST, paging, fields, sort, the hit cap, bad
   queries), the older field names on request;
4. one request in flight per key (a second one gets 429 and is counted as an overlap), the rate
   cap, injected 429 and 5xx answers, the request counts;
5. lastIngestionDateTime moving with the simulated date: a range filter from the old day
   finds exactly the applications whose records changed;
6. a stop on SIGTERM while an answer is held.
"""

import http.client
import json
import os
import signal
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import urllib.error
import urllib.parse
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import extract_check as ex  # noqa: E402

FAILURES = []
KEY, OTHER_KEY, INACTIVE_KEY = "sim-key-one", "sim-key-two", "sim-key-sleeping"
API = "/api/v1/patent/applications"
NO_MATCH = "No matching records"
FIRST_DAY, LATER_DAY = "2008-06-30", "2009-01-15"


def check(condition, message):
    if not condition:
        FAILURES.append(message)
        print("FAIL: " + message)


class Service:
    """The simulator's two ports: the status site with the control requests, and the service."""

    def __init__(self, site_port, odp_port, ca_file):
        self.site_port, self.odp_port = site_port, odp_port
        self.context = ssl.create_default_context(cafile=ca_file)

    def request(self, path, key=KEY, body=None, params=None):
        """Returns (status, headers, parsed JSON or None, raw text)."""
        url = "https://127.0.0.1:%d%s" % (self.odp_port, path)
        if params:
            url += "?" + urllib.parse.urlencode(params)
        headers = {"X-API-KEY": key} if key else {}
        data = None
        if body is not None:
            data = json.dumps(body).encode()
            headers["Content-Type"] = "application/json"
        req = urllib.request.Request(url, data=data, headers=headers, method="POST" if data else "GET")
        try:
            with urllib.request.urlopen(req, context=self.context, timeout=20) as answer:
                status, answer_headers, raw = answer.status, answer.headers, answer.read()
        except urllib.error.HTTPError as error:
            status, answer_headers, raw = error.code, error.headers, error.read()
        text = raw.decode("utf-8")
        try:
            parsed = json.loads(text)
        except ValueError:
            parsed = None
        return status, answer_headers, parsed, text

    def record(self, digits, key=KEY):
        status, _, body, _ = self.request("%s/%s" % (API, digits), key)
        return body["patentFileWrapperDataBag"][0] if status == 200 else None

    def search(self, params=None, body=None, key=KEY):
        return self.request(API + "/search", key, body=body, params=params)

    def site(self, method, path, form=""):
        with socket.create_connection(("127.0.0.1", self.site_port), timeout=20) as s:
            head = "%s //pair.uspto.gov%s HTTP/1.0\r\nHost: 127.0.0.1\r\n" % (method, path)
            if method == "POST":
                head += "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: %d\r\n" % len(form)
            s.sendall((head + "\r\n" + form).encode("latin-1"))
            data = b""
            while chunk := s.recv(65536):
                data += chunk
        head, _, body = data.decode("latin-1").partition("\r\n\r\n")
        return head.split("\r\n")[0], body

    def control(self, path):
        status_line, body = self.site("GET", path)
        check(status_line.endswith(" 200 OK"), "control %s answered %r" % (path, status_line))
        return body

    def state(self, settings=""):
        body = self.control("/__sim/odp" + ("?" + settings if settings else ""))
        return dict(line.split(" ", 1) for line in body.splitlines())

    def wait_for_state(self, name, value):
        """Polls the state until it shows the value (the service answers on other threads)."""
        for _ in range(400):
            if self.state().get(name) == value:
                return True
            time.sleep(0.025)
        return False


def background(function):
    result = {}
    thread = threading.Thread(target=lambda: result.setdefault("value", function()))
    thread.start()
    return thread, result


# ---- the site's fields beside the service's -------------------------------------------------

def app_num(digits):
    return "%s/%s,%s" % (digits[:2], digits[2:5], digits[5:])


def site_date(iso):
    return "%s-%s-%s" % (iso[5:7], iso[8:10], iso[:4]) if iso else ""


def patent_with_commas(digits):
    return "{:,}".format(int(digits)) if digits else ""


def short_status(full):
    """How a continuity table on the status site shortens another application's status."""
    if full == "Patented Case":
        return "Patented"
    return "Abandoned" if full.startswith("Abandoned") else "Pending"


def fields_from_record(record):
    """The status site's field values, worked out from the service's record."""
    meta = record["applicationMetaData"]
    events = record["eventDataBag"]
    newest = max(events, key=lambda e: e["eventDate"]) if events else {}  # the first of equals
    symbol = meta.get("uspcSymbolText", "")
    main, _, sub = symbol.partition("/")
    return {
        "AppNum": app_num(record["applicationNumberText"]),
        "FilingDate": meta.get("filingDate", ""),
        "IssueDate": meta.get("grantDate", ""),
        "DocketNumber": meta.get("docketNumber", ""),
        "Examiner": meta.get("examinerNameText", ""),
        "ArtUnit": meta.get("groupArtUnitNumber", ""),
        "PubNum": meta.get("earliestPublicationNumber", ""),
        "PubDate": meta.get("earliestPublicationDate", ""),
        "ConfirmNum": str(meta.get("applicationConfirmationNumber", "")),
        "PatNum": patent_with_commas(meta.get("patentNumber", "")),
        "Class": main + ("/%s.%s" % (sub[:3], sub[3:]) if sub else ""),
        "Status": meta.get("applicationStatusDescriptionText", ""),
        "CustNum": str(meta.get("customerNumber", "")),
        "LastHistoryDate": newest.get("eventDate", ""),
        "LastHistoryText": newest.get("eventDescriptionText", ""),
        "PTA": "yes" if "patentTermAdjustmentData" in record else "",
        "Foreign": "| ".join("%s , %s , %s" % (f["ipOfficeName"], f["applicationNumberText"], site_date(f["filingDate"]))
                             for f in record["foreignPriorityBag"]),
    }


def continuity_cells(value):
    """(number digits, filed, status, patent) of each row of a continuity field."""
    if not value or value.startswith("No "):
        return []
    rows = []
    for row in value.split("| "):
        # An empty last cell leaves the row ending in " ,".
        cells = [c.strip() for c in (row + " ").split(" , ")] + ["", "", "", "", ""]
        number = cells[1]
        rows.append((number.replace("/", "").replace(",", "") if len(number) == 10 else number,
                     cells[2], cells[3], cells[4]))
    return rows


def continuity_from_bag(bag, side):
    return [(item[side + "ApplicationNumberText"], site_date(item.get(side + "ApplicationFilingDate", "")),
             short_status(item[side + "ApplicationStatusDescriptionText"])
             if side + "ApplicationStatusCode" in item else item.get(side + "ApplicationStatusDescriptionText", ""),
             patent_with_commas(item.get(side + "PatentNumber", "")))
            for item in bag]


def site_fields(service, digits):
    _, status = service.site("GET", "/cgi-bin/final/cusnum.pl?ApplicationNumber=" + digits)
    if ex.NOT_FOUND["AppNum"] in ex.collapse_space(ex.normalize_page(status)):
        return None
    _, foreign = service.site("POST", "/cgi-bin/final/foreignpriority.pl", "ApplicationNumber=" + digits)
    _, continuity = service.site("POST", "/cgi-bin/final/continuity.pl", "ApplicationNumber=" + digits)
    return ex.read_entry_pages(status, foreign, continuity)


def check_records_match_site(service, all_digits, day):
    held = {}
    for digits in all_digits:
        site = site_fields(service, digits)
        record = service.record(digits)
        published = site is not None and (site["PubNum"] or site["PatNum"])
        check((record is not None) == bool(published),
              "%s on %s: the service %s it, the site shows %r" % (digits, day, "holds" if record else "lacks", site))
        if record is None or site is None:
            continue
        held[digits] = record
        for field, value in fields_from_record(record).items():
            check(site[field] == value, "%s on %s %s: site %r, service %r" % (digits, day, field, site[field], value))
        for field, bag, side in (("ParentContinuity", "parentContinuityBag", "parent"),
                                 ("ChildContinuity", "childContinuityBag", "child")):
            want = continuity_cells(site[field])
            got = continuity_from_bag(record[bag], side)
            check(want == got, "%s on %s %s: site %r, service %r" % (digits, day, field, want, got))
    return held


def check_value_types(records):
    meta = [r["applicationMetaData"] for r in records.values()]
    confirmations = {type(m["applicationConfirmationNumber"]) for m in meta}
    check(confirmations == {int, str}, "confirmation numbers come as %r, not as both numbers and strings" % confirmations)
    check(all(isinstance(m["customerNumber"], int) for m in meta), "a customer number is not a number")
    check(all(isinstance(m["groupArtUnitNumber"], str) for m in meta), "an art unit is not a string")
    check(all(m["patentNumber"].isdigit() for m in meta if "patentNumber" in m), "a patent number is not plain digits")
    check(all(len(m["filingDate"]) == 10 and m["filingDate"][4] == "-" for m in meta), "a filing date is not yyyy-mm-dd")


def dates_in(value):
    if isinstance(value, dict):
        return [d for v in value.values() for d in dates_in(v)]
    if isinstance(value, list):
        return [d for v in value for d in dates_in(v)]
    return [value] if isinstance(value, str) and len(value) == 10 and value[4] == value[7] == "-" else []


def check_stamps(records, day):
    """A record's lastIngestionDateTime is no earlier than anything it carries, no later than the day."""
    for digits, record in records.items():
        stamp = record["lastIngestionDateTime"]
        check(len(stamp) == 19 and stamp[10] == "T", "%s: lastIngestionDateTime %r" % (digits, stamp))
        check(max(dates_in(record)) <= stamp[:10] <= day, "%s on %s: stamp %s, newest date %s"
              % (digits, day, stamp, max(dates_in(record))))


# ---- the checks --------------------------------------------------------------------------------

def check_keys_and_not_found(service):
    for key, status, detail in ((None, 401, "X-API-KEY"), ("no-such-key", 403, None),
                                (INACTIVE_KEY, 403, "not yet active"), (KEY, 200, None), (OTHER_KEY, 200, None)):
        got, _, body, _ = service.request(API + "/10123456", key)
        check(got == status, "key %r: %d, expected %d" % (key, got, status))
        if detail:
            check(detail in body.get("detailedMessage", ""), "key %r: body %r lacks %r" % (key, body, detail))
    for path in (API + "/10999999", API + "/12345001/meta-data"):
        status, _, body, text = service.request(path)
        check(status == 404 and NO_MATCH in text and body["code"] == "404", "%s: %d %r" % (path, status, text))
    status, _, _, text = service.search({"q": "applicationMetaData.customerNumber:45678"})
    check(status == 404 and NO_MATCH in text, "a search without hits: %d %r" % (status, text))
    status, _, _, text = service.request("/api/v1/patent/nothing-here")
    check(status == 404 and NO_MATCH not in text, "an unknown path: %d %r" % (status, text))
    status, _, _, _ = service.request(API + "/10%2F123%2C456")
    check(status == 400, "an application number that is not digits: %d" % status)


def check_narrow_paths(service, record):
    digits = record["applicationNumberText"]
    for path, members in (("meta-data", ["applicationMetaData"]), ("transactions", ["eventDataBag"]),
                          ("continuity", ["parentContinuityBag", "childContinuityBag"]),
                          ("foreign-priority", ["foreignPriorityBag"]),
                          ("adjustment", ["patentTermAdjustmentData"]),
                          ("attorney", ["recordAttorney", "correspondenceAddressBag"])):
        status, _, body, _ = service.request("%s/%s/%s" % (API, digits, path))
        item = body["patentFileWrapperDataBag"][0] if status == 200 else {}
        want = {"applicationNumberText": digits, **{m: record[m] for m in members if m in record}}
        check(status == 200 and item == want, "/%s: %d %r" % (path, status, item))


def search_all(service, query, limit, fields):
    """Pages through a GET search; returns (counts seen, numbers in order, items)."""
    counts, items, offset = set(), [], 0
    while True:
        status, _, body, _ = service.search({"q": query, "offset": offset, "limit": limit, "fields": ",".join(fields)})
        if status != 200:
            check(False, "search page at %d: %d" % (offset, status))
            break
        counts.add(body["count"])
        page = body["patentFileWrapperDataBag"]
        check(len(page) <= limit, "a page of %d with limit %d" % (len(page), limit))
        items += page
        offset += limit
        if offset >= body["count"]:
            break
    return counts, [i["applicationNumberText"] for i in items], items


def check_search(service, records):
    by_customer = sorted(d for d, r in records.items() if r["applicationMetaData"]["customerNumber"] in (23456, 34567))
    check(len(by_customer) >= 4, "too few applications for the paging check: %r" % by_customer)
    query = "applicationMetaData.customerNumber:(23456 OR 34567)"
    fields = ["applicationNumberText", "lastIngestionDateTime"]
    counts, numbers, items = search_all(service, query, 2, fields)
    check(counts == {len(by_customer)} and numbers == by_customer, "paged search: counts %r, %r" % (counts, numbers))
    check(all(set(i) == set(fields) for i in items), "fields did not limit the items: %r" % items[:1])
    check(all(i["lastIngestionDateTime"] == records[i["applicationNumberText"]]["lastIngestionDateTime"] for i in items),
          "a search's lastIngestionDateTime differs from the record's")

    # The same through POST, with a nested field, sorted by filing date, newest first.
    body = {"q": query, "fields": ["applicationNumberText", "applicationMetaData.filingDate"],
            "pagination": {"offset": 0, "limit": 100}, "sort": [{"field": "applicationMetaData.filingDate", "order": "desc"}]}
    status, _, answer, _ = service.search(body=body)
    dates = [i["applicationMetaData"]["filingDate"] for i in answer["patentFileWrapperDataBag"]] if status == 200 else []
    check(status == 200 and answer["count"] == len(by_customer) and dates == sorted(dates, reverse=True)
          and all(set(i["applicationMetaData"]) == {"filingDate"} for i in answer["patentFileWrapperDataBag"]),
          "POST search: %d %r" % (status, answer))

    # The forms the client resolves patent and publication numbers with.
    patented = next(r for r in records.values() if "patentNumber" in r["applicationMetaData"])
    published = next(r for r in records.values() if "earliestPublicationNumber" in r["applicationMetaData"])
    publication = published["applicationMetaData"]["earliestPublicationNumber"]
    for q, want in (("applicationMetaData.patentNumber:" + patented["applicationMetaData"]["patentNumber"], patented),
                    ('applicationMetaData.earliestPublicationNumber:"%s"' % publication, published),
                    ("applicationMetaData.earliestPublicationNumber:" + publication.replace(" ", "").replace("-", ""), published),
                    ("applicationNumberText:(10999999 OR %s)" % published["applicationNumberText"], published)):
        status, _, answer, _ = service.search({"q": q, "fields": "applicationNumberText"})
        got = [i["applicationNumberText"] for i in answer["patentFileWrapperDataBag"]] if status == 200 else status
        check(got == [want["applicationNumberText"]], "q=%s found %r" % (q, got))

    # The hit cap: pages reaching past it are cut, pages starting past it refused; count is all.
    service.state("search-cap=3")
    status, _, answer, _ = service.search({"q": query, "offset": 2, "limit": 5})
    check(status == 200 and answer["count"] == len(by_customer) and len(answer["patentFileWrapperDataBag"]) == 1,
          "a page across the cap: %d %r" % (status, answer and answer.get("count")))
    status, _, _, _ = service.search({"q": query, "offset": 3})
    check(status == 400, "a page past the cap: %d" % status)
    service.state("search-cap=10000")

    for params, body in (({"q": "free text"}, None), ({"q": "applicationNumberText:(1 AND 2)"}, None),
                         ({"q": "x:1", "limit": "-1"}, None), (None, {"q": 5}),
                         (None, {"rangeFilters": {"field": "filingDate"}}), (None, {"pagination": {"offset": "a"}})):
        status, _, answer, _ = service.search(params, body)
        check(status == 400 and answer["code"] == "400", "bad search %r %r: %d" % (params, body, status))


def check_old_names(service):
    state = service.state("names=old")
    check(state["names"] == "old", "names after names=old: %r" % state["names"])
    status, _, body, text = service.request(API + "/10123456")
    check(status == 200 and "patentBag" in body and "transactionContentBag" in body["patentBag"][0]
          and "patentFileWrapperDataBag" not in text and "eventDataBag" not in text, "older names: %r" % text[:200])
    status, _, body, _ = service.search({"q": "applicationNumberText:10123456"})
    check(status == 200 and "patentBag" in body, "a search under the older names: %r" % body)
    service.state("names=current")
    status, _, body, _ = service.request(API + "/10123456")
    check("patentFileWrapperDataBag" in body and "eventDataBag" in body["patentFileWrapperDataBag"][0],
          "current names did not come back")


def check_one_at_a_time(service):
    # A client that reads each answer before its next request never overlaps, however quickly
    # it sends them.
    before = service.state()
    statuses = {service.request(API + "/10123456")[0] for _ in range(30)}
    statuses |= {service.search({"q": "applicationNumberText:10123456"})[0] for _ in range(30)}
    check(statuses == {200} and service.state()["overlaps"] == before["overlaps"],
          "back-to-back requests of one key: %r, overlaps %s" % (statuses, service.state()["overlaps"]))
    service.state("hold=1")
    held, result = background(lambda: service.request(API + "/10123456"))
    check(service.wait_for_state("held", "1"), "the first request was not held")
    status, _, _, _ = service.request(API + "/10987654")
    check(status == 429, "a second request of the same key while one is in flight: %d" % status)
    status, _, _, _ = service.request(API + "/10987654", OTHER_KEY)
    check(status == 200, "another key was refused while the first key was in flight: %d" % status)
    state = service.state()
    check(int(state["overlaps"]) == int(before["overlaps"]) + 1, "overlaps %s, before %s" % (state["overlaps"], before["overlaps"]))
    check(state["in-flight"] == "1", "in-flight while held: %s" % state["in-flight"])
    service.state("release=1")
    held.join(20)
    check(result.get("value", (0,))[0] == 200, "the held request: %r" % (result.get("value", (None,))[0],))
    check(service.wait_for_state("in-flight", "0"), "a key stayed in flight after its answer")
    status, _, _, _ = service.request(API + "/10987654")
    check(status == 200, "the key after its turn ended: %d" % status)


def check_rate_and_faults(service):
    before = int(service.state("rate=1")["rate-limited"])
    statuses = [service.request(API + "/10123456")[0] for _ in range(3)]
    check(429 in statuses, "three requests under a cap of one a second: %r" % statuses)
    state = service.state("rate=0")
    check(int(state["rate-limited"]) > before, "rate-limited did not count")

    service.control("/__sim/fault?mode=429&page=odp&count=1&retry-after=7")
    status, headers, body, _ = service.request(API + "/10123456")
    check(status == 429 and headers.get("Retry-After") == "7" and body["code"] == "429",
          "injected 429: %d %r" % (status, headers.get("Retry-After")))
    check(service.request(API + "/10123456")[0] == 200, "the count=1 429 did not wear off")

    service.control("/__sim/fault?mode=503&page=odp-search&every=2")
    statuses = [service.search({"q": "applicationNumberText:10123456"})[0] for _ in range(4)]
    check(statuses == [200, 503, 200, 503], "every second search 503: %r" % statuses)
    check(service.request(API + "/10123456")[0] == 200, "a search fault hit an application request")
    service.control("/__sim/fault?mode=none")

    service.control("/__sim/fault?mode=500&count=1")
    check(service.request(API + "/10123456")[0] == 200, "a fault without page hit the service")
    status_line, _ = service.site("GET", "/cgi-bin/final/cusnum.pl?ApplicationNumber=10123456")
    check(" 500 " in status_line, "the fault without page missed the site: %r" % status_line)

    service.control("/__sim/fault?mode=truncate&page=odp-application&count=1")
    status, _, body, text = service.request(API + "/10123456")
    check(status == 200 and body is None and text.startswith("{"), "a truncated answer still parses")
    service.control("/__sim/fault?mode=none")


def check_counts(service):
    service.state("reset=1")
    for digits in ("10123456", "10987654", "10999999"):
        service.request("%s/%s" % (API, digits))
    service.request(API + "/10123456/transactions")
    service.search({"q": "applicationNumberText:10123456"})
    service.request(API + "/10123456", None)
    state = service.state()
    want = {"requests": "6", "requests-application": "4", "requests-transactions": "1", "requests-search": "1",
            "requests-meta-data": "0", "answers-200": "4", "answers-404": "1", "answers-401": "1", "overlaps": "0"}
    check({k: state.get(k) for k in want} == want, "counts %r" % state)


def check_ingestion_moves(service, first_records, all_digits):
    status, _, _, text = service.search(body={"rangeFilters": [{"field": "lastIngestionDateTime", "valueFrom": "2008-07-01"}]})
    check(status == 404 and NO_MATCH in text, "a change after the simulated day: %d" % status)
    service.control("/__sim/date?set=" + LATER_DAY)
    later = {d: r for d in all_digits if (r := service.record(d)) is not None}

    def without_stamp(record):
        return {k: v for k, v in record.items() if k != "lastIngestionDateTime"}

    changed = sorted(d for d, r in later.items() if d not in first_records or without_stamp(r) != without_stamp(first_records[d]))
    check(changed and len(changed) < len(later), "the later day changes some applications but not all: %r" % changed)
    for digits, record in later.items():
        stamp = record["lastIngestionDateTime"]
        if digits in changed:
            check("2008-07-01" <= stamp[:10] <= LATER_DAY, "%s changed but its stamp is %s" % (digits, stamp))
        else:
            check(stamp == first_records[digits]["lastIngestionDateTime"], "%s did not change but its stamp moved" % digits)
    body = {"q": "applicationNumberText:(%s)" % " OR ".join(all_digits),
            "rangeFilters": [{"field": "lastIngestionDateTime", "valueFrom": "2008-07-01", "valueTo": LATER_DAY}],
            "fields": ["applicationNumberText", "lastIngestionDateTime"], "pagination": {"offset": 0, "limit": 100}}
    status, _, answer, _ = service.search(body=body)
    found = sorted(i["applicationNumberText"] for i in answer["patentFileWrapperDataBag"]) if status == 200 else status
    check(found == changed, "changed since the first day: search %r, records %r" % (found, changed))
    check_stamps(later, LATER_DAY)
    # The same through GET, and a bound with a time; a valueTo of a date takes in that whole day.
    status, _, answer, _ = service.search({"q": "*", "rangeFilters": "lastIngestionDateTime 2008-07-01:" + LATER_DAY,
                                           "fields": "applicationNumberText", "limit": 100})
    got = sorted(i["applicationNumberText"] for i in answer["patentFileWrapperDataBag"]) if status == 200 else status
    check(got == changed, "GET rangeFilters: %r" % got)
    newest = max(r["lastIngestionDateTime"] for r in later.values())
    status, _, answer, _ = service.search(body={"rangeFilters": [{"field": "lastIngestionDateTime", "valueFrom": newest,
                                                                   "valueTo": newest[:10]}]})
    check(status == 200 and all(i["lastIngestionDateTime"] == newest for i in answer["patentFileWrapperDataBag"]),
          "a date-time bound: %d" % status)
    return later


def check_tls_is_required(service):
    untrusting = ssl.create_default_context()
    try:
        with socket.create_connection(("127.0.0.1", service.odp_port), timeout=10) as raw:
            with untrusting.wrap_socket(raw, server_hostname="127.0.0.1"):
                check(False, "a client that does not trust the test CA got through")
    except ssl.SSLError:
        pass
    conn = http.client.HTTPConnection("127.0.0.1", service.odp_port, timeout=10)
    try:
        conn.request("GET", API + "/10123456", headers={"X-API-KEY": KEY})
        conn.getresponse()
        check(False, "the service answered plain HTTP")
    except (http.client.HTTPException, OSError):
        pass
    finally:
        conn.close()


def check_stop_while_held(simulator, data_file, ca_dir):
    process, service = start(simulator, data_file, ca_dir)
    try:
        service.state("hold=1")
        held, _ = background(lambda: service.request(API + "/10123456"))
        check(service.wait_for_state("held", "1"), "no request held before SIGTERM")
        process.send_signal(signal.SIGTERM)
        check(process.wait(timeout=20) == 0, "exit code after SIGTERM with a held answer")
        held.join(20)
    finally:
        if process.poll() is None:
            process.kill()


def start(simulator, data_file, ca_dir, *extra):
    process = subprocess.Popen([simulator, "--port", "0", "--data", data_file, "--date", FIRST_DAY,
                                "--odp-port", "0", "--tls-cert", os.path.join(ca_dir, "server.pem"),
                                "--tls-key", os.path.join(ca_dir, "server.key"), "--odp-key", KEY,
                                "--odp-key", OTHER_KEY, "--odp-inactive-key", INACTIVE_KEY] + list(extra),
                               stdout=subprocess.PIPE, text=True)
    first, second = process.stdout.readline().strip(), process.stdout.readline().strip()
    check(first.startswith("listening on 127.0.0.1:"), "first line %r" % first)
    check(second.startswith("odp listening on 127.0.0.1:"), "second line %r" % second)
    return process, Service(int(first.rsplit(":", 1)[1]), int(second.rsplit(":", 1)[1]), os.path.join(ca_dir, "ca.pem"))


def application_numbers(data_file):
    with open(data_file, encoding="latin-1") as f:
        return sorted(line.split()[1].strip("]").replace("/", "").replace(",", "")
                      for line in f if line.startswith("[application "))


def main():
    simulator, data_file, make_ca = sys.argv[1:4]
    all_digits = application_numbers(data_file)
    with tempfile.TemporaryDirectory() as ca_dir:
        subprocess.run(["bash", make_ca, ca_dir], check=True)
        process, service = start(simulator, data_file, ca_dir)
        try:
            check_tls_is_required(service)
            check_keys_and_not_found(service)
            first = check_records_match_site(service, all_digits, FIRST_DAY)
            check(0 < len(first) < len(all_digits), "the service should hold some applications but not all: %r" % sorted(first))
            check_value_types(first)
            check_stamps(first, FIRST_DAY)
            check_narrow_paths(service, first["10123456"])
            check_search(service, first)
            check_old_names(service)
            check_one_at_a_time(service)
            check_rate_and_faults(service)
            check_counts(service)
            later = check_ingestion_moves(service, first, all_digits)
            check(set(later) == set(check_records_match_site(service, all_digits, LATER_DAY)),
                  "the later day's records differ between two reads")
        finally:
            process.send_signal(signal.SIGTERM)
            try:
                check(process.wait(timeout=20) == 0, "exit code after SIGTERM")
            except subprocess.TimeoutExpired:
                process.kill()
                check(False, "the simulator did not stop on SIGTERM")
        check_stop_while_held(simulator, data_file, ca_dir)
    if FAILURES:
        print("%d check(s) failed" % len(FAILURES))
        return 1
    print("larkspire-sim Open Data Portal smoke test passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
