#!/usr/bin/python3
"""Open Data Portal answers mapped side by side: Larkspire (simdjson and the rules file's
mapping) against Python's json module with the same mapping written out in Python, as a client
of the service is usually written.

Both read the same files: the committed answers of tests/data/odp, each grown to a realistic
size (a file history of --events events, as long-running applications carry), written to a
temporary directory. Larkspire's figure comes from larkspire_bench (BM_OdpMapApplication, told
the directory through LARKSPIRE_ODP_DOCS); both report megabytes of JSON per second and the
number of non-empty fields per round, which must agree.

    odp_python.py BUILD_DIR [--events N] [--rounds N]
"""

import argparse
import datetime
import json
import os
import pathlib
import re
import subprocess
import sys
import tempfile
import time

ROOT = pathlib.Path(__file__).resolve().parents[2]
FIXTURES = ROOT / "tests" / "data" / "odp"

# Fields in the order the program writes them; Location and PTE are not served.
FIELDS = ["AppNum", "FilingDate", "IssueDate", "DocketNumber", "Examiner", "ArtUnit", "PubNum",
          "PubDate", "ConfirmNum", "PatNum", "Class", "Location", "Status", "CustNum",
          "LastHistoryDate", "LastHistoryText", "PTA", "PTE", "Foreign", "ParentContinuity",
          "ChildContinuity"]
CHILD_RELATION = {
    "is a continuation of": "Continuation of this application",
    "is a division of": "Division of this application",
    "is a continuation in part of": "Continuation in part of this application",
    "claims priority from provisional application":
        "Claims priority from this provisional application",
    "is a national stage entry of": "National Stage Entry of this application",
}
PUBLICATION = re.compile(r"^([A-Z]{2})?(\d{4})(\d{7})([A-Z]\d?)$")
DATE = re.compile(r"^(\d{4})-(\d\d)-(\d\d)(?:[T ].*)?$")


def grow(document, events):
    """The answer with a file history of the given length, the original events newest."""
    record = document["patentFileWrapperDataBag"][0]
    history = list(record.get("eventDataBag") or [])
    day = datetime.date(2001, 1, 2)
    while len(history) < events:
        history.append({"eventCode": "IDSC",
                        "eventDescriptionText": "Information Disclosure Statement considered",
                        "eventDate": (day + datetime.timedelta(days=len(history))).isoformat()})
    record["eventDataBag"] = history
    return document


def write_documents(directory, events):
    files = []
    for fixture in sorted(FIXTURES.glob("application-*.json")):
        target = directory / fixture.name
        target.write_text(json.dumps(grow(json.loads(fixture.read_text()), events), indent=2))
        files.append(target)
    return files


def clean(text):
    text = " ".join(text.split())
    return "" if text == "-" else text


def text(value):
    if value is None:
        return ""
    if not isinstance(value, str):
        raise ValueError(f"text expected, got {value!r}")
    return value.encode("cp1252", "replace").decode("cp1252")


def code(value):
    if value is None:
        return ""
    if isinstance(value, bool) or not isinstance(value, (str, int)):
        raise ValueError(f"text or a whole number expected, got {value!r}")
    return str(value)


def date(value, table=False):
    if value is None or not value.strip():
        return ""
    m = DATE.match(value)
    if not m:
        raise ValueError(f"not a date: {value!r}")
    datetime.date(int(m[1]), int(m[2]), int(m[3]))
    return f"{m[2]}-{m[3]}-{m[1]}" if table else f"{m[1]}-{m[2]}-{m[3]}"


def patent(value):
    value = code(value).strip()
    m = re.match(r"^([A-Z]{0,2})(\d+)$", value.replace(",", ""))
    if not m:
        return value
    return m[1] + f"{int(m[2]):,}"


def publication(value):
    value = text(value).strip()
    m = PUBLICATION.match(re.sub(r"[ /-]", "", value))
    if not m:
        return value
    return (m[1] + " " if m[1] else "") + f"{m[2]}-{m[3]} {m[4]}"


def application(value):
    value = code(value).strip()
    if re.fullmatch(r"\d{8}", value):
        return f"{value[:2]}/{value[2:5]},{value[5:]}"
    m = re.fullmatch(r"PCT([A-Z]{2})(\d{4})(\d{6})|PCT([A-Z]{2})(\d{2})(\d{5,6})", value)
    if m:
        country, year, serial = (m[1], m[2], m[3]) if m[1] else (m[4], m[5], m[6])
        return f"PCT/{country}{year}/{serial}"
    return value


def uspc(value):
    value = text(value).strip()
    main, _, sub = value.partition("/")
    if not main or not sub.isdigit():
        return value
    if len(sub) == 6:
        return f"{main}/{sub[:3]}.{sub[3:]}"
    return f"{main}/{int(sub):03d}.000" if len(sub) <= 3 else value


def short_status(value):
    value = text(value)
    lower = value.lower()
    if lower == "patented case" or lower.startswith("patent expired"):
        return "Patented"
    if lower.startswith("abandoned"):
        return "Abandoned"
    return "Expired" if lower.endswith("expired") else "Pending"


def relation(row):
    return row.get("claimParentageTypeCodeDescriptionText") or row.get(
        "claimParentageTypeCodeDescription") or ""


def rows(items, layout):
    return clean("| ".join(layout(item) for item in items or []))


def map_application(raw):
    document = json.loads(raw)
    if not document.get("count", 1):
        return None
    record = document["patentFileWrapperDataBag"][0]
    meta = record.get("applicationMetaData") or {}
    newest = None
    for event in record.get("eventDataBag") or []:
        when = event.get("eventDate")
        if when and (newest is None or when > newest["eventDate"]):
            newest = event
    newest = newest or {}
    values = {
        "AppNum": application(record["applicationNumberText"]),
        "FilingDate": date(meta.get("filingDate")),
        "IssueDate": date(meta.get("grantDate")),
        "DocketNumber": text(meta.get("docketNumber")),
        "Examiner": text(meta.get("examinerNameText")),
        "ArtUnit": code(meta.get("groupArtUnitNumber")),
        "PubNum": publication(meta.get("earliestPublicationNumber")),
        "PubDate": date(meta.get("earliestPublicationDate")),
        "ConfirmNum": code(meta.get("applicationConfirmationNumber")),
        "PatNum": patent(meta.get("patentNumber")),
        "Class": uspc(meta.get("uspcSymbolText") or meta.get("class/subclass")),
        "Status": text(meta.get("applicationStatusDescriptionText")),
        "CustNum": code(meta.get("customerNumber")),
        "LastHistoryDate": date(newest.get("eventDate")),
        "LastHistoryText": text(newest.get("eventDescriptionText")),
        "PTA": "yes" if record.get("patentTermAdjustmentData") else "",
        "Foreign": rows(record.get("foreignPriorityBag"), lambda r: " , ".join([
            text(r.get("ipOfficeName")), code(r.get("applicationNumberText")),
            date(r.get("filingDate"), table=True)])),
        "ParentContinuity": rows(record.get("parentContinuityBag"), lambda r: " , ".join([
            "This application " + text(relation(r)), application(r.get("parentApplicationNumberText")),
            date(r.get("parentApplicationFilingDate"), table=True),
            short_status(r.get("parentApplicationStatusDescriptionText")),
            patent(r.get("parentPatentNumber"))])),
        "ChildContinuity": rows(record.get("childContinuityBag"), lambda r: " , ".join([
            CHILD_RELATION.get(relation(r).lower(), text(relation(r))),
            application(r.get("childApplicationNumberText")),
            date(r.get("childApplicationFilingDate"), table=True),
            short_status(r.get("childApplicationStatusDescriptionText")),
            patent(r.get("childPatentNumber"))])),
    }
    return [clean(values.get(field, "")) for field in FIELDS]


def run_python(files, rounds):
    documents = [f.read_bytes() for f in files]
    size = sum(len(d) for d in documents)
    values = 0
    start = time.perf_counter()
    for _ in range(rounds):
        values = 0
        for document in documents:
            values += sum(1 for v in map_application(document) if v)
    seconds = time.perf_counter() - start
    return size * rounds / seconds / 1e6, values


def run_ours(build_dir, directory):
    program = build_dir / "bench" / "larkspire_bench"
    if not program.exists():
        sys.exit(f"{program} is missing: build the target larkspire_bench (LARKSPIRE_BENCH=ON)")
    out = subprocess.run([str(program), "--benchmark_filter=BM_Odp", "--benchmark_format=json"],
                         env=dict(os.environ, LARKSPIRE_ODP_DOCS=str(directory)),
                         check=True, capture_output=True, text=True)
    results = {b["name"]: b for b in json.loads(out.stdout)["benchmarks"]}
    mapped = results["BM_OdpMapApplication"]
    if mapped.get("error_occurred"):
        sys.exit("larkspire_bench: " + mapped.get("error_message", "failed"))
    return (mapped["bytes_per_second"] / 1e6, int(mapped["values"]),
            results["BM_OdpParseOnly"]["bytes_per_second"] / 1e6)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build_dir", type=pathlib.Path)
    parser.add_argument("--events", type=int, default=400)
    parser.add_argument("--rounds", type=int, default=50)
    args = parser.parse_args()

    with tempfile.TemporaryDirectory() as tmp:
        directory = pathlib.Path(tmp)
        files = write_documents(directory, args.events)
        size = sum(f.stat().st_size for f in files) / len(files)
        print(f"{len(files)} answers, {size / 1024:.1f} KB on average ({args.events} events each)")
        ours, our_values, parse_only = run_ours(args.build_dir, directory)
        theirs, their_values = run_python(files, args.rounds)
    print(f"larkspire (simdjson + rules mapping): {ours:9.1f} MB/s ({our_values} values per round;"
          f" parse alone {parse_only:.1f} MB/s)")
    print(f"python3 json module + mapping:        {theirs:9.1f} MB/s ({their_values} values per round)")
    print(f"ratio: {ours / theirs:.1f}")
    if our_values != their_values:
        sys.exit("the two mappings found a different number of values")


if __name__ == "__main__":
    main()
