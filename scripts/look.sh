#!/bin/bash
# Writes the pages of a report as PNG pictures, to look at what a reader
# sees: LibreOffice turns the RTF into PDF (with a profile of its own, so
# it runs beside an open LibreOffice), pdftoppm turns each page into
# OUTDIR/NAME-N.png.
#   scripts/look.sh REPORT.rtf [OUTDIR]   (OUTDIR defaults to out/look)
set -euo pipefail
report=${1:?usage: look.sh REPORT.rtf [OUTDIR]}
outdir=${2:-out/look}
[ -f "$report" ] || { echo "look.sh: no such file: $report" >&2; exit 1; }
for tool in soffice pdftoppm; do
    command -v "$tool" >/dev/null || { echo "look.sh: $tool is not installed" >&2; exit 1; }
done
mkdir -p "$outdir"
profile=$(mktemp -d /tmp/lo-look-XXXXXX)
pdfdir=$(mktemp -d /tmp/lo-look-pdf-XXXXXX)
trap 'rm -rf "$profile" "$pdfdir"' EXIT
soffice -env:UserInstallation=file://"$profile" --headless --convert-to pdf \
    --outdir "$pdfdir" "$report" >/dev/null 2>&1
name=$(basename "${report%.*}")
[ -f "$pdfdir/$name.pdf" ] || { echo "look.sh: LibreOffice could not convert $report" >&2; exit 1; }
pdftoppm -png -r 80 "$pdfdir/$name.pdf" "$outdir/$name"
ls "$outdir/$name"-*.png
