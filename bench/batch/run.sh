#!/usr/bin/env bash
# Batch throughput: one-page letters from SQLite, one document per customer,
# in documents per second for `--jobs 1`, `--jobs 2` and four `--shard i/4`
# processes run at the same time. Every run is checked: all documents there,
# each with its own customer.
#   bench/batch/run.sh [--count 10000] [--runs 3] [--qxrtf PATH] [--work DIR]
# --work: where the database and the documents go (default $TMPDIR or /tmp).
# Every document is flushed to the disk before it is named, so on a disk
# the figures are mostly the file system's; on a tmpfs (/dev/shm) they are
# the renderer's.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
qxrtf="$here/../../build/qxrtf"
count=10000
runs=3
workroot=${TMPDIR:-/tmp}
while [ $# -gt 0 ]; do
    case "$1" in
        --count) count=$2; shift 2 ;;
        --runs) runs=$2; shift 2 ;;
        --qxrtf) qxrtf=$2; shift 2 ;;
        --work) workroot=$2; shift 2 ;;
        *) echo "run.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done
[ -x "$qxrtf" ] || { echo "run.sh: no tool at $qxrtf (build it, or give --qxrtf)" >&2; exit 2; }

work=$(mktemp -d "$workroot/qxrtf-batch-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
python3 "$here/gen_data.py" "$count" "$work/letters.db"
data=(--db "$work/letters.db" --dataset C=customers
      --dataset O='SELECT item, qty, price, qty * price AS amount FROM lines
                   WHERE customer_id = :C_ID ORDER BY line'
      --detail O=C)
batch=("$qxrtf" batch "$here/letter.rtf" --master C --name C.NUMBER "${data[@]}")

# Every document there and complete, a few with their own customer number.
check() {
    local dir=$1 n id number
    n=$(find "$dir" -name '*.rtf' | wc -l)
    [ "$n" -eq "$count" ] || { echo "run.sh: $dir has $n documents, not $count" >&2; exit 1; }
    for id in 1 $((count / 2)) "$count"; do
        number=$(printf 'C%06d' "$id")
        grep -q "Customer number .*$number" "$dir/$number.rtf" && [ "$(tail -c 1 "$dir/$number.rtf")" = "}" ] ||
            { echo "run.sh: $dir/$number.rtf is not its customer's letter" >&2; exit 1; }
    done
}

now() { date +%s.%N; }

# CPU seconds (user + system) the processes timed into $work/cpu took.
cpu_total() { awk '{ t += $1 + $2 } END { printf "%.2f", t }' "$work/cpu"; rm -f "$work/cpu"; }
timed() { /usr/bin/time -a -o "$work/cpu" -f "%U %S" "$@"; }

# Seconds of one way of running the batch into a fresh directory.
time_jobs() {
    local jobs=$1 dir="$work/out-jobs$1" start end
    rm -rf "$dir"
    start=$(now)
    timed "${batch[@]}" --out-dir "$dir" --jobs "$jobs" 2>/dev/null
    end=$(now)
    check "$dir"
    echo "$(echo "$end - $start" | bc -l):$(cpu_total)"
}
time_shards() {
    local dir="$work/out-shards" start end i
    rm -rf "$dir"
    start=$(now)
    for i in 0 1 2 3; do timed "${batch[@]}" --out-dir "$dir" --shard "$i/4" 2>/dev/null & done
    wait
    end=$(now)
    check "$dir"
    echo "$(echo "$end - $start" | bc -l):$(cpu_total)"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

declare -A times
for ((r = 1; r <= runs; ++r)); do
    times[jobs1]+="$(time_jobs 1) "
    times[jobs2]+="$(time_jobs 2) "
    times[shards4]+="$(time_shards) "
done

echo "letters: $count, runs: $runs, in: $(df --output=fstype "$work" | tail -1), cores: $(nproc), load average before/after: $load_before / $(cut -d' ' -f1-3 /proc/loadavg)"
printf '| %-24s | %10s | %18s | %12s | %14s |\n' "how" "median s" "runs s" "documents/s" "CPU s (median)"
printf '|%s|%s|%s|%s|%s|\n' "--------------------------" "-----------:" "-------------------:" "-------------:" "---------------:"
for key in jobs1 jobs2 shards4; do
    case $key in
        jobs1) label="--jobs 1" ;;
        jobs2) label="--jobs 2" ;;
        shards4) label="4 x --shard i/4 at once" ;;
    esac
    walls=$(tr ' ' '\n' <<<"${times[$key]}" | grep . | cut -d: -f1)
    m=$(median <<<"$walls")
    c=$(tr ' ' '\n' <<<"${times[$key]}" | grep . | cut -d: -f2 | median)
    all=$(xargs printf '%.2f ' <<<"$walls")
    printf '| %-24s | %10.2f | %18s | %12.0f | %14s |\n' "$label" "$m" "${all% }" \
        "$(echo "$count / $m" | bc -l)" "$c"
done
