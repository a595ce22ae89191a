// A batch of letters as word-processing documents: the template is read
// once, filled by docxtemplater for each customer and stored uncompressed
// in a file of its own (not flushed to the disk).
// Usage: node docxtemplater_letters.js TEMPLATE.docx CUSTOMERS.json OUTDIR
'use strict';
const fs = require('fs');
const path = require('path');
const PizZip = require('pizzip');
const Docxtemplater = require('docxtemplater');

// Tags are names, with "|fix" for two decimals; "total" sums the lines.
function parser(tag) {
  const [name, filter] = tag.split('|').map((s) => s.trim());
  const value = (scope) =>
    name === 'total' ? scope.lines.reduce((sum, l) => sum + l.amount, 0) : scope[name];
  return {get: (scope) => (filter === 'fix' ? Number(value(scope)).toFixed(2) : value(scope))};
}

const [templateFile, customersFile, outDir] = process.argv.slice(2);
const template = fs.readFileSync(templateFile);
fs.mkdirSync(outDir, {recursive: true});
for (const c of JSON.parse(fs.readFileSync(customersFile, 'utf8'))) {
  const doc = new Docxtemplater(new PizZip(template), {paragraphLoop: true, parser});
  doc.render(c);
  fs.writeFileSync(path.join(outDir, `${c.number}.docx`),
                   doc.getZip().generate({type: 'nodebuffer', compression: 'STORE'}));
}
