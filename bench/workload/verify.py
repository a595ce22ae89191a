#!/usr/bin/env python3
"""Checks a finished invoice report against the items it was made from.

Reads the report back on its own (an RTF reader written here, or the table
of a DOCX's word/document.xml) and compares every data row of the table
(name, quantity, price, line total) and the grand total paragraph with what
the CSV file of the items says they must be. Exits 1 with the first
differences when the report is wrong.

Usage: verify.py rtf|docx REPORT ITEMS.csv
"""
import csv
import re
import sys
import zipfile
from xml.etree import ElementTree

HEADER = ["Item", "Quantity", "Price", "Line total"]

# Destinations whose text is not document text.
SKIPPED_DESTINATIONS = {
    "fonttbl", "colortbl", "stylesheet", "info", "pict", "header", "footer",
    "headerl", "headerr", "headerf", "footerl", "footerr", "footerf",
    "footnote", "listtable", "listoverridetable", "rsidtbl", "generator",
    "pgdsctbl", "latentstyles", "themedata", "colorschememapping",
    "datastore", "xmlnstbl", "fldinst", "userprops", "ftnsep", "ftnsepc",
    "aftnsep", "aftnsepc", "pnseclvl", "pntext", "listtext", "bkmkstart",
    "bkmkend",
}
SYMBOLS = {"emdash": "\u2014", "endash": "\u2013", "lquote": "\u2018",
           "rquote": "\u2019", "ldblquote": "\u201c", "rdblquote": "\u201d",
           "bullet": "\u2022", "tab": "\t", "line": "\n", "emspace": " ",
           "enspace": " "}
TOKEN = re.compile(
    rb"\\([a-zA-Z]+)(-?\d+)? ?|\\'([0-9a-fA-F]{2})|\\([^a-zA-Z])|([{}])|([\r\n]+)|([^\\{}\r\n]+)")


def read_rtf(data):
    """Returns (table rows as lists of cell texts, paragraphs outside tables)."""
    codepage = "cp1252"
    rows, paragraphs, cells = [], [], []
    text = []
    stack = []  # (skip, uc) saved at each '{'
    skip, uc, pending_skip = False, 1, 0
    destination_next = False
    for m in TOKEN.finditer(data):
        word, arg, hexbyte, sym, brace, newline, plain = m.groups()
        if brace == b"{":
            stack.append((skip, uc))
            destination_next = True
            continue
        if brace == b"}":
            skip, uc = stack.pop() if stack else (False, 1)
            destination_next = False
            continue
        first_in_group, destination_next = destination_next, False
        if newline:
            continue
        if word is not None:
            w = word.decode()
            if first_in_group and w in SKIPPED_DESTINATIONS:
                skip = True
            if skip:
                continue
            if w == "ansicpg" and arg:
                codepage = "cp%d" % int(arg)
            elif w == "uc":
                uc = int(arg or 1)
            elif w == "u":
                code = int(arg)
                text.append(chr(code + 65536 if code < 0 else code))
                pending_skip = uc
            elif w == "par":
                paragraphs.append("".join(text))
                text = []
            elif w == "cell":
                cells.append("".join(text))
                text = []
            elif w == "row":
                rows.append(cells)
                cells = []
            elif w in SYMBOLS:
                text.append(SYMBOLS[w])
            continue
        if sym is not None:
            if sym == b"*" and first_in_group:
                skip = True
            if skip:
                continue
            if sym in (b"\\", b"{", b"}"):
                if pending_skip:
                    pending_skip -= 1
                else:
                    text.append(sym.decode())
            elif sym == b"~":
                text.append("\u00a0")
            continue
        if skip:
            continue
        if hexbyte is not None:
            if pending_skip:
                pending_skip -= 1
            else:
                text.append(bytes([int(hexbyte, 16)]).decode(codepage))
            continue
        # Bytes past ASCII written as they are stand for characters of the
        # document's code page, the same as their \'hh spelling.
        chunk = plain.decode(codepage, errors="replace")
        if pending_skip:
            dropped = min(pending_skip, len(chunk))
            chunk, pending_skip = chunk[dropped:], pending_skip - dropped
        text.append(chunk)
    if text:
        paragraphs.append("".join(text))
    return rows, paragraphs


def read_docx(path):
    ns = {"w": "http://schemas.openxmlformats.org/wordprocessingml/2006/main"}
    with zipfile.ZipFile(path) as z:
        root = ElementTree.fromstring(z.read("word/document.xml"))
    body = root.find("w:body", ns)
    rows, paragraphs = [], []
    for child in body:
        tag = child.tag.split("}")[1]
        if tag == "tbl":
            for tr in child.findall("w:tr", ns):
                rows.append(["".join(t.text or "" for t in tc.iter("{%s}t" % ns["w"]))
                             for tc in tr.findall("w:tc", ns)])
        elif tag == "p":
            paragraphs.append("".join(t.text or "" for t in child.iter("{%s}t" % ns["w"])))
    return rows, paragraphs


def cents_text(cents):
    sign = "-" if cents < 0 else ""
    return "%s%d.%02d" % ((sign,) + divmod(abs(cents), 100))


def expected(items_csv):
    rows, exact, floating = [], 0, 0.0
    with open(items_csv, encoding="utf-8", newline="") as f:
        reader = csv.reader(f)
        next(reader)
        for name, qty, price in reader:
            whole, frac = price.split(".")
            cents = int(whole) * 100 + int(frac)
            line = int(qty) * cents
            exact += line
            floating += int(qty) * float(price)
            rows.append([name, qty, cents_text(cents), cents_text(line)])
    # An engine that adds in binary floating point may differ from the exact
    # sum in the last cent once the sum is large; both spellings are right.
    return rows, {cents_text(exact), "%.2f" % floating}


def main():
    kind, report, items_csv = sys.argv[1:4]
    if kind == "rtf":
        with open(report, "rb") as f:
            rows, paragraphs = read_rtf(f.read())
    else:
        rows, paragraphs = read_docx(report)
    want_rows, want_totals = expected(items_csv)
    problems = []
    got = [[c.strip() for c in r] for r in rows]
    if not got or got[0] != HEADER:
        problems.append("header row: %r" % (got[:1],))
    data = got[1:]
    if len(data) != len(want_rows):
        problems.append("%d data rows, expected %d" % (len(data), len(want_rows)))
    for i, (g, w) in enumerate(zip(data, want_rows)):
        if g != w:
            problems.append("row %d: got %r, expected %r" % (i + 1, g, w))
            if len(problems) > 10:
                break
    totals = [p.strip() for p in paragraphs if p.strip().startswith("Grand total:")]
    got_total = totals[0][len("Grand total:"):].strip() if totals else None
    if len(totals) != 1 or got_total not in want_totals:
        problems.append("grand total: got %r, expected one of %r" % (totals, sorted(want_totals)))
    if problems:
        print("%s: WRONG\n  %s" % (report, "\n  ".join(problems)))
        sys.exit(1)
    print("%s: %d rows and the grand total %s are right" % (report, len(data), got_total))


if __name__ == "__main__":
    main()
