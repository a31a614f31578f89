#!/usr/bin/python3
"""Field extraction side by side: Larkspire's pattern matcher against a typical lxml scraper.

Both read the same page files (status, foreign-priority and continuity pages written by the
simulator, with file histories long enough to make the status pages about 40 KB), pull the same
fields from each page the same number of times, and report pages per second. Ours normalises
and matches with the built-in rules (larkspire_extract_pages); the scraper parses each page into
an lxml tree and reads the fields with XPath, as scrapers of this site are usually written.

    compare.py BUILD_DIR [--rounds N] [--pages DIR]
"""

import argparse
import datetime
import pathlib
import re
import subprocess
import sys
import tempfile
import time

from lxml import html

APPLICATIONS = 20
EVENTS_PER_APPLICATION = 360

STATUS_LABELS = {
    "AppNum": "Application Number:",
    "FilingDate": "Filing or 371(c) Date:",
    "IssueDate": "Issue Date of Patent:",
    "DocketNumber": "Attorney Docket Number:",
    "Examiner": "Examiner Name:",
    "ArtUnit": "Group Art Unit:",
    "PubNum": "Earliest Publication No:",
    "PubDate": "Earliest Publication Date:",
    "ConfirmNum": "Confirmation Number:",
    "PatNum": "Patent Number:",
    "Class": "Class/ Sub-Class:",
    "Location": "Location:",
    "Status": "Status:",
    "CustNum": "Customer Number:",
}
DATE_FIELDS = {"FilingDate", "IssueDate", "PubDate"}
SITE_DATE = re.compile(r"(\d\d)-(\d\d)-(\d{4})")


def write_sim_data(path):
    """Applications with long file histories, a foreign priority and a parent each."""
    lines = ["[site]", "date: 2008-06-30", "", "[customer 23456]", "name: Calverin & Hale LLP", ""]
    start = datetime.date(1998, 1, 5)
    for i in range(APPLICATIONS):
        lines += [
            f"[application 10/{100 + i:03d},456]",
            "customer: 23456",
            "filed: 1998-01-05",
            f"confirmation: {4000 + i}",
            f"docket: CH-{i:04d}-US",
            "title: METHOD FOR DETECTING SINGLE NUCLEOTIDE POLYMORPHISMS",
            "class: 435/006.000",
            "art-unit: 1998-02-01 1634",
            "examiner: 1998-03-01 KIM, JUNE H",
            "status: 2007-05-12 Non Final Action Mailed",
            "location: 2007-06-20 ELECTRONIC",
            "publication: 1999-11-25 US 1999-0234567 A1",
            "foreign: GERMANY | 102 21 456.7 | 1997-05-14",
            "parent: Provisional | 60/905,123 | 1997-03-20 | Expired",
        ]
        for e in range(EVENTS_PER_APPLICATION):
            day = start + datetime.timedelta(days=10 * e + i)
            lines.append(f"event: {day.isoformat()} Information Disclosure Statement considered")
        lines.append("")
    path.write_text("\n".join(lines) + "\n")


def make_pages(build_dir, directory):
    data = directory / "sim-data.txt"
    write_sim_data(data)
    subprocess.run([str(build_dir / "tools" / "larkspire-sim"), "--data", str(data),
                    "--write-pages", str(directory)], check=True, stdout=subprocess.DEVNULL)
    return directory


def page_files(directory):
    files = []
    for prefix in ("status-", "foreign-", "continuity-"):
        files += sorted(p for p in directory.glob(prefix + "*.html"))
    return files


def text_of(element):
    return " ".join(element.text_content().replace("\u00a0", " ").split())


def iso_date(text):
    m = SITE_DATE.search(text)
    return f"{m.group(3)}-{m.group(1)}-{m.group(2)}" if m else ""


def table_rows(doc, heading):
    """The data rows of the table whose first row is the heading: cells joined with " , "."""
    rows = doc.xpath(f'//table[tr[1]/td[normalize-space()="{heading}"]]/tr[position() > 2]')
    return "| ".join(" , ".join(text_of(td) for td in row.xpath("td")) for row in rows)


def scrape(kind, page_bytes):
    doc = html.fromstring(page_bytes)
    fields = {}
    if kind == "status":
        # One pass over the cells: a label cell's value is the cell after it.
        cells = doc.xpath("//td")
        labels = {text_of(td): i for i, td in enumerate(cells[:-1])}
        for key, label in STATUS_LABELS.items():
            value = text_of(cells[labels[label] + 1]) if label in labels else ""
            value = "" if value == "-" else value
            fields[key] = iso_date(value) if key in DATE_FIELDS else value
        first = doc.xpath('//table[tr[1]/td[normalize-space()="File History"]]/tr[3]/td')
        if len(first) >= 2:
            fields["LastHistory"] = iso_date(text_of(first[0])) + " - " + text_of(first[1])
    elif kind == "foreign":
        fields["Foreign"] = table_rows(doc, "Foreign Priority")
    else:
        fields["ParentContinuity"] = table_rows(doc, "Parent Continuity Data")
        fields["ChildContinuity"] = table_rows(doc, "Child Continuity Data")
    return fields


def run_scraper(files, rounds):
    pages = [(p.name.split("-", 1)[0], p.read_bytes()) for p in files]
    values = 0
    start = time.perf_counter()
    for _ in range(rounds):
        for kind, page_bytes in pages:
            values += sum(1 for v in scrape(kind, page_bytes).values() if v)
    seconds = time.perf_counter() - start
    return len(pages) * rounds / seconds, values // rounds


def run_ours(build_dir, files, rounds):
    out = subprocess.run([str(build_dir / "bench" / "larkspire_extract_pages"), str(rounds)] +
                         [str(f) for f in files], check=True, capture_output=True, text=True)
    m = re.search(r"non-empty values: (\d+).*pages/s: (\d+)", out.stdout)
    if not m:
        sys.exit("unexpected output: " + out.stdout)
    return float(m.group(2)), int(m.group(1)) // rounds


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build_dir", type=pathlib.Path)
    parser.add_argument("--rounds", type=int, default=20)
    parser.add_argument("--pages", type=pathlib.Path, help="page files instead of generated ones")
    args = parser.parse_args()

    with tempfile.TemporaryDirectory() as tmp:
        directory = args.pages or make_pages(args.build_dir, pathlib.Path(tmp))
        files = page_files(directory)
        if not files:
            sys.exit(f"no status, foreign or continuity pages in {directory}")
        size = sum(f.stat().st_size for f in files) / len(files)
        print(f"{len(files)} pages, {size / 1024:.1f} KB on average, {args.rounds} rounds")
        ours, our_values = run_ours(args.build_dir, files, args.rounds)
        theirs, their_values = run_scraper(files, args.rounds)
    print(f"larkspire (normalise + patterns): {ours:10.0f} pages/s ({our_values} values per round)")
    print(f"lxml scraper (parse + XPath):     {theirs:10.0f} pages/s ({their_values} values per round)")
    print(f"ratio: {ours / theirs:.1f}")


if __name__ == "__main__":
    main()
