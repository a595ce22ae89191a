// UTF-8 helpers: the API's strings are UTF-8, and where the engine counts,
// compares or changes the case of characters, a character is one code point.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qx {

// Decodes the code point that starts at `pos` and advances `pos` past it.
// A malformed sequence yields U+FFFD and advances by one byte, so a caller
// walking hostile input always makes progress.
char32_t Utf8Next(std::string_view s, std::size_t& pos);
void Utf8Append(std::string& out, char32_t cp);
std::u32string Utf8ToUtf32(std::string_view s);
std::string Utf32ToUtf8(std::u32string_view s);
// Number of code points.
std::size_t Utf8Length(std::string_view s);

char32_t UnicodeUpper(char32_t cp);
char32_t UnicodeLower(char32_t cp);
std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
// Case-insensitive equality and ordering by code point after upper-casing.
bool SameText(std::string_view a, std::string_view b);
int CompareText(std::string_view a, std::string_view b);

}  // namespace qx
