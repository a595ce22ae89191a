#!/bin/bash
# Writes a golden case's template.rtf from its source.html, the way a user's
# word processor would: LibreOffice by default, pandoc when the case's
# case.json says "writer": "pandoc".
#   scripts/golden-template.sh tests/golden/CASE
set -euo pipefail
dir=${1:?usage: golden-template.sh CASE_DIR}
if grep -q '"writer": *"pandoc"' "$dir/case.json" 2>/dev/null; then
    pandoc -s -f html -t rtf "$dir/source.html" -o "$dir/template.rtf"
    exit 0
fi
profile=$(mktemp -d /tmp/lo-golden-XXXXXX)
out=$(mktemp -d /tmp/lo-golden-out-XXXXXX)
trap 'rm -rf "$profile" "$out"' EXIT
soffice -env:UserInstallation=file://"$profile" --headless \
    --convert-to rtf:"Rich Text Format" --outdir "$out" "$dir/source.html" >/dev/null 2>&1
mv "$out/source.rtf" "$dir/template.rtf"
