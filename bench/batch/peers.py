#!/usr/bin/env python3
"""A batch of one-page letters (one document per customer, its order lines
in a table) made by `qxrtf batch` from SQLite, CSV and JSON and by two
peers run as application loops over the same customers: Handlebars over
the letter's RTF text and docxtemplater filling a DOCX. Median of RUNS
runs taken in turn (each way once per round), on the disk and on a tmpfs;
every run checked: all documents there, each with its own customer.

qxrtf flushes every document to the disk before naming it (in groups,
docs/batch.md); the peers write their files and never flush them.

    peers.py [--counts 1000,10000] [--runs 5] [--qxrtf PATH] [--disk DIR] [--tmpfs DIR]

Started by peers.sh, which installs the peers first (bench/peers).
"""
import argparse
import csv
import json
import os
import shutil
import sqlite3
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PEERS = os.path.join(os.path.dirname(HERE), "peers")
LETTER = os.path.join(HERE, "letter.rtf")
TIME = "/usr/bin/time"


def export(db_path, outdir):
    """The customers and lines of the letters' database as CSV files and as
    one JSON array of customers with their lines nested."""
    db = sqlite3.connect(db_path)
    db.row_factory = sqlite3.Row
    customers = [dict(r) for r in db.execute("SELECT * FROM customers ORDER BY id")]
    lines = [dict(r) for r in db.execute(
        "SELECT customer_id, line, item, qty, price, qty * price AS amount FROM lines "
        "ORDER BY customer_id, line")]
    for name, rows in (("customers", customers), ("lines", lines)):
        with open(os.path.join(outdir, name + ".csv"), "w", newline="", encoding="utf-8") as f:
            w = csv.DictWriter(f, fieldnames=list(rows[0].keys()))
            w.writeheader()
            w.writerows(rows)
    by_customer = {}
    for line in lines:
        by_customer.setdefault(line["customer_id"], []).append(
            {k: line[k] for k in ("item", "qty", "price", "amount")})
    for c in customers:
        c["lines"] = by_customer.get(c["id"], [])
    with open(os.path.join(outdir, "customers.json"), "w", encoding="utf-8") as f:
        json.dump(customers, f, ensure_ascii=False)


def ways(qxrtf, data, templates, jobs):
    batch = [qxrtf, "batch", LETTER, "--master", "C", "--name", "C.NUMBER", "--jobs", str(jobs)]
    node = lambda script: ["node", os.path.join(PEERS, script)]
    return {
        "qxrtf batch, SQLite": ("rtf", lambda out: batch + [
            "--out-dir", out, "--db", data["db"], "--dataset", "C=customers", "--dataset",
            "O=SELECT item, qty, price, qty * price AS amount FROM lines "
            "WHERE customer_id = :C_ID ORDER BY line", "--detail", "O=C"]),
        "qxrtf batch, CSV": ("rtf", lambda out: batch + [
            "--out-dir", out, "--csv", "C=" + data["customers.csv"], "--csv",
            "O=" + data["lines.csv"], "--detail", "O=C:CUSTOMER_ID=ID"]),
        "qxrtf batch, JSON": ("rtf", lambda out: batch + [
            "--out-dir", out, "--json", "C=" + data["customers.json"], "--detail", "O=C.lines"]),
        "Handlebars loop": ("rtf", lambda out: node("handlebars_letters.js") + [
            templates["hbs"], data["customers.json"], out]),
        "docxtemplater loop": ("docx", lambda out: node("docxtemplater_letters.js") + [
            templates["docx"], data["customers.json"], out]),
    }


def run_once(argv, out):
    """Wall seconds, CPU seconds and peak kilobytes of one run into `out`."""
    shutil.rmtree(out, ignore_errors=True)
    stats = out + ".time"
    start = time.monotonic()
    done = subprocess.run([TIME, "-o", stats, "-f", "%U %S %M"] + argv,
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    wall = time.monotonic() - start
    if done.returncode != 0:
        sys.exit("peers.py: %s failed:\n%s" % (argv[:3], done.stderr[-2000:]))
    user, system, peak = open(stats).read().split()[-3:]
    os.remove(stats)
    return wall, float(user) + float(system), int(peak)


def check(out, extension, count):
    """Every customer's document there, a few holding their own customer's number."""
    names = [n for n in os.listdir(out) if n.endswith("." + extension)]
    if len(names) != count:
        sys.exit("peers.py: %s has %d documents, not %d" % (out, len(names), count))
    for i in sorted({1, count // 2, count}):
        number = "C%06d" % i
        path = os.path.join(out, number + "." + extension)
        if extension == "docx":
            text = subprocess.run(["unzip", "-p", path, "word/document.xml"],
                                  capture_output=True, text=True).stdout
        else:
            text = open(path, encoding="latin-1").read()
        if "Customer number" not in text or number not in text:
            sys.exit("peers.py: %s is not its customer's letter" % path)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--counts", default="1000,10000")
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--qxrtf", default=os.path.join(HERE, "..", "..", "build", "qxrtf"))
    ap.add_argument("--disk", default=tempfile.gettempdir())
    ap.add_argument("--tmpfs", default="/dev/shm")
    args = ap.parse_args()
    jobs = os.cpu_count() or 1
    print("cores: %d (qxrtf --jobs %d), runs: %d, load average before: %s" %
          (jobs, jobs, args.runs, " ".join(open("/proc/loadavg").read().split()[:3])))
    for place in (args.disk, args.tmpfs):
        if not os.path.isdir(place):
            continue
        fstype = subprocess.run(["df", "--output=fstype", place], capture_output=True,
                                text=True).stdout.split()[-1]
        for count in (int(c) for c in args.counts.split(",")):
            work = tempfile.mkdtemp(prefix="qxrtf-peers.", dir=place)
            try:
                data = {"db": os.path.join(work, "letters.db")}
                subprocess.run([sys.executable, os.path.join(HERE, "gen_data.py"), str(count),
                                data["db"]], check=True)
                export(data["db"], work)
                for name in ("customers.csv", "lines.csv", "customers.json"):
                    data[name] = os.path.join(work, name)
                subprocess.run(["node", os.path.join(PEERS, "letter_templates.js"), LETTER, work],
                               check=True)
                templates = {"hbs": os.path.join(work, "letter.hbs.rtf"),
                             "docx": os.path.join(work, "letter.docx")}
                table = ways(args.qxrtf, data, templates, jobs)
                results = {name: [] for name in table}
                for _ in range(args.runs):
                    for name, (extension, argv) in table.items():
                        out = os.path.join(work, "out")
                        results[name].append(run_once(argv(out), out))
                        check(out, extension, count)
                print("\n%d letters on %s (%s):\n" % (count, place, fstype))
                print("| way | median s | documents/s | CPU ms/document | peak MB |")
                print("|---|---:|---:|---:|---:|")
                for name, runs in results.items():
                    wall = statistics.median(r[0] for r in runs)
                    cpu = statistics.median(r[1] for r in runs)
                    peak = max(r[2] for r in runs) / 1024
                    print("| %s | %.2f | %.0f | %.3f | %.0f |" %
                          (name, wall, count / wall, 1000 * cpu / count, peak))
            finally:
                shutil.rmtree(work, ignore_errors=True)
    print("\nload average after: %s" % " ".join(open("/proc/loadavg").read().split()[:3]))


if __name__ == "__main__":
    main()
