// What a template tells about its code pages: the code page its header
// declares, the font character sets and the code pages they stand for, and
// the lead bytes of the double-byte code pages, whose second byte may look
// like a backslash or a brace.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qx::rtf {

// The font character set that stands for a code page; -1 when there is
// none (a reader decodes a font's \'hh bytes through its character set).
int CharsetOfCodePage(int codePage);
// The code page of a font character set; 0 for the default (1) and the
// symbol (2) set, whose bytes are glyph numbers, and for unknown sets.
int CodePageOfCharset(int charset);

// The default character set: the code page the document declares.
inline constexpr int kDefaultCharset = 1;
// The symbol font character set: its bytes are glyph numbers.
inline constexpr int kSymbolCharset = 2;

// The code page a template declares in its header: \ansicpgN, \mac (Mac
// Roman, 10000), \pc (437), \pca (850); 1252 when it declares none or one
// that is not supported.
int DeclaredCodePage(const std::uint8_t* data, std::size_t size);

// True when `b` starts a two-byte character in `codePage` (932, 936, 949,
// 950); always false in the other code pages.
bool IsLeadByte(int codePage, std::uint8_t b);

}  // namespace qx::rtf
