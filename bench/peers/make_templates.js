// Writes the peers' templates for the invoice workload into OUTDIR:
//   invoice.hbs.rtf  the qxrtf template's own RTF text with Handlebars tags in
//                    place of the report fields, so both write the same document;
//   invoice.docx     a word-processing document with the same title, table and
//                    total, its row repeated by a loop over the items.
// Usage: node make_templates.js TEMPLATE.rtf OUTDIR
'use strict';
const fs = require('fs');
const path = require('path');
const PizZip = require('pizzip');

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

const W = 'http://schemas.openxmlformats.org/wordprocessingml/2006/main';
const para = (text, bold) =>
  `<w:p><w:r>${bold ? '<w:rPr><w:b/></w:rPr>' : ''}<w:t xml:space="preserve">${text}</w:t></w:r></w:p>`;
const cell = (text, bold) => `<w:tc><w:tcPr><w:tcW w:w="2400" w:type="dxa"/></w:tcPr>${para(text, bold)}</w:tc>`;

function docxTemplate() {
  const header = ['Item', 'Quantity', 'Price', 'Line total'].map((t) => cell(t, true)).join('');
  const row = [cell('{#ITEMS}{NAME}'), cell('{QTY}'), cell('{PRICE|fix}'),
               cell('{QTY*PRICE|fix}{/ITEMS}')].join('');
  const document = `<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<w:document xmlns:w="${W}"><w:body>
<w:p><w:pPr><w:pStyle w:val="Heading1"/></w:pPr><w:r><w:t>Invoice 2024-0117</w:t></w:r></w:p>
${para('Items delivered to the customer, one row per order line.')}
<w:tbl><w:tblPr><w:tblW w:w="9600" w:type="dxa"/></w:tblPr>
<w:tblGrid><w:gridCol w:w="2400"/><w:gridCol w:w="2400"/><w:gridCol w:w="2400"/><w:gridCol w:w="2400"/></w:tblGrid>
<w:tr>${header}</w:tr>
<w:tr>${row}</w:tr>
</w:tbl>
<w:p><w:r><w:t xml:space="preserve">Grand total: </w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t>{GT|fix}</w:t></w:r></w:p>
<w:sectPr><w:pgSz w:w="11906" w:h="16838"/><w:pgMar w:top="1134" w:right="1134" w:bottom="1134" w:left="1134" w:header="0" w:footer="0" w:gutter="0"/></w:sectPr>
</w:body></w:document>`;
  const zip = new PizZip();
  zip.file('[Content_Types].xml', `<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">
<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>
<Default Extension="xml" ContentType="application/xml"/>
<Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/>
</Types>`);
  zip.file('_rels/.rels', `<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/>
</Relationships>`);
  zip.file('word/document.xml', document);
  return zip.generate({type: 'nodebuffer', compression: 'DEFLATE'});
}

const [templateRtf, outDir] = process.argv.slice(2);
fs.mkdirSync(outDir, {recursive: true});
fs.writeFileSync(path.join(outDir, 'invoice.hbs.rtf'),
                 handlebarsTemplate(fs.readFileSync(templateRtf, 'latin1')), 'latin1');
fs.writeFileSync(path.join(outDir, 'invoice.docx'), docxTemplate());
