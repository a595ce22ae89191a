#!/usr/bin/env bash
# Builds what the examples in examples/ need:
#   scripts/make-examples.sh              invoice.db, the invoice's SQLite
#                                         database, from invoice.sql, and
#                                         customers.json (the letter's
#                                         customers) exported from it
#   scripts/make-examples.sh --templates  also the RTF templates invoice.rtf
#                                         and letter.rtf, converted from their
#                                         HTML sources by LibreOffice Writer as
#                                         a user saving the document as RTF
#                                         would (they are kept in the
#                                         repository, so rendering needs no
#                                         LibreOffice), and invoice.docx and
#                                         invoice.odt from the same HTML, as a
#                                         user saving it from Word or Writer
#                                         would
set -euo pipefail
cd "$(dirname "$0")/../examples"

rm -f invoice.db
sqlite3 invoice.db < invoice.sql
sqlite3 -json invoice.db \
  "SELECT NAME, STREET, CITY, EMAIL, BALANCE FROM CUSTOMERS ORDER BY ID" > customers.json

[ "${1:-}" = "--templates" ] || exit 0
if ! command -v soffice >/dev/null; then
  echo "make-examples: --templates needs LibreOffice (soffice), which is not installed" >&2
  exit 1
fi
# A profile of its own, so that a running LibreOffice or another conversion
# does not make this one fail silently.
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
rm -f invoice.rtf letter.rtf
soffice --headless "-env:UserInstallation=file://$profile" \
  --convert-to 'rtf:Rich Text Format' invoice.html letter.html >/dev/null 2>&1
rm -f invoice.docx invoice.odt
soffice --headless "-env:UserInstallation=file://$profile" --infilter='HTML (StarWriter)' \
  --convert-to 'docx:MS Word 2007 XML' invoice.html >/dev/null 2>&1
soffice --headless "-env:UserInstallation=file://$profile" --infilter='HTML (StarWriter)' \
  --convert-to 'odt:writer8' invoice.html >/dev/null 2>&1
for t in invoice.rtf letter.rtf invoice.docx invoice.odt; do
  [ -s "$t" ] || { echo "make-examples: LibreOffice did not write $t" >&2; exit 1; }
done
