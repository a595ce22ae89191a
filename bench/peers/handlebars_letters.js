// A batch of letters the naive way: one Handlebars template over the RTF
// text, compiled once, filled for each customer and written to its own
// file (not flushed to the disk).
// Usage: node handlebars_letters.js TEMPLATE.hbs.rtf CUSTOMERS.json OUTDIR
'use strict';
const fs = require('fs');
const path = require('path');
const Handlebars = require('handlebars');
const {rtfEscape} = require('./rtf_escape');

Handlebars.registerHelper('rtf', rtfEscape);
Handlebars.registerHelper('fix', (x) => Number(x).toFixed(2));
Handlebars.registerHelper('total', (lines) => lines.reduce((sum, l) => sum + l.amount, 0));

const [templateFile, customersFile, outDir] = process.argv.slice(2);
const template = Handlebars.compile(fs.readFileSync(templateFile, 'latin1'), {noEscape: true});
fs.mkdirSync(outDir, {recursive: true});
for (const c of JSON.parse(fs.readFileSync(customersFile, 'utf8')))
  fs.writeFileSync(path.join(outDir, `${c.number}.rtf`), template(c), 'latin1');
