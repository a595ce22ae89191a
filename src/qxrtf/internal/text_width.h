// The width text has at a place of an RTF document, which a picture with no
// size of its own is kept within.
#pragma once

#include <cstddef>
#include <string_view>

namespace qx {

// Twips of text width at byte `offset` of `rtf`: the cell's (less its
// padding) when the offset lies in a table cell, otherwise the page's width
// less its margins as the document or the offset's section sets them. 0
// when the document gives a width of nothing or less.
int TextWidthAt(std::string_view rtf, std::size_t offset);

}  // namespace qx
