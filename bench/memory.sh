#!/usr/bin/env bash
# Peak memory of rendering many rows through a one-row table template, from
# an SQLite table, an SQLite query and a CSV file: a run of 10,000 rows
# against one of 1,000,000 (or the counts given). Datasets stream, so the
# large run should stay within 1.5 times the small one and under 50 MB.
#
#   bench/memory.sh [BUILD_DIR] [SMALL_ROWS] [LARGE_ROWS]
#
# Needs the sqlite3 command-line shell and GNU time (/usr/bin/time).
set -euo pipefail
build=${1:-build}
small=${2:-10000}
large=${3:-1000000}
tool="$build/qxrtf"
[ -x "$tool" ] || { echo "no $tool: build first (scripts/build.sh $build)" >&2; exit 2; }
work=$(mktemp -d "${TMPDIR:-/tmp}/qxrtf-memory.XXXXXX")
trap 'rm -rf "$work"' EXIT

# One table row per record: id, name and a formatted amount.
cat >"$work/rows.rtf" <<'RTF'
{\rtf1\ansi{\fonttbl{\f0 Times New Roman;}}
\trowd\cellx2000\cellx5000\cellx8000
\pard\intbl \\SCAN(T)\\\\T.ID\\\cell \\T.NAME\\\cell \\FNUM(T.AMOUNT, 10:2)\\\cell\row
\pard \\ENDSCAN\\\par}
RTF

make_data() {
    local n=$1
    sqlite3 "$work/rows$n.db" "CREATE TABLE t (id INTEGER, name TEXT, amount REAL);
      WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < $n)
      INSERT INTO t SELECT x, 'customer ' || x, x * 0.25 FROM c;"
    awk -v n="$n" 'BEGIN { print "ID,NAME,AMOUNT";
      for (i = 1; i <= n; i++) printf "%d,customer %d,%.2f\n", i, i, i * 0.25 }' >"$work/rows$n.csv"
}

# Peak resident memory in kB of one render.
peak_kb() {
    /usr/bin/time -v "$tool" render "$work/rows.rtf" -o "$work/out.rtf" "$@" 2>"$work/time.txt" ||
        { cat "$work/time.txt" >&2; exit 1; }
    rm -f "$work/out.rtf"
    awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }' "$work/time.txt"
}

make_data "$small"
make_data "$large"
status=0
printf '%-14s %12s %12s %7s\n' source "$small rows" "$large rows" ratio
for source in table query csv; do
    declare -A kb=()
    for n in "$small" "$large"; do
        case $source in
            table) kb[$n]=$(peak_kb --db "$work/rows$n.db" --dataset T=t) ;;
            query) kb[$n]=$(peak_kb --db "$work/rows$n.db" --dataset "T=SELECT * FROM t ORDER BY id") ;;
            csv) kb[$n]=$(peak_kb --csv "T=$work/rows$n.csv") ;;
        esac
    done
    ratio=$(awk -v a="${kb[$small]}" -v b="${kb[$large]}" 'BEGIN { printf "%.2f", b / a }')
    printf '%-14s %9s kB %9s kB %7s\n' "$source" "${kb[$small]}" "${kb[$large]}" "$ratio"
    if awk -v r="$ratio" -v b="${kb[$large]}" 'BEGIN { exit !(r > 1.5 || b > 50 * 1024) }'; then
        echo "  over the limit (1.5 times the small run, 50 MB)" >&2
        status=1
    fi
    unset kb
done
exit $status
