// Writes the peers' templates for the batch of letters into OUTDIR:
//   letter.hbs.rtf  the qxrtf letter's own RTF text with Handlebars tags in
//                   place of its fields, so both write the same document;
//   letter.docx     a word-processing letter with the same address, table,
//                   total and balance sentence, its row repeated per line.
// Usage: node letter_templates.js LETTER.rtf OUTDIR
'use strict';
const fs = require('fs');
const path = require('path');
const {para, table, docxPackage} = require('./docx_package');

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

function docxTemplate() {
  return docxPackage(`${para('{name}')}${para('{street}')}${para('{city}')}
${para('Customer number {number}')}
${para('Dear {name},')}
${para('thank you for your order. These are the lines we delivered:')}
${table(['Item', 'Quantity', 'Price', 'Amount'],
        ['{#lines}{item}', '{qty}', '{price|fix}', '{amount|fix}{/lines}'])}
${para('Total: {total|fix}')}
${para('{#balance}Your account also shows an open balance of {balance|fix} from earlier months.{/balance}{^balance}Your account has no open balance from earlier months.{/balance}')}`);
}

const [letterRtf, outDir] = process.argv.slice(2);
fs.mkdirSync(outDir, {recursive: true});
fs.writeFileSync(path.join(outDir, 'letter.hbs.rtf'),
                 handlebarsTemplate(fs.readFileSync(letterRtf, 'latin1')), 'latin1');
fs.writeFileSync(path.join(outDir, 'letter.docx'), docxTemplate());
