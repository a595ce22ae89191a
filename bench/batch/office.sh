#!/usr/bin/env bash
# Batch letters from a DOCX template into DOCX documents: seconds per
# document and LibreOffice starts. The template is the letter of this folder
# saved as DOCX by LibreOffice; LibreOffice is started through a launcher
# that counts its starts. Every run is checked: all documents there, DOCX
# packages.
#   bench/batch/office.sh [--count 200] [--jobs 1] [--qxrtf PATH] [--work DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
qxrtf="$here/../../build/qxrtf"
count=200
jobs=1
workroot=${TMPDIR:-/tmp}
while [ $# -gt 0 ]; do
    case "$1" in
        --count) count=$2; shift 2 ;;
        --jobs) jobs=$2; shift 2 ;;
        --qxrtf) qxrtf=$2; shift 2 ;;
        --work) workroot=$2; shift 2 ;;
        *) echo "office.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done
[ -x "$qxrtf" ] || { echo "office.sh: no tool at $qxrtf (build it, or give --qxrtf)" >&2; exit 2; }
real=$(command -v soffice) || { echo "office.sh: LibreOffice (soffice) is not installed" >&2; exit 2; }

work=$(mktemp -d "$workroot/qxrtf-office-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"
printf '#!/bin/sh\necho start >> "%s/starts"\nexec "%s" "$@"\n' "$work" "$real" > "$work/bin/soffice"
chmod +x "$work/bin/soffice"
starts() { [ -f "$work/starts" ] && wc -l < "$work/starts" || echo 0; }

python3 "$here/gen_data.py" "$count" "$work/letters.db"
soffice -env:UserInstallation="file://$work/lo" --headless --convert-to 'docx:MS Word 2007 XML' \
    --outdir "$work" "$here/letter.rtf" > /dev/null 2>&1
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
start=$(date +%s.%N)
PATH="$work/bin:$PATH" "$qxrtf" batch "$work/letter.docx" --master C --name C.NUMBER --to docx \
    --jobs "$jobs" --cache "$work/cache" --out-dir "$work/out" \
    --db "$work/letters.db" --dataset C=customers \
    --dataset O='SELECT item, qty, price, qty * price AS amount FROM lines
                 WHERE customer_id = :C_ID ORDER BY line' --detail O=C
end=$(date +%s.%N)
n=$(find "$work/out" -name '*.docx' | wc -l)
[ "$n" -eq "$count" ] || { echo "office.sh: $n documents, not $count" >&2; exit 1; }
for f in "$work"/out/*.docx; do
    unzip -l "$f" word/document.xml > /dev/null || { echo "office.sh: $f is not a DOCX" >&2; exit 1; }
done
awk -v s="$start" -v e="$end" -v n="$count" -v starts="$(starts)" -v jobs="$jobs" \
    -v load="$load_before" 'BEGIN {
        printf "%d letters, --jobs %d: %.1f s, %.0f ms per document, %d LibreOffice starts (load before: %s)\n",
               n, jobs, e - s, (e - s) * 1000 / n, starts, load }'
