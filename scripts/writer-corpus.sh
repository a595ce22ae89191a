#!/usr/bin/env bash
# Remakes the templates of tests/data/writers/ that real word processors
# write: one small letter (a line in a script, a bold field in a body run,
# a table whose body row is scanned) per script, saved by LibreOffice, and
# the Latin one saved by AbiWord and by pandoc. The hand-written templates
# in that folder (other writers' patterns) are not touched.
#   scripts/writer-corpus.sh
set -euo pipefail
out="$(cd "$(dirname "$0")/.." && pwd)/tests/data/writers"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

letter() {  # name language "line in the script"
  cat > "$work/$1.html" <<HTML
<html><head><meta charset="utf-8"><title>$1</title></head><body lang="$2">
<p>$3</p>
<p>Dear <b>\\NAME\\</b>, welcome.</p>
<table border="1"><tr><td>Item</td><td>Qty</td></tr>
<tr><td>\\SCAN(ITEMS)\\\\ITEMS.NAME\\</td><td>\\ITEMS.QTY\\\\ENDSCAN\\</td></tr></table>
<p>$3</p>
</body></html>
HTML
}
letter lo_1250 pl "Zażółć gęślą jaźń"
letter lo_1251 ru "Съешь же ещё этих мягких французских булок"
letter lo_1252 fr "Voilà l'été, où êtes-vous ?"
letter lo_932 ja "ソフト表示の能力"
letter lo_936 zh "乗客亄亇报表"

soffice -env:UserInstallation="file://$work/profile" --headless \
  --convert-to rtf:"Rich Text Format" --outdir "$work" "$work"/lo_*.html >/dev/null
cp "$work"/lo_*.rtf "$out/"

letter abiword en "Voilà l'été, où êtes-vous ?"
abiword --to=rtf --to-name="$out/abiword.rtf" "$work/abiword.html"
letter pandoc en "Voilà l'été, où êtes-vous ?"
pandoc -f html -t rtf -s "$work/pandoc.html" -o "$out/pandoc.rtf"
