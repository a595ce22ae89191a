// The invoice report as a word-processing document filled by docxtemplater:
// the table row repeats once per item; the output is stored uncompressed.
// Usage: node docxtemplater_invoice.js TEMPLATE.docx ITEMS.json OUT.docx
'use strict';
const fs = require('fs');
const PizZip = require('pizzip');
const Docxtemplater = require('docxtemplater');

// A small parser for the template's tags: NAME, QTY*PRICE, and "|fix" for
// two decimals; GT is the sum of QTY*PRICE over the items.
function parser(tag) {
  const [expr, filter] = tag.split('|').map((s) => s.trim());
  const factors = expr.split('*').map((s) => s.trim());
  const value = (scope) => {
    if (expr === 'GT') {
      let sum = 0;
      for (const it of scope.ITEMS) sum += it.QTY * it.PRICE;
      return sum;
    }
    if (factors.length === 1) return scope[expr];
    return factors.reduce((acc, f) => acc * scope[f], 1);
  };
  return {get: (scope) => (filter === 'fix' ? Number(value(scope)).toFixed(2) : value(scope))};
}

const [templateFile, itemsFile, outFile] = process.argv.slice(2);
const zip = new PizZip(fs.readFileSync(templateFile));
const doc = new Docxtemplater(zip, {paragraphLoop: true, linebreaks: false, parser});
doc.render({ITEMS: JSON.parse(fs.readFileSync(itemsFile, 'utf8'))});
fs.writeFileSync(outFile, doc.getZip().generate({type: 'nodebuffer', compression: 'STORE'}));
