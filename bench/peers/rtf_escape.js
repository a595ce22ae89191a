// Values written into RTF text by the Handlebars peers.
'use strict';

// Backslash and braces are RTF syntax; characters past ASCII are written as
// code page 1252 bytes where they have one and as \u with a '?' fallback
// otherwise.
const CP1252_HIGH = {
  0x20ac: 0x80, 0x201a: 0x82, 0x0192: 0x83, 0x201e: 0x84, 0x2026: 0x85, 0x2020: 0x86,
  0x2021: 0x87, 0x02c6: 0x88, 0x2030: 0x89, 0x0160: 0x8a, 0x2039: 0x8b, 0x0152: 0x8c,
  0x017d: 0x8e, 0x2018: 0x91, 0x2019: 0x92, 0x201c: 0x93, 0x201d: 0x94, 0x2022: 0x95,
  0x2013: 0x96, 0x2014: 0x97, 0x02dc: 0x98, 0x2122: 0x99, 0x0161: 0x9a, 0x203a: 0x9b,
  0x0153: 0x9c, 0x017e: 0x9e, 0x0178: 0x9f,
};
const hex = (b) => "\\'" + b.toString(16).padStart(2, '0');
function rtfEscape(value) {
  return String(value).replace(/[\\{}]|[^\x00-\x7f]/gu, (ch) => {
    if (ch === '\\' || ch === '{' || ch === '}') return '\\' + ch;
    const code = ch.codePointAt(0);
    if (code >= 0xa0 && code <= 0xff) return hex(code);
    if (CP1252_HIGH[code] !== undefined) return hex(CP1252_HIGH[code]);
    if (code > 0xffff) {
      const hi = 0xd800 + ((code - 0x10000) >> 10), lo = 0xdc00 + ((code - 0x10000) & 0x3ff);
      return `\\u${hi - 65536}?\\u${lo - 65536}?`;
    }
    return `\\u${code > 32767 ? code - 65536 : code}?`;
  });
}

module.exports = {rtfEscape};
