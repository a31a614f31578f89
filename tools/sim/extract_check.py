"""A small stand-alone reading of simulator pages with the built-in rules' patterns.

It follows the program's page normalisation and pattern matcher closely enough to prove that
every field the simulator prints can be extracted by the built-in patterns, so the fixtures under
tests/data/sim stay usable for the extraction tests. The C++ implementation is the real thing;
this is a test oracle for the simulator's markup only.
"""

import re

CRLF = "\r\n"

# The built-in rules' patterns and marker texts the simulator's pages must satisfy.
FETCH1 = {
    "AppNum": "<td>Application Number:[-]<td>[*]</td>",
    "FilingDate": "<td>Filing or 371(c) Date:[-]<td>[*#mm?dd?yyyy]</td>",
    "IssueDate": "<td>Issue Date of Patent:[-]<td>[*#mm?dd?yyyy]</td>",
    "DocketNumber": "<td>Attorney Docket Number:[-]<td>[*]</td>",
    "Examiner": "<td>Examiner Name:[-]<td>[*]</td>",
    "ArtUnit": "<td>Group Art Unit:[-]<td>[*]</td>",
    "PubNum": "<td>Earliest Publication No:[-]<td>[*]</td>",
    "PubDate": "<td>Earliest Publication Date:[-]<td>[*#mm?dd?yyyy]</td>",
    "ConfirmNum": "<td>Confirmation Number:[-]<td>[*]</td>",
    "PatNum": "<td>Patent Number:[-]<td>[*]</td>",
    "Class": "<td>Class/ Sub-Class:[-]<td>[*]</td>",
    "Location": "<td><a>Location</a>:[-]<td>[*]</td>",
    "Status": "<td>Status:[-]<td>[*]</td>",
    "CustNum": "<td>Customer Number:[-]<td>[*]</td>",
    "LastHistory": "<td>File History</td></tr><tr>[-]<tr>[-]<td>[*1#mm?dd?yyyy]</td>[*2' - ]<td>[*3]</td>",
}
FETCH1_REQUIRED = "Customer Number:"
NOT_FOUND = {
    "AppNum": 'Sorry, the entered Application Number "',
    "PatNum": 'Sorry, the entered Patent Number "',
    "PubNum": 'Sorry, the entered Publication Number "',
}
PTAHOOK = 'value="document.ptahist_form"'
PTEHOOK = 'value="document.ptehist_form"'
FOREIGN = "<td>Foreign Priority</td></tr><tr>[-]<tr>[*#</td></tr>=|#</td>= , ]</td></tr></table>"
FOREIGN_NONE, FOREIGN_REQUIRED = "<h4><font>No Foreign", "Foreign Priority"
PARENT = "<td>Parent Continuity Data</td></tr><tr>[-]<tr>[*#</td></tr>=|#</td>= , ]</td></tr></table>"
CHILD = "<td>Child Continuity Data</td></tr><tr>[-]<tr>[*#</td></tr>=|#</td>= , ]</td></tr></table>"
CONTINUITY_NONE = "Continuity data found for the application number"
CONTINUITY_REQUIRED = "Parent Continuity Data"
COOKIES = "<b>Search by customer number:</b>[-]<select>[-]<td><select>[*#</option>=||#->=|]</select>"
MISSING = "Sorry, there are no applications associated with customer number "
LIST_REQUIRED = "Application No. Descending</strong></font></td></tr>"
COUNT = "Application No. Descending</strong></font></td></tr><tr>[--]<td>[*]:[-]</table></td>"
TABLE = "<td><a>Application[-]<tr>[*#</td></tr>=|#</td>=`]</td></tr></table>"
ERRORS = [
    "Error from client proxy on",
    "detected a security problem while processing a request",
    "Please choose the search method",
    "Unable to connect to the PAIR database. Please try again later.",
]


def split_head(source, separator):
    at = source.find(separator)
    if at < 0:
        return source, ""
    return source[:at], source[at + len(separator):]


def replace_all(text, find, replacement):
    return text.replace(find, replacement) if find else text


def find_text(text, needle):
    at = text.find(needle)
    return at if at >= 0 else text.upper().find(needle.upper())


def contains(text, needle):
    return find_text(text, needle) >= 0


def remove_comments(text):
    pos = 0
    while True:
        start = text.find("<!--", pos)
        if start < 0:
            return text
        end = text.find("-->", start)
        if end < 0:
            return text
        text = text[:start] + text[end + 3:]
        pos = start


def strip_line_starts(text):
    return re.sub(r"(^|[\r\n]+) +", r"\1", text)


def normalize_tags(text):
    for tag in ("<p>", "<form>", "<input>", "<table>", "<td>"):
        text = replace_all(text, tag, CRLF + tag)
    for tag in ("<br>", "<br/>"):
        text = replace_all(text, tag, tag + CRLF)
    return text


def normalize_page(page):
    if CRLF not in page:
        page = page.replace("\n", CRLF)
    page = remove_comments(page)
    for blank in ("&nbsp;", "&#160;", "\xa0", "\t"):
        page = page.replace(blank, " ")
    pos = 0
    while True:
        lt = page.find("<", pos)
        if lt < 0:
            break
        start = lt
        while start > 0 and page[start - 1] in " \r\n":
            start -= 1
        page = page[:start] + page[lt:]
        lt = start
        gt = page.find(">", lt + 1)
        if gt < 0:
            break
        space = page.find(" ", lt, gt)
        if space >= 0:
            end = gt - 1 if page[gt - 1] == "/" else gt
            page = page[:space] + page[end:]
            gt = page.find(">", lt + 1)
        tag = "".join(c.lower() if "A" <= c <= "Z" else c for c in page[lt:gt + 1])
        page = page[:lt] + tag + page[gt + 1:]
        after = gt + 1
        rest = page[after:]
        stripped = rest.lstrip(" ")
        if rest and not stripped:
            break
        page = page[:after] + stripped
        pos = after
    return normalize_tags(strip_line_starts(page))


def plain_text(text):
    text = remove_comments(text)
    text = re.sub(r"<[^>]*>", "", text) if ">" in text else text
    text = strip_line_starts(text.replace("&nbsp;", " "))
    for entity, char in (("&lt;", "<"), ("&gt;", ">"), ("&quot;", '"'), ("&apos;", "'"), ("&amp;", "&")):
        text = text.replace(entity, char)
    return text


def collapse_space(text):
    return " ".join(re.split(r"[ \t\r\n\xa0]+", text.strip(" \t\r\n\xa0"))) if text.strip(" \t\r\n\xa0") else ""


def trim_dash(text):
    text = text.strip(" ")
    return "" if text == "-" else text


def convert_date(text, format_name):
    text = trim_dash(collapse_space(plain_text(text)))
    if not text or format_name.lower() != "mm?dd?yyyy":
        return "????-??-??"
    return text[6:] + "-" + text[0:2] + "-" + text[3:5]


def next_literal(pattern, opening):
    closing = "]" if opening == "[" else "["
    literal = ""
    while True:
        head, pattern = split_head(pattern, opening)
        literal += head
        if not literal:
            return "", pattern
        if pattern[:1] in ("[", "]"):
            literal += pattern[0]
            pattern = pattern[2:]
            continue
        return literal, pattern


def match_pattern(text, pattern, slots, backward=False):
    if backward:
        text, pattern = text[::-1], pattern[::-1]
    opening, closing = ("]", "[") if backward else ("[", "]")
    pos, pending = 0, None
    while True:
        literal, pattern = next_literal(pattern, opening)
        if not literal:
            return pos
        literal = normalize_tags(literal[::-1])[::-1] if backward else normalize_tags(literal)
        at = text.find(literal, pos)
        if at < 0:
            return None
        if pending is not None:
            captured = text[pos:at]
            slots[pending][0] = captured[::-1] if backward else captured
        pos = at + len(literal)
        token, pattern = split_head(pattern, closing)
        if backward:
            token = token[::-1]
        pending = None
        if token.startswith("*"):
            rest = token[1:]
            if rest[:1] in "123456789" and rest:
                number, modifier = int(rest[0]), rest[1:]
            else:
                number, modifier = 1, rest
            slots[number][1] = modifier
            pending = number


def last_literal(tail):
    cut = tail.rfind("]")
    literal = tail[cut + 1:] if cut >= 0 else tail
    return normalize_tags(literal)


def extract_value(page, pattern):
    head, tail = split_head(pattern, "[--]")
    slots = {n: ["", ""] for n in range(1, 10)}
    pos = match_pattern(page, head, slots)
    if pos is None:
        return ""
    end_literal = last_literal(tail)
    end = page.find(end_literal, pos)
    if end < 0:
        return ""
    region = page[pos:end + len(end_literal)]
    if tail and match_pattern(region, tail, slots, backward=True) is None:
        return ""
    value = ""
    for number in range(1, 10):
        captured, modifier = slots[number]
        v = captured
        if modifier.startswith("#"):
            for piece in modifier.split("#"):
                if not piece:
                    continue
                if piece.startswith("'"):
                    v += piece[1:]
                elif piece.startswith("*"):
                    v += captured
                elif "=" not in piece:
                    v = convert_date(captured, piece)
                else:
                    find, replacement = piece.split("=", 1)
                    v = replace_all(v, normalize_tags(find), replacement)
        elif modifier.startswith("'"):
            v += modifier[1:]
        value += v
    return value


def extract_field(page, pattern):
    value = trim_dash(collapse_space(plain_text(extract_value(page, pattern))))
    return "" if value == "????-??-??" else value


def validate_page(page):
    """Which validate error text a normalised page carries (1-based), 0 for none."""
    for number, text in enumerate(ERRORS, 1):
        if contains(page, text):
            return number
    return 0


def read_entry_pages(raw_status, raw_foreign, raw_continuity):
    """The fields the entry fetch reads from an application's three pages."""
    page = normalize_page(raw_status)
    fields = {}
    if not contains(page, FETCH1_REQUIRED):
        raise ValueError("status page is not complete")
    for key, pattern in FETCH1.items():
        fields[key] = extract_field(page, pattern)
    date, _, text = fields.pop("LastHistory").partition(" - ")
    fields["LastHistoryDate"], fields["LastHistoryText"] = date, text
    raw = remove_comments(raw_status)
    fields["PTA"] = "yes" if contains(raw, PTAHOOK) else ""
    fields["PTE"] = "yes" if contains(raw, PTEHOOK) else ""
    foreign = normalize_page(raw_foreign)
    fields["Foreign"] = ""
    if not contains(foreign, FOREIGN_NONE):
        if not contains(foreign, FOREIGN_REQUIRED):
            raise ValueError("foreign priority page is not complete")
        fields["Foreign"] = extract_field(foreign, FOREIGN)
    continuity = normalize_page(raw_continuity)
    fields["ParentContinuity"] = fields["ChildContinuity"] = ""
    if not contains(continuity, CONTINUITY_NONE):
        if not contains(continuity, CONTINUITY_REQUIRED):
            raise ValueError("continuity page is not complete")
        parent = extract_field(continuity, PARENT)
        fields["ParentContinuity"] = parent[2:] if parent.startswith("| ") else parent
        fields["ChildContinuity"] = extract_field(continuity, CHILD)
    return fields


def read_customer_numbers(raw_page):
    value = extract_field(normalize_page(raw_page), COOKIES)
    numbers = []
    while True:
        item, value = split_head(value, "||")
        if not item:
            return numbers
        numbers.append(trim_dash(split_head(item, "|")[0]))


def read_result_count(raw_page):
    page = normalize_page(raw_page)
    if contains(page, MISSING) or not contains(page, LIST_REQUIRED):
        return 0
    digits = re.match(r"\s*[+-]?\d*", extract_field(page, COUNT)).group(0).strip()
    return max(1, int(digits) if digits.lstrip("+-") else 0)


def read_result_rows(raw_page):
    """Each table row with more than four cells, as its first four cells."""
    table = extract_field(normalize_page(raw_page), TABLE)
    rows = []
    while True:
        row, table = split_head(table, "|")
        if not row and not table:
            return rows
        cells = [trim_dash(cell) for cell in row.split("`")]
        while cells and not cells[-1]:
            cells.pop()
        if len(cells) > 4:
            rows.append(cells[:4])
