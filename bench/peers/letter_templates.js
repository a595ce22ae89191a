// Writes the peers' templates for the batch of letters into OUTDIR:
//   letter.hbs.rtf  the qxrtf letter's own RTF text with Handlebars tags in
//                   place of its fields, so both write the same document;
//   letter.docx     a word-processing letter with the same address, table,
//                   total and balance sentence, its row repeated per line.
// Usage: node letter_templates.js LETTER.rtf OUTDIR
'use strict';
const fs = require('fs');
const path = require('path');
const PizZip = require('pizzip');

// Each tag ends in a line break, which RTF ignores, so that a closing brace
// after it does not run into the tag's own braces.
function handlebarsTemplate(rtf) {
  const swap = (text, from, to) => {
    if (!text.includes(from)) throw new Error(`letter lacks ${from}`);
    return text.split(from).join(to);
  };
  // The table row that SCAN repeats becomes the body of an #each.
  const scan = rtf.indexOf('\\\\SCAN(O)');
  const rowStart = rtf.lastIndexOf('\\trowd', scan);
  const rowEnd = rtf.indexOf('\\row', scan) + '\\row'.length;
  let t = rtf.slice(0, rowStart) + '{{#each lines}}\n' + rtf.slice(rowStart, rowEnd) +
          '{{/each}}\n' + rtf.slice(rowEnd);
  t = swap(t, '\\\\SCAN(O), SUM(O.AMOUNT, TOTAL)\\\\', '');
  t = swap(t, '\\\\ENDSCAN\\\\', '');
  for (const [field, tag] of [['C.NAME', 'rtf name'], ['C.STREET', 'rtf street'],
                              ['C.CITY', 'rtf city'], ['C.NUMBER', 'rtf number'],
                              ['O.ITEM', 'rtf item'], ['O.QTY', 'qty'],
                              ['FFIX(O.PRICE, 12:2)', 'fix price'],
                              ['FFIX(O.AMOUNT, 12:2)', 'fix amount'],
                              ['FFIX(TOTAL, 12:2)', 'fix (total lines)'],
                              ['FFIX(C.BALANCE, 12:2)', 'fix balance']])
    t = swap(t, `\\\\${field}\\\\`, `{{${tag}}}\n`);
  t = swap(t, '\\\\IF(C.BALANCE > 0)\\\\', '{{#if balance}}\n');
  t = swap(t, '\\\\ELSE\\\\', '{{else}}\n');
  t = swap(t, '\\\\ENDIF\\\\', '{{/if}}\n');
  if (t.includes('\\\\')) throw new Error('a field of the letter has no Handlebars tag');
  return t;
}

const W = 'http://schemas.openxmlformats.org/wordprocessingml/2006/main';
const para = (text, bold) =>
  `<w:p><w:r>${bold ? '<w:rPr><w:b/></w:rPr>' : ''}<w:t xml:space="preserve">${text}</w:t></w:r></w:p>`;
const cell = (text, bold) => `<w:tc><w:tcPr><w:tcW w:w="2400" w:type="dxa"/></w:tcPr>${para(text, bold)}</w:tc>`;

function docxTemplate() {
  const header = ['Item', 'Quantity', 'Price', 'Amount'].map((t) => cell(t, true)).join('');
  const row = [cell('{#lines}{item}'), cell('{qty}'), cell('{price|fix}'),
               cell('{amount|fix}{/lines}')].join('');
  const document = `<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<w:document xmlns:w="${W}"><w:body>
${para('{name}')}${para('{street}')}${para('{city}')}
${para('Customer number {number}')}
${para('Dear {name},')}
${para('thank you for your order. These are the lines we delivered:')}
<w:tbl><w:tblPr><w:tblW w:w="9600" w:type="dxa"/></w:tblPr>
<w:tblGrid><w:gridCol w:w="2400"/><w:gridCol w:w="2400"/><w:gridCol w:w="2400"/><w:gridCol w:w="2400"/></w:tblGrid>
<w:tr>${header}</w:tr>
<w:tr>${row}</w:tr>
</w:tbl>
${para('Total: {total|fix}')}
${para('{#balance}Your account also shows an open balance of {balance|fix} from earlier months.{/balance}{^balance}Your account has no open balance from earlier months.{/balance}')}
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

const [letterRtf, outDir] = process.argv.slice(2);
fs.mkdirSync(outDir, {recursive: true});
fs.writeFileSync(path.join(outDir, 'letter.hbs.rtf'),
                 handlebarsTemplate(fs.readFileSync(letterRtf, 'latin1')), 'latin1');
fs.writeFileSync(path.join(outDir, 'letter.docx'), docxTemplate());
