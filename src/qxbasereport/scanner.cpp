// The template scanner: walks the template bytes in place from the read
// position to the next report field (text typed between two backslashes),
// recording everything it passes in the command stream: plain text as one
// merged Bloc, groups that must never be searched for fields as
// BalancedBloc, table rows as TableBegin/TableEnd, and the document tables
// through their readers.
#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "platform/internal/codepage.h"
#include "platform/internal/unicode.h"
#include "qxbasereport/base_rtf_report.h"
#include "qxbasereport/internal/code_pages.h"
#include "qxbasereport/internal/font_tracker.h"
#include "qxbasereport/internal/paragraph_search.h"
#include "qxbasereport/internal/rtf_syntax.h"

namespace qx {

namespace {

constexpr std::uint8_t kEofByte = 26;

// The bytes at which plain text stops being plain for the scanner.
constexpr std::array<bool, 256> kStopBytes = [] {
    std::array<bool, 256> t{};
    t['{'] = t['}'] = t['\\'] = true;
    return t;
}();

// Control bytes that reading passes over (everything below 32 but LF and
// TAB; CR therefore never reaches the scanner).
constexpr bool SkippedByRead(std::uint8_t b) {
    return b < 32 && b != '\n' && b != '\t';
}
// Lookahead passes over LF as well.
constexpr bool SkippedByPeek(std::uint8_t b) {
    return b < 32 && b != '\t';
}

struct TKeyword {
    std::string_view text;  // upper case, as it follows the current byte
    bool wholeWord;         // the next character must not be an ASCII letter
};

// Words after a backslash that end a field that is not yet closed.
constexpr TKeyword kBreakWords[] = {
    {"TROWD", true}, {"ROW", true},  {"CELL", true}, {"PAGE", true},
    {"SECT", true},  {"LINE", true}, {"PAR", true},
};

// Groups copied unchanged and never searched for fields. The first one
// only while form fields are not processed.
constexpr TKeyword kFormFieldGroup = {"\\FIELD", true};
constexpr TKeyword kPassThroughGroups[] = {
    {"\\*\\FLDINST", true},
    {"\\PICT", true},
    {"\\OBJECT", true},
    {"\\SHPRSLT", true},
};

constexpr TKeyword kFontTable = {"\\FONTTBL", true};
constexpr TKeyword kColorTable = {"\\COLORTBL", true};
constexpr TKeyword kStyleSheet = {"\\STYLESHEET", true};
constexpr TKeyword kInfoGroup = {"\\INFO", true};
constexpr TKeyword kRowDefinition = {"TROWD", true};
constexpr TKeyword kRowEnd = {"ROW", true};
constexpr TKeyword kInTableParagraph = {"INTBL", false};
constexpr TKeyword kParagraphReset = {"PARD", false};
// Words that end a paragraph (besides \row): the text before a command
// counts from the last of them.
constexpr TKeyword kParagraphEnds[] = {{"PAR", true}, {"CELL", true}, {"SECT", true}};
constexpr int kCellEnd = 1;

// Quote marks inside a field. A mark is either one raw byte or a control
// word or escape after a backslash (matched without regard to case).
// Quote kinds: 1 typographic double, 2 \lquote/\rquote, 3 guillemets,
// 4 ", 5 ', 6 `, 7 ~, 8 \ldblquote/\rdblquote, and the curly single
// quotes of the word processors: 9 opened by U+2018, 10 by U+2019, 11 by
// the low U+201A. The single quotes close one another's kinds the way a
// writer may mix them (Word writes U+2018 as \lquote, LibreOffice as
// \u8216), so every pairing that reads as one quotation closes it.
constexpr unsigned Kind(int k) {
    return 1u << k;
}
constexpr unsigned kSingleKinds = Kind(2) | Kind(5) | Kind(9) | Kind(10);

struct TQuoteMark {
    std::uint8_t raw;       // the raw byte, or 0 for the backslash forms
    std::string_view word;  // upper case, after the backslash
    int openKind;           // the quote kind the mark opens, 0 for none
    unsigned closes;        // the quote kinds the mark closes
    // What the field text gets; nullptr: the mark as written. A raw byte of
    // the upper half goes in as its hex escape, which the field text reads
    // through the code page (a raw character there would count as markup).
    const char* text;
    int length;             // template characters the mark occupies
    // For a byte of the code page's upper half (raw or \'hh): the character
    // it must stand for in the report's code page to be a quote mark.
    char32_t meaning = 0;
};

// In the order in which opening marks are tried.
constexpr TQuoteMark kQuoteMarks[] = {
    {0x93, {}, 1, 0, "\u201C", 1},
    {0, "'93", 1, 0, "\\'93", 4},
    {0x94, {}, 1, Kind(1) | Kind(8), "\u201D", 1},
    {0, "'94", 1, Kind(1) | Kind(8), "\\'94", 4},
    {0, "LQUOTE", 2, Kind(11), "\\lquote", 7},
    {0, "LDBLQUOTE", 8, 0, "\\ldblquote", 10},
    {0, "RDBLQUOTE", 8, Kind(1) | Kind(8), "\\rdblquote", 10},
    {0, "RQUOTE", 2, kSingleKinds, "\\rquote", 7},
    {0xAB, {}, 3, 0, "\u00AB", 1},
    {0, "'AB", 3, 0, "\\'ab", 4},
    {0xBB, {}, 3, Kind(3), "\u00BB", 1},
    {0, "'BB", 3, Kind(3), "\\'bb", 4},
    {'"', {}, 4, Kind(4), "\"", 1},
    {'\'', {}, 5, kSingleKinds | Kind(11), "'", 1},
    {'`', {}, 6, Kind(6), "`", 1},
    {'~', {}, 7, Kind(7), "~", 1},
    {0, "U8216", 9, Kind(11), nullptr, 6},
    {0, "'91", 9, Kind(11), nullptr, 4, 0x2018},
    {0x91, {}, 9, Kind(11), "\\'91", 1, 0x2018},
    {0, "U8217", 10, kSingleKinds, nullptr, 6},
    {0, "'92", 10, kSingleKinds, nullptr, 4, 0x2019},
    {0x92, {}, 10, kSingleKinds, "\\'92", 1, 0x2019},
    {0, "U8218", 11, 0, nullptr, 6},
    {0, "'82", 11, 0, nullptr, 4, 0x201A},
    {0x82, {}, 11, 0, "\\'82", 1, 0x201A},
};

// The byte of a hex escape mark ("'91").
constexpr std::uint8_t HexByte(std::string_view word) {
    return static_cast<std::uint8_t>(rtf::HexValue(word[1]) * 16 + rtf::HexValue(word[2]));
}

// The bytes that can begin a quote mark.
constexpr std::array<bool, 256> kQuoteStarts = [] {
    std::array<bool, 256> t{};
    t['\\'] = true;
    for (const TQuoteMark& m : kQuoteMarks)
        if (m.raw != 0) t[m.raw] = true;
    return t;
}();

constexpr int kMaxFieldLength = 10000;

// The byte a \'hh escape at 1-based position `at` stands for, or -1 when
// there is none.
int EscapedByte(const std::uint8_t* data, std::int32_t length, std::int32_t at) {
    if (at < 1 || at + 3 > length || data[at - 1] != '\\' || data[at] != '\'') return -1;
    const int hi = rtf::HexValue(data[at + 1]);
    const int lo = rtf::HexValue(data[at + 2]);
    return hi < 0 || lo < 0 ? -1 : hi * 16 + lo;
}

}  // namespace

// Upper-cased lookahead from Fpnt, as getns gives it.
struct TQxBaseRTFReport::TLookahead {
    static constexpr int kSize = 24;
    char c[kSize + 1] = {};
    int n = 0;
    bool StartsWith(std::string_view word) const {
        return static_cast<int>(word.size()) <= n && std::memcmp(c, word.data(), word.size()) == 0;
    }
    bool Is(const TKeyword& kw) const {
        if (!StartsWith(kw.text)) return false;
        const std::size_t len = kw.text.size();
        return !kw.wholeWord || static_cast<int>(len) >= n || !rtf::IsAsciiLetter(c[len]);
    }
};

// ---- character-level reading ------------------------------------------------

std::uint8_t TQxBaseRTFReport::ReadFb() {
    while (Fpnt <= Flent && SkippedByRead(PFileAt(Fpnt))) ++Fpnt;
    if (Fpnt > Flent) return kEofByte;
    return PFileAt(Fpnt++);
}

std::uint8_t TQxBaseRTFReport::ReadBack() {
    if (Fpnt < 2 || Fpnt > Flent + 1) return kEofByte;
    --Fpnt;
    while (Fpnt > 1 && SkippedByRead(PFileAt(Fpnt))) --Fpnt;
    return PFileAt(Fpnt);
}

std::string TQxBaseRTFReport::getns(std::int32_t n) const {
    std::string out;
    if (n <= 0) return out;
    std::int32_t p = Fpnt;
    while (static_cast<std::int32_t>(out.size()) < n) {
        while (p >= 1 && p <= Flent && SkippedByPeek(PFileAt(p))) ++p;
        if (p < 1 || p > Flent) {
            out.push_back(static_cast<char>(kEofByte));
        } else {
            out.push_back(static_cast<char>(PFileAt(p++)));
        }
    }
    return out;
}

TQxBaseRTFReport::TLookahead TQxBaseRTFReport::Peek(int n) const {
    TLookahead la;
    la.n = n < TLookahead::kSize ? n : TLookahead::kSize;
    std::int32_t p = Fpnt;
    for (int i = 0; i < la.n; ++i) {
        while (p <= Flent && SkippedByPeek(PFileAt(p))) ++p;
        if (p > Flent) {
            la.c[i] = static_cast<char>(kEofByte);
            continue;
        }
        const char ch = static_cast<char>(PFileAt(p++));
        la.c[i] = (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 'a' + 'A') : ch;
    }
    return la;
}

void TQxBaseRTFReport::SkipLetters() {
    while (!FileEof()) {
        const std::uint8_t b = ReadFb();
        if (!rtf::IsAsciiLetter(b)) {
            if (b != kEofByte) ReadBack();
            return;
        }
    }
}

void TQxBaseRTFReport::SkipChars(int n) {
    for (int i = 0; i < n; ++i) ReadFb();
}

std::string TQxBaseRTFReport::ByteText(std::uint8_t b) {
    std::string out;
    if (b < 0x80) {
        out.push_back(static_cast<char>(b));
    } else if (Codec().SingleByte()) {
        Utf8Append(out, Codec().DecodeByte(b));
    } else {
        out = Codec().Decode(std::string(1, static_cast<char>(b)));
    }
    return out;
}

std::string TQxBaseRTFReport::TemplateText(std::int32_t from, std::int32_t to) {
    if (to <= from) return {};
    const auto* data = reinterpret_cast<const char*>(FPFile) + (from - 1);
    const std::string_view bytes(data, static_cast<std::size_t>(to - from));
    for (char ch : bytes)
        if (static_cast<unsigned char>(ch) >= 0x80) return Codec().Decode(bytes);
    return std::string(bytes);
}

std::string TQxBaseRTFReport::TemplateTextFb(std::int32_t from, std::int32_t to) {
    std::string out;
    for (std::int32_t p = from; p < to && p <= Flent; ++p) {
        const std::uint8_t b = PFileAt(p);
        if (!SkippedByRead(b)) out += ByteText(b);
    }
    return out;
}

// ---- the scan loop ----------------------------------------------------------

void TQxBaseRTFReport::ResetScanner() {
    FIsFontTable = FIsColorTable = FIsStyle = FIsDocInfo = false;
    FInTable = FTableRowOpen = false;
    FKwdPnt = -1;
    FUnicodeSkipCount = 1;
    FUcStack.clear();
    FQuoteIndex = 0;
    FQuoteSkip = 0;
    FQuoteStr.clear();
    FBlocPending = false;
    FLastBoundaryPnt = -1;
    FRows = TRowState{};
    LastParagraphSearch() = TParagraphSearch{};
    FFontTracker->Reset();
    FFontCharsets.clear();
}

void TQxBaseRTFReport::UcPop() {
    if (FUcStack.empty()) {
        FUnicodeSkipCount = 0;
        return;
    }
    FUnicodeSkipCount = FUcStack.back();
    FUcStack.pop_back();
}

// Plain text is not recorded byte by byte: a run of it becomes one Bloc
// ending at `endPnt`, written only when something else must be recorded.
// The command stream is the same as if every byte had been recorded, since
// consecutive Blocs merge.
void TQxBaseRTFReport::FlushBloc(std::int32_t endPnt) {
    if (!FBlocPending) return;
    FBlocPending = false;
    const std::int32_t keep = Fpnt;
    Fpnt = endPnt;
    CmSaveBlocItem();
    Fpnt = keep;
}

bool TQxBaseRTFReport::GetNextReportField(std::string& field) {
    field.clear();
    FBlocPending = false;
    while (!FileEof()) {
        std::int32_t p = Fpnt;
        // In a double-byte code page the byte after a lead byte is text,
        // though it may be a backslash or a brace.
        const bool doubleByte = rtf::IsLeadByte(FDocCodePage, 0x81);
        while (p <= Flent && !kStopBytes[PFileAt(p)])
            p += doubleByte && p < Flent && rtf::IsLeadByte(FDocCodePage, PFileAt(p)) ? 2 : 1;
        if (p != Fpnt) FBlocPending = true;
        Fpnt = p;
        if (FileEof()) break;
        const std::int32_t at = Fpnt;
        const std::uint8_t c = ReadFb();
        if (c == '{') {
            if (ScanBrace(at)) continue;
            UcPush();
            FBlocPending = true;
        } else if (c == '}') {
            UcPop();
            FBlocPending = true;
        } else {
            const TScanStep step = ScanBackslash(at, field);
            if (step != TScanStep::Go) return step == TScanStep::Field;
        }
    }
    FlushBloc(Fpnt);
    return false;
}

// A group start: the document tables the first time each is met, and the
// groups that are copied without being searched. False when the brace is
// an ordinary one.
bool TQxBaseRTFReport::ScanBrace(std::int32_t at) {
    const TLookahead la = Peek(12);
    if (la.n == 0 || la.c[0] != '\\') return false;
    struct TTableRule {
        const TKeyword& keyword;
        bool TQxBaseRTFReport::*read;
        void (TQxBaseRTFReport::*reader)();
    };
    static const TTableRule kTables[] = {
        {kFontTable, &TQxBaseRTFReport::FIsFontTable, &TQxBaseRTFReport::ReadFontTable},
        {kColorTable, &TQxBaseRTFReport::FIsColorTable, &TQxBaseRTFReport::ReadColorTable},
        {kStyleSheet, &TQxBaseRTFReport::FIsStyle, &TQxBaseRTFReport::ReadStyleSheet},
        {kInfoGroup, &TQxBaseRTFReport::FIsDocInfo, &TQxBaseRTFReport::ReadDocInfo},
    };
    for (const TTableRule& rule : kTables) {
        if (this->*rule.read || !la.Is(rule.keyword)) continue;
        FlushBloc(at);
        Fpnt = at;
        (this->*rule.reader)();
        FLastBoundaryPnt = Fpnt;  // the body starts after the header tables
        return true;
    }
    if (!IsPassThroughGroup(la)) return false;
    FlushBloc(at);
    bool closed = false;
    Fpnt = static_cast<std::int32_t>(rtf::GroupEnd(FPFile, static_cast<std::size_t>(at),
                                                   static_cast<std::size_t>(Flent), closed)) +
           1;
    CmSaveBalancedBlocItem();
    return true;
}

int TQxBaseRTFReport::EscapedTrailLength(std::int32_t at) {
    const int lead = EscapedByte(FPFile, Flent, at);
    if (lead < 0x80 || !rtf::IsLeadByte(FontCodePageAt(at), static_cast<std::uint8_t>(lead)))
        return 0;
    return EscapedByte(FPFile, Flent, at + 4) >= 0 ? 4 : 0;
}

// Escapes that stand for text only, though they may spell a typed
// backslash (\'5c): the second byte of a double-byte character after its
// lead byte, and the fallback characters after a \uN. True when the scan
// moved past them (the backslash at `at` has been read).
bool TQxBaseRTFReport::SkipTextEscapes(std::int32_t at) {
    if (const int trail = EscapedTrailLength(at)) {
        Fpnt = at + 4 + trail;
        FBlocPending = true;
        return true;
    }
    std::int32_t p = at + 1;
    if (p > Flent || PFileAt(p) != 'u') return false;
    ++p;
    if (p <= Flent && PFileAt(p) == '-') ++p;
    if (p > Flent || !rtf::IsAsciiDigit(PFileAt(p))) return false;
    while (p <= Flent && rtf::IsAsciiDigit(PFileAt(p))) ++p;
    if (p <= Flent && PFileAt(p) == ' ') ++p;
    // The fallback: as many characters as \uc says, each a byte or a \'hh.
    for (int skipped = 0; skipped < FUnicodeSkipCount && p <= Flent;) {
        const std::uint8_t b = PFileAt(p);
        if (SkippedByRead(b)) {
            ++p;
            continue;
        }
        if (b == '{' || b == '}' || (b == '\\' && EscapedByte(FPFile, Flent, p) < 0)) break;
        p += b == '\\' ? 4 : 1;
        ++skipped;
    }
    Fpnt = p;
    FBlocPending = true;
    return true;
}

// A backslash in plain text: unicode skip counts, table rows and field
// delimiters.
TQxBaseRTFReport::TScanStep TQxBaseRTFReport::ScanBackslash(std::int32_t at, std::string& field) {
    const std::uint8_t next = at < Flent ? PFileAt(at + 1) : 0;
    if (next == '\r' || next == '\n') {
        // A backslash before a line break is a paragraph mark, never the
        // start of a field.
        FBlocPending = true;
        FLastBoundaryPnt = at + 2;
        return TScanStep::Go;
    }
    if (next == '{' || next == '}') {  // an escaped brace is text
        ++Fpnt;
        FBlocPending = true;
        return TScanStep::Go;
    }
    if ((next == '\'' || next == 'u') && SkipTextEscapes(at)) return TScanStep::Go;
    // Most control words start with a letter that no test begins with.
    switch (next) {
        case 'u':
        case 'U':
        case 't':
        case 'T':
        case 'r':
        case 'R':
        case 'i':
        case 'I':
        case 'p':
        case 'P':
        case 'c':
        case 'C':
        case 's':
        case 'S':
        case '\\':
        case '\'':
            break;
        default:
            if (rtf::IsAsciiLetter(next)) {
                FBlocPending = true;
                return TScanStep::Go;
            }
    }
    const TLookahead la = Peek(6);
    if (la.StartsWith("UC") && la.n > 2 && rtf::IsAsciiDigit(la.c[2])) {
        const TLookahead digits = Peek(20);
        std::size_t pos = 2;
        FUnicodeSkipCount = static_cast<std::int32_t>(
            rtf::ReadNumber(digits.c, pos, static_cast<std::size_t>(digits.n)));
    }
    if (la.Is(kRowDefinition) || la.Is(kInTableParagraph)) {
        FlushBloc(at);
        ReadBack();  // the table starts at the backslash
        if (!FRows.open) {
            FRows.open = true;
            ++FRows.count;
            FRows.cells = 0;
            FRows.startCm = FCmPos;
            FRows.startPnt = Fpnt;
        }
        CmSaveTableBegin();
        FInTable = true;
        if (la.Is(kRowDefinition)) FTableRowOpen = true;
        ReadFb();
        FBlocPending = true;
    } else if (la.Is(kRowEnd) || (la.Is(kParagraphReset) && FInTable && !FTableRowOpen)) {
        const bool rowEnd = la.Is(kRowEnd);
        SkipLetters();
        FBlocPending = true;
        FlushBloc(Fpnt);
        CmSaveTableEnd();
        FInTable = false;
        if (rowEnd) {
            FTableRowOpen = false;
            FLastBoundaryPnt = FRows.endPnt = Fpnt;
            FRows.open = false;
            FRows.endedRow = FRows.count;
            FRows.fieldsAfterEnd = 0;
            FRows.textAfterEndPnt = Fpnt;
            FRows.endCm = FCmPos;
            RowEnded();
        }
    } else if ((la.c[0] == '\\' && la.c[1] != '*') || la.StartsWith("'5C")) {
        FlushBloc(at);
        FKwdPnt = at;
        if (!ReadField(field)) return TScanStep::Abandoned;
        ++FRows.fieldsAfterEnd;
        return TScanStep::Field;
    } else {
        for (const TKeyword& kw : kParagraphEnds) {
            if (!la.Is(kw)) continue;
            FLastBoundaryPnt = at + 1 + static_cast<std::int32_t>(kw.text.size());
            if (&kw == &kParagraphEnds[kCellEnd]) ++FRows.cells;
        }
        FBlocPending = true;
    }
    return TScanStep::Go;
}

// ---- reading one field --------------------------------------------------------

void TQxBaseRTFReport::AppendByte(std::string& field, std::uint8_t c) {
    if (c < 0x80)
        field.push_back(static_cast<char>(c));
    else
        field += ByteText(c);
}

// Recognises a quote mark at the byte `c` just read: an opening mark when
// no quote is open, else a closing mark of the open quote's kind. On a
// match sets FQuoteSkip and FQuoteStr (and FQuoteIndex for an opening
// mark; FQuoteStr stays empty for a mark taken as written) and answers
// true; the caller moves past the mark.
bool TQxBaseRTFReport::MatchQuote(std::uint8_t c, bool closing, const TLookahead& la) {
    if (!kQuoteStarts[c]) return false;
    auto matches = [&](const TQuoteMark& m) {
        if (m.raw != 0) {
            if (c != m.raw) return false;
        } else if (c != '\\' || !la.StartsWith(m.word)) {
            return false;
        } else if (m.word[0] == 'U' && rtf::IsAsciiDigit(la.c[m.word.size()])) {
            return false;  // \u82160 is another character
        }
        return m.meaning == 0 ||
               (Codec().SingleByte() &&
                Codec().DecodeByte(m.raw != 0 ? m.raw : HexByte(m.word)) == m.meaning);
    };
    auto take = [&](const TQuoteMark& m) {
        FQuoteSkip = m.length;
        FQuoteStr = m.text != nullptr ? m.text : "";
        // A \uN mark carries its delimiting blank and the fallback
        // characters that stand in for it in readers without Unicode.
        if (m.raw == 0 && m.word[0] == 'U') FQuoteSkip += UnicodeTailLength(m.length - 1);
    };
    if (closing) {
        for (const TQuoteMark& m : kQuoteMarks) {
            if ((m.closes & Kind(FQuoteIndex)) == 0 || !matches(m)) continue;
            take(m);
            return true;
        }
        return false;
    }
    for (const TQuoteMark& m : kQuoteMarks) {
        if (!matches(m)) continue;
        take(m);
        FQuoteIndex = m.openKind;
        return true;
    }
    return false;
}

// Template characters after the first `wordLength` characters following
// the backslash of a \uN word (Fpnt just after the backslash): its
// delimiting blank and FUnicodeSkipCount fallback characters, each a hex
// escape or one plain byte.
int TQxBaseRTFReport::UnicodeTailLength(int wordLength) const {
    const TLookahead la = Peek(TLookahead::kSize);
    int at = wordLength;
    if (la.c[at] == ' ') ++at;
    for (int k = 0; k < FUnicodeSkipCount && at < la.n; ++k) {
        const char ch = la.c[at];
        if (ch == '\\' && la.c[at + 1] == '\'') {
            at += 4;
        } else if (ch == '\\' || ch == '{' || ch == '}' || ch == static_cast<char>(kEofByte)) {
            break;
        } else {
            ++at;
        }
    }
    return std::min(at, la.n) - wordLength;
}

// True when the backslash `c` just read is a typed backslash (\\ or \'5c)
// and not a backslash-asterisk or a paragraph mark (backslash before a
// line break).
bool TQxBaseRTFReport::IsFieldDelimiter(std::uint8_t c, const TLookahead& la) const {
    if (c != '\\') return false;
    const std::uint8_t next = Fpnt <= Flent ? PFileAt(Fpnt) : 0;
    if (next == '\r' || next == '\n') return false;
    return (la.c[0] == '\\' && la.c[1] != '*') || la.StartsWith("'5C");
}

// True when the byte `c` just read starts something a field cannot run
// over: a paragraph, line, cell, row, page or section break, or a group
// that is copied without being searched.
bool TQxBaseRTFReport::BeginsBreak(std::uint8_t c, const TLookahead& la) const {
    if (c == '{') return IsPassThroughGroup(la);
    if (c != '\\') return false;
    const std::uint8_t next = Fpnt <= Flent ? PFileAt(Fpnt) : 0;
    if (next == '\r' || next == '\n') return true;
    for (const TKeyword& kw : kBreakWords)
        if (la.Is(kw)) return true;
    return false;
}

bool TQxBaseRTFReport::IsPassThroughGroup(const TLookahead& la) const {
    if (!FOptions.Contains(eoProcessFormFields) && la.Is(kFormFieldGroup)) return true;
    for (const TKeyword& kw : kPassThroughGroups)
        if (la.Is(kw)) return true;
    return false;
}

// Appends `n` more template characters to the field as they are written.
void TQxBaseRTFReport::AppendChars(std::string& field, int n) {
    for (int i = 0; i < n && !FileEof(); ++i) AppendByte(field, ReadFb());
}

// Reads the field after its opening delimiter (Fpnt just after the first
// backslash). A field that is closed answers true with its raw text; one
// that runs into a paragraph or table break, a copied group, the length
// limit or the end of the template is abandoned: its opening delimiter
// becomes text and scanning goes on after it.
bool TQxBaseRTFReport::ReadField(std::string& field) {
    SkipChars(Peek(1).c[0] == '\\' ? 1 : 3);
    const std::int32_t afterOpening = Fpnt;
    int count = 0;
    FQuoteIndex = 0;
    bool complete = false;
    while (count < kMaxFieldLength && !FileEof()) {
        const std::uint8_t c = ReadFb();
        if (c == kEofByte && FileEof()) break;
        // Only a backslash or a brace starts anything that needs lookahead.
        TLookahead la;
        if (c == '\\' || c == '{') la = Peek(12);
        // A double-byte character is text, even where its bytes look like
        // a quote mark or a typed backslash.
        if (const int trail = c == '\\' && la.c[0] == '\'' ? EscapedTrailLength(Fpnt - 1) : 0) {
            field += '\\';
            AppendChars(field, 3 + trail);
            count += 4 + trail;
            continue;
        }
        const bool closes = FQuoteIndex != 0;
        if (MatchQuote(c, closes, la)) {
            if (FQuoteStr.empty()) {
                AppendByte(field, c);
                AppendChars(field, FQuoteSkip - 1);
            } else {
                field += FQuoteStr;
                SkipChars(FQuoteSkip - 1);
            }
            count += FQuoteSkip;
            if (closes) {
                if ((FQuoteIndex == 2 || FQuoteIndex == 8) && Peek(1).c[0] == ' ') {
                    field += static_cast<char>(ReadFb());
                    ++count;
                }
                FQuoteIndex = 0;
            }
            FQuoteSkip = 0;
            FQuoteStr.clear();
            continue;
        }
        if (IsFieldDelimiter(c, la)) {
            if (FQuoteIndex == 0) {
                complete = true;
                break;
            }
            // A typed backslash inside quotes is part of the quoted text.
            const int length = la.c[0] == '\\' ? 2 : 4;
            field += '\\';
            AppendChars(field, length - 1);
            count += length;
        } else if (c == '\\' && (la.c[0] == '\'' || la.c[0] == '~')) {
            const int length = la.c[0] == '\'' ? 4 : 2;
            field += '\\';
            AppendChars(field, length - 1);
            count += length;
        } else {
            AppendByte(field, c);
            ++count;
            if (FQuoteIndex == 0 && BeginsBreak(c, la)) break;
        }
    }
    FQuoteIndex = 0;
    FQuoteSkip = 0;
    FQuoteStr.clear();
    if (complete) {
        SkipChars(Peek(1).c[0] == '\\' ? 1 : 3);
        return true;
    }
    field.clear();
    Fpnt = afterOpening;
    FBlocPending = true;
    FlushBloc(Fpnt);
    return false;
}

}  // namespace qx
