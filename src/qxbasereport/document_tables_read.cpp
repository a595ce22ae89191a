// Reading the document tables from the template: the font table (each font
// keeping its character set unless the report forces one), the colour
// table, the style sheet and the info group go into the report's lists, and
// the template's own bytes of them are replaced by a record, so that the
// tables are written back last with whatever the run added to them.
#include <algorithm>
#include <string_view>

#include "conscom/exceptions.h"
#include "platform/internal/codepage.h"
#include "qxbasereport/base_rtf_report.h"
#include "qxbasereport/internal/code_pages.h"
#include "qxbasereport/internal/rtf_syntax.h"

namespace qx {

namespace {

constexpr const char* kFontTableError = "Can't read font table from input file";
constexpr const char* kColorTableError = "Can't read color table from input file";

// Keyword lengths after the opening brace.
constexpr int kFontTableWord = 8;    // \fonttbl
constexpr int kColorTableWord = 9;   // \colortbl
constexpr int kStyleSheetWord = 11;  // \stylesheet
constexpr int kInfoWord = 5;         // \info

// The character set of a font decides how readers decode its \'hh bytes
// (and, for a symbol font, which glyphs show), so a template's own sets
// are kept. A set the application forces (`forced`, -1 for none) replaces
// every set but the symbol set. A font without a set is left so: readers
// decode it through the code page the document declares.
std::string ApplyCharset(std::string entry, int forced) {
    static constexpr std::string_view kWord = "fcharset";
    std::size_t pos = 0;
    while ((pos = entry.find(kWord, pos)) != std::string::npos) {
        pos += kWord.size();
        std::size_t end = pos;
        const std::int64_t value = rtf::ReadNumber(entry.data(), end, entry.size());
        if (end == pos) throw EBadRtfFormat(kFontTableError);
        if (forced >= 0 && value != rtf::kSymbolCharset) {
            const std::string text = std::to_string(forced);
            entry.replace(pos, end - pos, text);
            end = pos + text.size();
        }
        pos = end;
    }
    return entry;
}

// Fonts written without braces of their own ("\f0\fswiss Arial;"): each
// font, up to its semicolon, becomes a braced group so that it is kept and
// has the same shape as the others.
void AddLooseFonts(const std::string& text, TStringList& fonts, int forced) {
    std::string font;
    auto flush = [&] {
        const auto first = font.find_first_not_of(' ');
        if (first != std::string::npos)
            fonts.Add(ApplyCharset("{" + font.substr(first) + "}", forced));
        font.clear();
    };
    for (char ch : text) {
        if (ch == '\r' || ch == '\n') continue;
        font += ch;
        if (ch == ';') flush();
    }
    flush();
}

// The decimal number at text[pos] (moving pos past it), at most 255; -1
// when there is none.
int ColorComponent(const std::string& text, std::size_t& pos) {
    const std::size_t start = pos;
    const std::int64_t value = rtf::ReadNumber(text.data(), pos, text.size());
    if (pos == start) return -1;
    return static_cast<int>(std::min<std::int64_t>(value, 255));
}

}  // namespace

// Fpnt just after a table's keyword. Walks to the table's closing brace,
// handing each balanced sub-group and each stretch of text between them to
// the callbacks as 1-based [from, to) ranges. False when the template ends
// before the table is closed.
template <class OnGroup, class OnLoose>
bool TQxBaseRTFReport::ReadSubGroups(OnGroup onGroup, OnLoose onLoose) {
    std::int32_t looseFrom = Fpnt;
    while (Fpnt <= Flent) {
        const std::uint8_t b = PFileAt(Fpnt);
        if (b == '\\') {
            Fpnt += Fpnt < Flent ? 2 : 1;  // an escaped brace is text
            continue;
        }
        if (b != '{' && b != '}') {
            ++Fpnt;
            continue;
        }
        onLoose(looseFrom, Fpnt);
        if (b == '}') {
            ++Fpnt;
            return true;
        }
        bool closed = false;
        const auto end = static_cast<std::int32_t>(rtf::GroupEnd(
            FPFile, static_cast<std::size_t>(Fpnt), static_cast<std::size_t>(Flent), closed));
        if (!closed) break;
        onGroup(Fpnt, end + 1);
        Fpnt = end + 1;
        looseFrom = Fpnt;
    }
    Fpnt = Flent + 1;
    return false;
}

// Font names in other scripts are kept byte for byte: whatever the code
// page of the run, the bytes of the template go out as they came, as
// \'hh escapes that every code page writes unchanged (a double-byte
// character's second byte too, which may look like a brace).
std::string TQxBaseRTFReport::TemplateBytesEscaped(std::int32_t from, std::int32_t to) const {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(static_cast<std::size_t>(to - from));
    bool trail = false;
    for (std::int32_t p = from; p < to; ++p) {
        const std::uint8_t b = PFileAt(p);
        if (b < 0x80 && !trail) {
            out.push_back(static_cast<char>(b));
            continue;
        }
        trail = !trail && rtf::IsLeadByte(FDocCodePage, b);
        out += "\\'";
        out.push_back(kHex[b >> 4]);
        out.push_back(kHex[b & 15]);
    }
    return out;
}

EBadRtfFormat TQxBaseRTFReport::TableError(const char* message, std::int32_t from, std::int32_t to,
                                           std::string_view word) {
    // At the first keyword `word` in [from, to) without a number, or at
    // `from` when there is none (a table left open).
    const std::string text = TemplateText(from, to);
    std::size_t at = 0;
    for (std::size_t pos = 0; (pos = text.find(word, pos)) != std::string::npos;) {
        pos += word.size();
        std::size_t end = pos;
        rtf::ReadNumber(text.data(), end, text.size());
        if (end == pos) {
            at = pos - word.size();
            break;
        }
    }
    const std::string shown = at < text.size() ? std::string(word.substr(1)) : "";
    EBadRtfFormat error(std::string(message) +
                        (shown.empty() ? "" : ": \\" + shown + " without a number"));
    error.SetPosIfNone(FieldErrorPos(static_cast<std::int32_t>(from + at),
                                     shown.empty() ? std::string(word.substr(1)) : shown));
    return error;
}

void TQxBaseRTFReport::ReadFontTable() {
    const std::int32_t tableFrom = Fpnt;
    ReadFb();
    SkipChars(kFontTableWord);
    const int forced = FCharset != kDefaultCharset ? FCharset : -1;
    // A font entry whose character set has no number fails at that word.
    const auto withPlace = [&](std::int32_t from, std::int32_t to, auto add) {
        try {
            add();
        } catch (const EBadRtfFormat&) {
            throw TableError(kFontTableError, from, to, "\\fcharset");
        }
    };
    const bool closed = ReadSubGroups(
        [&](std::int32_t from, std::int32_t to) {
            withPlace(from, to,
                      [&] { FRTFFont->Add(ApplyCharset(TemplateBytesEscaped(from, to), forced)); });
        },
        [&](std::int32_t from, std::int32_t to) {
            withPlace(from, to,
                      [&] { AddLooseFonts(TemplateBytesEscaped(from, to), *FRTFFont, forced); });
        });
    if (!closed) throw TableError(kFontTableError, tableFrom, tableFrom, "\\fonttbl");
    NoteFontCharsets();
    FIsFontTable = true;
    CmSaveFontTable();
}

void TQxBaseRTFReport::ReadColorTable() {
    const std::int32_t tableFrom = Fpnt;
    ReadFb();
    SkipChars(kColorTableWord);
    const std::int32_t from = Fpnt;
    bool closed = false;
    const auto end = static_cast<std::int32_t>(rtf::GroupEnd(
        FPFile, static_cast<std::size_t>(Fpnt - 1), static_cast<std::size_t>(Flent), closed));
    if (!closed) {
        Fpnt = Flent + 1;
        throw TableError(kColorTableError, tableFrom, tableFrom, "\\colortbl");
    }
    const std::string text = TemplateText(from, end);
    Fpnt = end + 1;

    // What stands before the first colour (normally the automatic colour's
    // lone ";") is kept as the first entry.
    const std::string lead = text.substr(0, text.find('\\'));
    // A component without a number (a sign, say) fails at its own place.
    const auto component = [&](std::size_t& pos, std::size_t nameLength) {
        const int value = ColorComponent(text, pos);
        if (value >= 0) return static_cast<std::uint8_t>(value);
        const std::size_t at = pos - nameLength;
        std::size_t end = pos < text.size() && text[pos] == '-' ? pos + 1 : pos;
        while (end < text.size() && rtf::IsAsciiDigit(text[end])) ++end;
        const std::string word = text.substr(at, end - at);
        EBadRtfFormat error(std::string(kColorTableError) + ": \\" + word +
                            " is no colour component from 0 to 255");
        // At the word's backslash (template positions here count from 1).
        error.SetPosIfNone(FieldErrorPos(static_cast<std::int32_t>(from + at - 1), word));
        throw error;
    };
    TQxColorArray colors;
    for (std::size_t pos = 0; (pos = text.find("red", pos)) != std::string::npos;) {
        pos += 3;
        TQxColor color;
        color.SetFr(component(pos, 3));
        colors.push_back(color);
    }
    auto readComponent = [&](const char* name, void (TQxColor::*set)(std::uint8_t)) {
        std::size_t pos = 0;
        for (TQxColor& color : colors) {
            pos = text.find(name, pos);
            if (pos == std::string::npos) return;
            pos += std::char_traits<char>::length(name);
            (color.*set)(component(pos, std::char_traits<char>::length(name)));
        }
    };
    readComponent("green", &TQxColor::SetFg);
    readComponent("blue", &TQxColor::SetFb);

    if (!lead.empty()) FRTFColor->Add(lead);
    for (const TQxColor& c : colors) {
        FRTFColor->Add("\\red" + std::to_string(c.fr) + "\\green" + std::to_string(c.fg) +
                       "\\blue" + std::to_string(c.fb) + ";");
        FDocColorTable.push_back(c);
    }
    FDocColorCount =
        static_cast<std::uint16_t>(std::min<std::size_t>(FDocColorTable.size(), 0xFFFF));
    FIsColorTable = true;
    CmSaveColorTable();
}

// A table that is a list of sub-groups: the text between them is dropped.
void TQxBaseRTFReport::ReadSubGroupList(int keywordLength, TStringList& list) {
    ReadFb();
    SkipChars(keywordLength);
    ReadSubGroups([&](std::int32_t from, std::int32_t to) { list.Add(TemplateText(from, to)); },
                  [](std::int32_t, std::int32_t) {});
}

void TQxBaseRTFReport::ReadStyleSheet() {
    ReadSubGroupList(kStyleSheetWord, *FRTFStyle);
    FIsStyle = true;
    CmSaveStyleSheet();
}

void TQxBaseRTFReport::ReadDocInfo() {
    ReadSubGroupList(kInfoWord, *FRTFDocInfo);
    FIsDocInfo = true;
    CmSaveDocInfo();
}

}  // namespace qx
