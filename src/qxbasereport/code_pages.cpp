// The code pages a template speaks of: its header's declaration, the font
// character sets, and the lead bytes of the double-byte code pages.
#include "qxbasereport/internal/code_pages.h"

#include <string_view>

#include "qxbasereport/internal/rtf_syntax.h"

namespace qx::rtf {

namespace {

struct TCodePageCharset {
    int codePage;
    int charset;
};

// Windows code pages and the font character sets readers decode them by;
// Mac Roman and the two DOS code pages a header may declare included.
constexpr TCodePageCharset kCodePageCharsets[] = {
    {1252, 0},   {1250, 238}, {1251, 204}, {1253, 161}, {1254, 162}, {1255, 177},
    {1256, 178}, {1257, 186}, {1258, 163}, {874, 222},  {932, 128},  {936, 134},
    {949, 129},  {950, 136},  {10000, 77}, {437, 254},  {850, 255},
};

// The header words that declare a code page without a number.
struct TCharacterSetWord {
    std::string_view word;
    int codePage;
};
constexpr TCharacterSetWord kCharacterSetWords[] = {
    {"ansi", 1252},
    {"mac", 10000},
    {"pc", 437},
    {"pca", 850},
};

// The header ends at the first group (the font table, normally); a
// declaration further on is no declaration of the document.
constexpr std::size_t kHeaderLimit = 1024;

}  // namespace

int CharsetOfCodePage(int codePage) {
    for (const TCodePageCharset& entry : kCodePageCharsets)
        if (entry.codePage == codePage) return entry.charset;
    return -1;
}

int CodePageOfCharset(int charset) {
    for (const TCodePageCharset& entry : kCodePageCharsets)
        if (entry.charset == charset) return entry.codePage;
    return 0;
}

int DeclaredCodePage(const std::uint8_t* data, std::size_t size) {
    const std::size_t end = size < kHeaderLimit ? size : kHeaderLimit;
    // \ansicpgN names the code page exactly; the character set words only
    // where it is missing.
    int ansiCodePage = 0;
    int characterSet = 1252;
    // Skip the opening brace; the header runs to the next one.
    for (std::size_t pos = 1; pos < end && data[pos] != '{';) {
        if (data[pos++] != '\\') continue;
        const std::size_t wordStart = pos;
        while (pos < end && IsAsciiLetter(data[pos])) ++pos;
        const std::string_view word(reinterpret_cast<const char*>(data) + wordStart,
                                    pos - wordStart);
        const std::size_t digits = pos;
        const std::int64_t number = ReadNumber(data, pos, end);
        if (word == "ansicpg" && pos > digits && CharsetOfCodePage(static_cast<int>(number)) >= 0)
            ansiCodePage = static_cast<int>(number);
        for (const TCharacterSetWord& w : kCharacterSetWords)
            if (word == w.word && pos == digits) characterSet = w.codePage;
    }
    return ansiCodePage != 0 ? ansiCodePage : characterSet;
}

bool IsLeadByte(int codePage, std::uint8_t b) {
    switch (codePage) {
        case 932:  // Shift JIS: the single-byte katakana A1-DF lie between
            return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        case 936:
        case 949:
        case 950:
            return b >= 0x81 && b <= 0xFE;
        default:
            return false;
    }
}

}  // namespace qx::rtf
