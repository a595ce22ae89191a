// The invoice report made the naive way: Handlebars fills the RTF text of the
// template in one call, the values escaped for RTF by a helper.
// Usage: node handlebars_invoice.js TEMPLATE.hbs.rtf ITEMS.json OUT.rtf
'use strict';
const fs = require('fs');
const Handlebars = require('handlebars');

const {rtfEscape} = require('./rtf_escape');

Handlebars.registerHelper('rtf', rtfEscape);
Handlebars.registerHelper('fix', (x) => Number(x).toFixed(2));
Handlebars.registerHelper('mul', (a, b) => a * b);
Handlebars.registerHelper('grandTotal', (items) => {
  let sum = 0;
  for (const it of items) sum += it.QTY * it.PRICE;
  return sum;
});

const [templateFile, itemsFile, outFile] = process.argv.slice(2);
const template = Handlebars.compile(fs.readFileSync(templateFile, 'latin1'), {noEscape: true});
const items = JSON.parse(fs.readFileSync(itemsFile, 'utf8'));
fs.writeFileSync(outFile, template({ITEMS: items}), 'latin1');
