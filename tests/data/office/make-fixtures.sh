#!/usr/bin/env bash
# Writes letter.docx, letter.odt, letter.doc and letter.fodt from
# letter.html as a user saving the letter from LibreOffice Writer would, then makes the DOCX look as Word
# writes a field it has marked misspelt: the field's text split over runs
# with revision ids and spelling marks between them.
#   tests/data/office/make-fixtures.sh
set -euo pipefail
cd "$(dirname "$0")"
profile=$(mktemp -d)
work=$(mktemp -d)
trap 'rm -rf "$profile" "$work"' EXIT
rm -f letter.docx letter.odt letter.doc letter.fodt
for target in 'odt:writer8' 'docx:MS Word 2007 XML' 'doc:MS Word 97' 'fodt:OpenDocument Text Flat XML'; do
  soffice --headless "-env:UserInstallation=file://$profile" --infilter='HTML (StarWriter)' \
    --convert-to "$target" letter.html >/dev/null 2>&1
done
(cd "$work" && unzip -q "$OLDPWD/letter.docx")
python3 - "$work/word/document.xml" <<'PY'
import sys
path = sys.argv[1]
xml = open(path, encoding="utf-8").read()
field = '<w:t>Dear \\CUSTOMERS.NAME\\, thank you'
assert field in xml, "the letter's first field is not where it was"
xml = xml.replace(field, '<w:t xml:space="preserve">Dear \\</w:t></w:r>'
                  '<w:proofErr w:type="spellStart"/><w:r w:rsidR="00A1B2C3"><w:rPr></w:rPr>'
                  '<w:t>CUSTOMERS.NAME</w:t></w:r><w:proofErr w:type="spellEnd"/>'
                  '<w:r w:rsidRPr="00D4E5F6"><w:rPr></w:rPr><w:t xml:space="preserve">\\, thank you')
open(path, "w", encoding="utf-8").write(xml)
PY
rm letter.docx
(cd "$work" && zip -q -X -r "$OLDPWD/letter.docx" '[Content_Types].xml' _rels docProps word)
for f in letter.docx letter.odt letter.doc letter.fodt; do
  [ -s "$f" ] || { echo "make-fixtures: LibreOffice did not write $f" >&2; exit 1; }
done
