// Writes the peers' templates for the invoice workload into OUTDIR:
//   invoice.hbs.rtf  the qxrtf template's own RTF text with Handlebars tags in
//                    place of the report fields, so both write the same document;
//   invoice.docx     a word-processing document with the same title, table and
//                    total, its row repeated by a loop over the items.
// Usage: node make_templates.js TEMPLATE.rtf OUTDIR
'use strict';
const fs = require('fs');
const path = require('path');
const {para, table, docxPackage} = require('./docx_package');

// Each tag ends in a line break, which RTF ignores, so that the RTF group's
// closing brace after it does not run into the tag's own braces.
function handlebarsTemplate(rtf) {
  const swap = (text, from, to) => {
    if (!text.includes(from)) throw new Error(`template lacks ${from}`);
    return text.replace(from, to);
  };
  const scan = rtf.indexOf('\\\\SCAN(');
  const rowStart = rtf.lastIndexOf('\\trowd', scan);
  const rowEnd = rtf.indexOf('\\row', scan) + '\\row'.length;
  let t = rtf.slice(0, rowStart) + '{{#each ITEMS}}' + rtf.slice(rowStart, rowEnd) + '{{/each}}' +
          rtf.slice(rowEnd);
  t = swap(t, '\\\\VAR(LINE)\\\\', '');
  t = swap(t, '\\\\SCAN(ITEMS), SET(LINE, ITEMS.QTY*ITEMS.PRICE), SUM(LINE, GT)\\\\', '');
  t = swap(t, '\\\\ITEMS.NAME\\\\', '{{rtf NAME}}\n');
  t = swap(t, '\\\\ITEMS.QTY\\\\', '{{QTY}}\n');
  t = swap(t, '\\\\FFIX(ITEMS.PRICE, 18:2)\\\\', '{{fix PRICE}}\n');
  t = swap(t, '\\\\FFIX(ITEMS.QTY*ITEMS.PRICE, 18:2)\\\\', '{{fix (mul QTY PRICE)}}\n');
  t = swap(t, '\\\\ENDSCAN\\\\', '');
  t = swap(t, '\\\\FFIX(GT, 18:2)\\\\', '{{fix (grandTotal ITEMS)}}\n');
  return t;
}

function docxTemplate() {
  return docxPackage(`<w:p><w:pPr><w:pStyle w:val="Heading1"/></w:pPr><w:r><w:t>Invoice 2024-0117</w:t></w:r></w:p>
${para('Items delivered to the customer, one row per order line.')}
${table(['Item', 'Quantity', 'Price', 'Line total'],
        ['{#ITEMS}{NAME}', '{QTY}', '{PRICE|fix}', '{QTY*PRICE|fix}{/ITEMS}'])}
<w:p><w:r><w:t xml:space="preserve">Grand total: </w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t>{GT|fix}</w:t></w:r></w:p>`);
}

const [templateRtf, outDir] = process.argv.slice(2);
fs.mkdirSync(outDir, {recursive: true});
fs.writeFileSync(path.join(outDir, 'invoice.hbs.rtf'),
                 handlebarsTemplate(fs.readFileSync(templateRtf, 'latin1')), 'latin1');
fs.writeFileSync(path.join(outDir, 'invoice.docx'), docxTemplate());
