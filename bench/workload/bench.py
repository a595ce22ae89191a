#!/usr/bin/env python3
"""Runs the invoice workload through qxrtf and its peers, checks every report
against its data, and prints a table of whole-process times and peak memory.

Started by run.sh, which builds what is missing first; see bench/README.md.
"""
import argparse
import datetime
import os
import platform
import shutil
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
BENCH = os.path.dirname(HERE)
REPO = os.path.dirname(BENCH)
PEERS = os.path.join(BENCH, "peers")
TEMPLATE = os.path.join(HERE, "invoice.rtf")
SQL = "ITEMS=SELECT NAME, QTY, PRICE FROM items ORDER BY id"
TIME = "/usr/bin/time"


class Tool:
    """One way of producing the report: a command line and how to check it."""

    def __init__(self, name, report_kind, extension, command):
        self.name, self.report_kind, self.extension = name, report_kind, extension
        self.command = command  # (data paths, output path) -> argv

    def output(self, outdir, n):
        return os.path.join(outdir, "%s-%d.%s" % (self.name, n, self.extension))


def qxrtf_supports_db(qxrtf):
    out = subprocess.run([qxrtf, "render", "--help"], capture_output=True, text=True)
    return "--db" in out.stdout and "--dataset" in out.stdout


def make_tools(qxrtf, outdir, with_sqlite):
    hbs = os.path.join(outdir, "invoice.hbs.rtf")
    docx = os.path.join(outdir, "invoice.docx")
    node = lambda script: ["node", os.path.join(PEERS, script)]
    tools = [
        Tool("qxrtf-json", "rtf", "rtf",
             lambda d, out: [qxrtf, "render", TEMPLATE, "-o", out, "--json", "ITEMS=" + d["json"]]),
        Tool("qxrtf-csv", "rtf", "rtf",
             lambda d, out: [qxrtf, "render", TEMPLATE, "-o", out, "--csv", "ITEMS=" + d["csv"]]),
    ]
    if with_sqlite:
        tools.append(Tool("qxrtf-sqlite", "rtf", "rtf",
                          lambda d, out: [qxrtf, "render", TEMPLATE, "-o", out,
                                          "--db", d["sqlite"], "--dataset", SQL]))
    tools += [
        Tool("handlebars", "rtf", "rtf",
             lambda d, out: node("handlebars_invoice.js") + [hbs, d["json"], out]),
        Tool("docxtemplater", "docx", "docx",
             lambda d, out: node("docxtemplater_invoice.js") + [docx, d["json"], out]),
        # The floor: a process that only writes as many bytes as qxrtf's report.
        Tool("write-floor", None, "bin",
             lambda d, out: ["dd", "if=/dev/zero", "of=" + out, "bs=1M",
                             "count=%d" % d["floor_bytes"], "iflag=count_bytes", "status=none"]),
    ]
    return tools


def run_once(argv, timeout):
    """Runs argv under /usr/bin/time; returns (wall seconds, max RSS KiB, error or None)."""
    stats = os.path.join(os.environ.get("TMPDIR", "/tmp"), "qxrtf-bench-time-%d" % os.getpid())
    start = time.perf_counter()
    try:
        proc = subprocess.run([TIME, "-v", "-o", stats] + argv, capture_output=True,
                              timeout=timeout)
    except subprocess.TimeoutExpired:
        return None, None, "timed out after %d s" % timeout
    wall = time.perf_counter() - start
    rss = None
    with open(stats) as f:
        for line in f:
            if "Maximum resident set size" in line:
                rss = int(line.split(":")[1])
    os.remove(stats)
    if proc.returncode != 0:
        lines = (proc.stderr or proc.stdout).decode(errors="replace").strip().splitlines()
        why = next((l for l in reversed(lines) if "Error" in l or "error" in l),
                   lines[-1] if lines else "exit %d" % proc.returncode)
        return wall, rss, why.strip()[:100]
    return wall, rss, None


def verify(tool, report, data):
    if tool.report_kind is None:
        return os.path.getsize(report) == data["floor_bytes"], "size checked"
    proc = subprocess.run([sys.executable, os.path.join(HERE, "verify.py"), tool.report_kind,
                           report, data["csv"]], capture_output=True, text=True)
    return proc.returncode == 0, (proc.stdout + proc.stderr).strip()


def measure_size(n, tools, data, outdir, runs, timeout, keep, budget):
    """Warm-up run of every tool, then `runs` rounds with the tools alternating.

    A tool whose warm-up shows that `runs` runs would take longer than
    `budget` seconds runs only as often as fits (at least once), so that the
    slow peers at large N do not hold the whole run up for an hour."""
    results = {}
    for tool in tools:
        if tool.name == "write-floor":  # qxrtf-json runs first and sets the size
            data.setdefault("floor_bytes", 1)
        out = tool.output(outdir, n)
        if os.path.exists(out):
            os.remove(out)
        wall, rss, err = run_once(tool.command(data, out), timeout)
        results[tool.name] = {"walls": [], "rss": [], "error": err, "bytes": None,
                              "runs": max(1, min(runs, int(budget / wall))) if wall else runs}
        if err is None and tool.name == "qxrtf-json":
            data["floor_bytes"] = os.path.getsize(out)
        print("  warm-up %-14s %s" % (tool.name, err or "%.3f s" % wall), flush=True)
    for r in range(runs):
        for tool in tools:
            res = results[tool.name]
            if res["error"] or len(res["walls"]) >= res["runs"]:
                continue
            out = tool.output(outdir, n)
            if os.path.exists(out):
                os.remove(out)
            wall, rss, err = run_once(tool.command(data, out), timeout)
            if err:
                res["error"] = err
                continue
            res["walls"].append(wall)
            res["rss"].append(rss)
        print("  round %d/%d done" % (r + 1, runs), flush=True)
    for tool in tools:
        res = results[tool.name]
        out = tool.output(outdir, n)
        if res["error"] or not os.path.exists(out):
            res["verified"] = False
            continue
        res["bytes"] = os.path.getsize(out)
        ok, message = verify(tool, out, data)
        res["verified"] = ok
        if not ok:
            res["error"] = "WRONG OUTPUT"
        print("  verify %-14s %s" % (tool.name, message.splitlines()[0] if message else ""),
              flush=True)
        if res["walls"]:  # shown now, so that a run cut short still leaves its figures
            print("    median %.3f s of %d, peak RSS %.1f MB" % (
                statistics.median(res["walls"]), len(res["walls"]), max(res["rss"]) / 1024),
                flush=True)
        if not ok:
            print("    " + "\n    ".join(message.splitlines()[1:6]), flush=True)
        if not keep:
            os.remove(out)
    return results


def fmt_time(s):
    return "%.3f" % s if s < 10 else "%.1f" % s


def table(all_results, sizes, tools):
    lines = ["| N | tool | wall s (median) | min..max s | runs | peak RSS MB | output bytes |"
             " time / qxrtf-json | RSS / qxrtf-json |",
             "|---:|---|---:|---:|---:|---:|---:|---:|---:|"]
    for n in sizes:
        res = all_results[n]
        ref = res.get("qxrtf-json", {})
        ref_wall = statistics.median(ref["walls"]) if ref.get("walls") else None
        ref_rss = max(ref["rss"]) if ref.get("rss") else None
        for tool in tools:
            r = res.get(tool.name)
            if r is None:
                continue
            if not r["walls"] or r["error"]:
                lines.append("| %s | %s | failed: %s | | | %s | | | |"
                             % ("{:,}".format(n), tool.name, r["error"] or "no runs",
                                "%.0f" % (max(r["rss"]) / 1024) if r["rss"] else ""))
                continue
            wall = statistics.median(r["walls"])
            rss = max(r["rss"]) / 1024
            lines.append("| %s | %s | %s | %s..%s | %d | %.1f | %s | %s | %s |" % (
                "{:,}".format(n), tool.name, fmt_time(wall), fmt_time(min(r["walls"])),
                fmt_time(max(r["walls"])), len(r["walls"]), rss, "{:,}".format(r["bytes"]),
                "%.2f" % (wall / ref_wall) if ref_wall else "",
                "%.2f" % (rss * 1024 / ref_rss) if ref_rss else ""))
    return "\n".join(lines)


def goals(all_results):
    """The targets the engine is tuned towards, as measured in this run."""
    lines = []
    med = lambda n, t: (statistics.median(all_results[n][t]["walls"])
                        if t in all_results.get(n, {}) and all_results[n][t]["walls"]
                        and not all_results[n][t]["error"] else None)
    rss = lambda n, t: (max(all_results[n][t]["rss"]) / 1024
                        if t in all_results.get(n, {}) and all_results[n][t]["rss"]
                        and not all_results[n][t]["error"] else None)
    n = 100000
    for q in ("qxrtf-json", "qxrtf-csv", "qxrtf-sqlite"):
        mine = med(n, q)
        if mine is None:
            continue
        for peer, limit in (("handlebars", 0.5), ("docxtemplater", 0.05), ("write-floor", 8.0)):
            other = med(n, peer)
            if other is not None:
                ratio = mine / other
                lines.append("- N=100,000 %s / %s = %.3f (goal <= %g): %s"
                             % (q, peer, ratio, limit, "met" if ratio <= limit else "NOT met"))
    for q in ("qxrtf-sqlite", "qxrtf-csv"):
        big, small = rss(1000000, q), rss(10000, q)
        if big is not None:
            lines.append("- N=1,000,000 %s peak RSS %.1f MB (goal <= 50): %s"
                         % (q, big, "met" if big <= 50 else "NOT met"))
            if small is not None:
                lines.append("- N=1,000,000 / N=10,000 %s peak RSS = %.2f (goal <= 1.5): %s"
                             % (q, big / small, "met" if big / small <= 1.5 else "NOT met"))
    return "\n".join(lines)


def machine_note(qxrtf):
    cpu = next((l.split(":", 1)[1].strip() for l in open("/proc/cpuinfo")
                if l.startswith("model name")), platform.processor())
    mem = next((l.split(":", 1)[1].strip() for l in open("/proc/meminfo")
                if l.startswith("MemTotal")), "?")
    commit = subprocess.run(["git", "-C", REPO, "describe", "--always", "--dirty"],
                            capture_output=True, text=True).stdout.strip()
    node = subprocess.run(["node", "--version"], capture_output=True, text=True).stdout.strip()
    return ("%s; nproc %d; CPU %s; memory %s; Linux %s; node %s; qxrtf %s (%s)"
            % (datetime.datetime.now().strftime("%Y-%m-%d %H:%M"), os.cpu_count(), cpu, mem,
               platform.release(), node, commit, os.path.relpath(qxrtf, REPO)))


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("--sizes", default="1000,10000,100000,1000000")
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--tools", default="", help="comma-separated subset of the tools")
    ap.add_argument("--qxrtf", default=os.path.join(REPO, "build", "qxrtf"))
    ap.add_argument("--timeout", type=int, default=900, help="seconds allowed for one run")
    ap.add_argument("--budget", type=float, default=600,
                    help="seconds of timed runs allowed per tool and N (at least one run)")
    ap.add_argument("--keep", action="store_true", help="keep the reports in workload/out")
    ap.add_argument("--table-out", default=os.path.join(HERE, "out", "results.md"))
    args = ap.parse_args()
    sizes = [int(s) for s in args.sizes.split(",") if s]
    datadir, outdir = os.path.join(HERE, "data"), os.path.join(HERE, "out")
    os.makedirs(outdir, exist_ok=True)

    with_sqlite = qxrtf_supports_db(args.qxrtf)
    notes = []
    if not with_sqlite:
        notes.append("qxrtf-sqlite skipped: this qxrtf has no --db/--dataset options yet.")
    subprocess.run(["node", os.path.join(PEERS, "make_templates.js"), TEMPLATE, outdir],
                   check=True)
    tools = make_tools(args.qxrtf, outdir, with_sqlite)
    if args.tools:
        wanted = set(args.tools.split(","))
        tools = [t for t in tools if t.name in wanted or t.name == "qxrtf-json"]
    load_before = os.getloadavg()
    all_results = {}
    for n in sizes:
        print("N = {:,}: generating data".format(n), flush=True)
        subprocess.run([sys.executable, os.path.join(HERE, "gen_data.py"), str(n), datadir],
                       check=True)
        data = {ext: os.path.join(datadir, "items-%d.%s" % (n, ext))
                for ext in ("json", "csv", "sqlite")}
        all_results[n] = measure_size(n, tools, data, outdir, args.runs, args.timeout, args.keep,
                                      args.budget)
    load_after = os.getloadavg()

    report = ["Machine: " + machine_note(args.qxrtf),
              "Load average (1 min) %.1f at the start, %.1f at the end%s."
              % (load_before[0], load_after[0],
                 " (other work was running on the machine)"
                 if max(load_before[0], load_after[0]) > 1.5 else ""),
              "Whole-process wall time, median of %d runs after one warm-up run (fewer where "
              "the runs column says so: a tool gets at most %d s of timed runs per N), the "
              "tools taking turns; peak RSS is the largest of those runs."
              % (args.runs, args.budget),
              ""] + ["Note: " + n for n in notes] + ["", table(all_results, sizes, tools), "",
                                                     goals(all_results)]
    text = "\n".join(report).rstrip() + "\n"
    print("\n" + text)
    with open(args.table_out, "w") as f:
        f.write(text)
    failed = [(n, t) for n in sizes for t, r in all_results[n].items()
              if r["error"] == "WRONG OUTPUT"]
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
