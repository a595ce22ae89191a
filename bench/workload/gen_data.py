#!/usr/bin/env python3
"""Writes the invoice workload's items for N records as JSON, CSV and SQLite.

The same N always gives the same bytes: the items come from a fixed-seed
generator of our own (not the `random` module, whose streams may change
between Python versions). Every seventh name carries characters that an RTF
writer must escape (backslash, braces, accented letters, a euro sign and an
en dash, all within code page 1252), so the outputs prove their escaping.

Usage: gen_data.py N OUTDIR   -> OUTDIR/items-N.{json,csv,sqlite}
"""
import csv
import json
import os
import sqlite3
import sys

ADJECTIVES = ["Stainless", "Galvanised", "Brass", "Nylon", "Copper", "Oak",
              "Heavy-duty", "Compact", "Threaded", "Insulated", "Polished",
              "Tempered"]
NOUNS = ["bolt", "washer", "hinge", "bracket", "clamp", "spring", "cable",
         "valve", "gasket", "pulley", "rivet", "sleeve", "flange"]
ESCAPED = ["Caf\u00e9 cr\u00e8me {set}", "Back\\slash tool", "Br\u00fcckenlager \u2013 50 \u20ac",
           "Curly {brace} kit", "Se\u00f1al \\ {mixed}"]


class Lcg:
    """64-bit linear congruential generator (Knuth's MMIX constants)."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFFFFFFFFFF

    def below(self, n):
        self.state = (self.state * 6364136223846793005 + 1442695040888963407) & 0xFFFFFFFFFFFFFFFF
        return (self.state >> 33) % n


def items(n):
    rng = Lcg(20240117)
    for i in range(1, n + 1):
        if i % 7 == 0:
            name = "%s #%06d" % (ESCAPED[rng.below(len(ESCAPED))], i)
        else:
            name = "%s %s #%06d" % (ADJECTIVES[rng.below(len(ADJECTIVES))],
                                    NOUNS[rng.below(len(NOUNS))], i)
        qty = 1 + rng.below(999)
        cents = 1 + rng.below(999999)  # 0.01 .. 9999.99
        yield name, qty, cents


def price_text(cents):
    return "%d.%02d" % divmod(cents, 100)


def write_json(n, path):
    # Written by hand, one object per line: json.dumps of a float would print
    # 12.5 for 12.50, which is fine, but keeping the price text identical in
    # every format makes the formats easy to compare.
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write("[\n")
        for i, (name, qty, cents) in enumerate(items(n)):
            sep = "," if i + 1 < n else ""
            f.write('{"NAME":%s,"QTY":%d,"PRICE":%s}%s\n'
                    % (json.dumps(name, ensure_ascii=False), qty, price_text(cents), sep))
        f.write("]\n")


def write_csv(n, path):
    with open(path, "w", encoding="utf-8", newline="") as f:
        w = csv.writer(f, lineterminator="\n")
        w.writerow(["NAME", "QTY", "PRICE"])
        for name, qty, cents in items(n):
            w.writerow([name, qty, price_text(cents)])


def write_sqlite(n, path):
    if os.path.exists(path):
        os.remove(path)
    db = sqlite3.connect(path)
    db.execute("CREATE TABLE items (id INTEGER PRIMARY KEY, NAME TEXT NOT NULL,"
               " QTY INTEGER NOT NULL, PRICE REAL NOT NULL)")
    db.executemany("INSERT INTO items (NAME, QTY, PRICE) VALUES (?, ?, ?)",
                   ((name, qty, float(price_text(cents))) for name, qty, cents in items(n)))
    db.commit()
    db.close()


def main():
    n, outdir = int(sys.argv[1]), sys.argv[2]
    os.makedirs(outdir, exist_ok=True)
    base = os.path.join(outdir, "items-%d" % n)
    for ext, writer in (("json", write_json), ("csv", write_csv), ("sqlite", write_sqlite)):
        path = "%s.%s" % (base, ext)
        if not os.path.exists(path):
            tmp = path + ".tmp"
            writer(n, tmp)
            os.replace(tmp, path)


if __name__ == "__main__":
    main()
