#!/usr/bin/env bash
# Profiles one qxrtf render of the invoice workload and prints the top of the
# profile (self cost, then inclusive cost).
#   bench/workload/profile.sh [N] [json|csv|sqlite] [qxrtf binary]
# With hardware counters (perf stat -e instructions works) perf samples the
# instructions; otherwise callgrind counts them exactly (slow: use N=10000).
# PROFILER=perf-clock samples the CPU clock with perf instead, which works
# without hardware counters and suits large N.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
n=${1:-10000}
kind=${2:-json}
qxrtf=${3:-$repo/build/qxrtf}
out=$here/out/profile
mkdir -p "$out"
python3 "$here/gen_data.py" "$n" "$here/data"
data=$here/data/items-$n
case $kind in
    json) source=(--json "ITEMS=$data.json") ;;
    csv) source=(--csv "ITEMS=$data.csv") ;;
    sqlite) source=(--db "$data.sqlite" --dataset "ITEMS=SELECT NAME, QTY, PRICE FROM items ORDER BY id") ;;
    *) echo "profile.sh: unknown data kind $kind" >&2; exit 2 ;;
esac
cmd=("$qxrtf" render "$here/invoice.rtf" -o "$out/report.rtf" "${source[@]}")
top=30

perf_top() {
    perf record -e "$1" -g -o "$out/perf.data" "${cmd[@]}" 2>/dev/null
    echo "== perf $1, self"
    perf report -i "$out/perf.data" --stdio --no-children --percent-limit 0.5 2>/dev/null |
        grep -E '^ +[0-9]' | head -n $top
    echo "== perf $1, inclusive"
    perf report -i "$out/perf.data" --stdio --children --percent-limit 3 2>/dev/null |
        grep -E '^ +[0-9]' | head -n $top
}
if [ "${PROFILER:-}" = perf-clock ]; then
    perf_top cpu-clock
    exit 0
fi
if perf stat -e instructions true 2>&1 | grep -q '[0-9] *instructions'; then
    perf_top instructions
    exit 0
fi

valgrind --tool=callgrind --callgrind-out-file="$out/callgrind.out" "${cmd[@]}" 2>&1 |
    grep 'refs:' || true
# One line per function (callgrind splits a function by the files its
# inlined code came from), paths cut to the project's own.
tidy() {
    python3 -c '
import re, sys
seen = set()
for line in sys.stdin.readlines():  # all of it: no broken pipe upstream
    m = re.match(r"\s*([0-9,]+) \(\s*([0-9.]+)%\)\s+(.*)$", line)
    if not m:
        continue
    where, _, func = m.group(3).partition(":")
    func = re.sub(r" \[[^]]*\]$", "", func)
    func = func.replace("std::__cxx11::basic_string<char, std::char_traits<char>, std::allocator<char> >", "std::string")
    func = re.sub(r"nlohmann::json_abi_v[0-9_]+::", "nlohmann::", func)
    func = re.sub(r"basic_json<[^()]*?>", "basic_json<>", func)
    if func in seen or "below main" in func or "libc_start" in where or "ld-linux" in func:
        continue
    seen.add(func)
    print("%13s %6s%%  %s" % (m.group(1), m.group(2), func[:140]))
    if len(seen) >= int(sys.argv[1]):
        break
' "$top"
}
echo "== callgrind, self (instructions)"
callgrind_annotate --inclusive=no "$out/callgrind.out" 2>/dev/null | grep -v 'PROGRAM TOTALS' | tidy
echo "== callgrind, inclusive (instructions)"
callgrind_annotate --inclusive=yes "$out/callgrind.out" 2>/dev/null | grep -v 'PROGRAM TOTALS' | tidy
