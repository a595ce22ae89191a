// A field's raw RTF split into the text the author typed and the markup
// that the word processor mixed into it (kept so the field's formatting
// survives), and the removal of the paragraph mark after a command that
// stands alone in its paragraph.
#include <algorithm>
#include <functional>
#include <string_view>

#include "platform/unicode.h"
#include "qxbasereport/base_rtf_report.h"
#include "qxbasereport/rtf_syntax.h"

namespace qx {

namespace {

// Padding after the input so that lookahead never runs off its end.
constexpr std::size_t kPadding = 10;

// Characters that are field text when they stand in the raw text as they
// are; the others (control characters, the circumflex, braces, backslash
// and characters beyond Cyrillic) are markup.
constexpr bool IsPlainTextChar(char32_t c) {
    return (c >= 0x20 && c <= 0x5B) || c == 0x5D || (c >= 0x5F && c <= 0x7A) || c == 0x7C ||
           (c >= 0x7E && c <= 0x44F);
}

// Control words that stand for quote marks in field text.
struct TQuoteWord {
    const char32_t* word;
    char32_t text;
};
constexpr TQuoteWord kQuoteWords[] = {
    {U"lquote", U'\''},
    {U"rquote", U'\''},
    {U"ldblquote", 0x201C},
    {U"rdblquote", 0x201D},
};

constexpr bool IsBlank(char32_t c) {
    return c <= 0x20;
}

std::u32string Trim(const std::u32string& s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// UTF-16 surrogate pairs given as two \u words become one character; a
// lone surrogate cannot be text and becomes U+FFFD.
std::u32string JoinSurrogates(const std::u32string& s) {
    std::u32string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char32_t c = s[i];
        const bool high = c >= 0xD800 && c <= 0xDBFF;
        if (high && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            out.push_back(0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00));
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            out.push_back(0xFFFD);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// Keeps a saved copy of the unicode skip state and puts it back unless
// told to keep the changes, for text that the scanner reads again.
class TUcStateGuard {
  public:
    TUcStateGuard(std::int32_t& count, std::vector<std::int32_t>& stack)
        : FCount(count), FStack(stack), FSavedCount(count), FSavedStack(stack) {}
    ~TUcStateGuard() {
        if (FKeep) return;
        FCount = FSavedCount;
        FStack = FSavedStack;
    }
    TUcStateGuard(const TUcStateGuard&) = delete;
    TUcStateGuard& operator=(const TUcStateGuard&) = delete;
    void Keep() { FKeep = true; }

  private:
    std::int32_t& FCount;
    std::vector<std::int32_t>& FStack;
    std::int32_t FSavedCount;
    std::vector<std::int32_t> FSavedStack;
    bool FKeep = false;
};

}  // namespace

// ---- first pass: text and markup ---------------------------------------------

namespace {

// One first pass over raw field text: text characters (after fallback
// dropping) and markup, keeping the unicode skip state of the document.
class TFieldTextSplitter {
  public:
    using TByteChar = std::function<char32_t(std::uint8_t)>;
    TFieldTextSplitter(std::int32_t& skipCount, std::vector<std::int32_t>& stack,
                       TByteChar byteChar)
        : FSkipCount(skipCount), FStack(stack), FByteChar(std::move(byteChar)) {}

    void Run(const std::string& raw) {
        FIn = Utf8ToUtf32(raw);
        FLength = FIn.size();
        FIn.append(kPadding, U' ');
        std::size_t i = 0;
        while (i < FLength) {
            const char32_t c = FIn[i];
            if (c == '\\') {
                i = Escape(i);
            } else if (c == '{') {
                i = Group(i);
            } else if (c == '}') {
                Utf8Append(FMarkup, c);
                Pop();
                ++i;
            } else {
                if (IsPlainTextChar(c))
                    Emit(c);
                else
                    Utf8Append(FMarkup, c);
                ++i;
            }
        }
    }
    const std::u32string& Text() const { return FText; }
    const std::string& Markup() const { return FMarkup; }

  private:
    void Push() { FStack.push_back(FSkipCount); }
    void Pop() {
        FSkipCount = FStack.empty() ? 0 : FStack.back();
        if (!FStack.empty()) FStack.pop_back();
    }
    void CopyToMarkup(std::size_t from, std::size_t to) {
        for (std::size_t k = from; k < to && k < FLength; ++k) Utf8Append(FMarkup, FIn[k]);
    }
    // Every text character passes here: the fallback characters after a
    // \u character are dropped.
    void Emit(char32_t c) {
        if (FDropping) {
            if (++FDropped >= FSkipCount) {
                FDropping = false;
                FDropped = 0;
            }
            return;
        }
        FText.push_back(c);
    }
    bool WordAt(std::size_t i, const char32_t* word) const {
        std::size_t k = 0;
        for (; word[k] != 0; ++k)
            if (FIn[i + k] != word[k]) return false;
        return !rtf::IsAsciiLetter(FIn[i + k]) && !rtf::IsAsciiDigit(FIn[i + k]);
    }

    // A brace opens a group; paragraph-numbering text is never field text.
    std::size_t Group(std::size_t i) {
        Utf8Append(FMarkup, FIn[i]);
        Push();
        static constexpr char32_t kNumbering[] = U"\\*\\pn";
        const bool numbering = FLength - (i + 1) >= 7 &&
                               std::u32string_view(FIn).substr(i + 1, 5) == kNumbering &&
                               (FIn[i + 6] == ' ' || rtf::IsAsciiLetter(FIn[i + 6]));
        if (!numbering) return i + 1;
        bool closed = false;
        const std::size_t end = rtf::GroupEnd(FIn.data(), i + 1, FLength, closed);
        CopyToMarkup(i + 1, end);
        if (closed) Pop();
        return end;
    }

    std::size_t Escape(std::size_t i) {
        const char32_t d = FIn[i + 1];
        if (d == '\'') {
            const int hi = rtf::HexValue(FIn[i + 2]);
            const int lo = rtf::HexValue(FIn[i + 3]);
            if (hi >= 0 && lo >= 0 && (hi | lo) != 0)
                Emit(FByteChar(static_cast<std::uint8_t>(hi * 16 + lo)));
            return i + 4;
        }
        if ((d == 'u' || d == 'U') &&
            (rtf::IsAsciiDigit(FIn[i + 2]) || (FIn[i + 2] == '-' && rtf::IsAsciiDigit(FIn[i + 3]))))
            return UnicodeChar(i);
        if (d == '\\' || d == '{' || d == '}' || d == '~') {
            Emit(d == '~' ? U' ' : d);
            return i + 2;
        }
        for (const TQuoteWord& q : kQuoteWords) {
            if (!WordAt(i + 1, q.word)) continue;
            Emit(q.text);
            std::size_t j = i + 1 + std::char_traits<char32_t>::length(q.word);
            if (j < FLength && FIn[j] == ' ') ++j;
            return j;
        }
        return ControlWord(i);
    }

    // \uN: one UTF-16 unit, then the fallback characters are dropped. A
    // negative N is the unit N + 65536, as writers give units above 32767.
    std::size_t UnicodeChar(std::size_t i) {
        std::size_t j = i + 2;
        const bool negative = FIn[j] == '-';
        if (negative) ++j;
        std::int64_t n = rtf::ReadNumber(FIn.data(), j, FLength);
        if (negative) n = 65536 - n;
        Emit(n >= 0 && n <= 0xFFFF ? static_cast<char32_t>(n) : 0xFFFD);
        if (j < FLength && FIn[j] == ' ') ++j;
        if (FSkipCount > 0) {
            FDropping = true;
            FDropped = 0;
        }
        return j;
    }

    // Any other control word (letters, an optional signed number and one
    // delimiting space) or control symbol goes to the markup whole.
    std::size_t ControlWord(std::size_t i) {
        std::size_t j = i + 1;
        if (!rtf::IsAsciiLetter(FIn[j])) {
            CopyToMarkup(i, i + 2);
            return std::min(i + 2, FLength);
        }
        while (j < FLength && rtf::IsAsciiLetter(FIn[j])) ++j;
        const bool uc = j - i == 3 && (FIn[i + 1] == 'u' || FIn[i + 1] == 'U') &&
                        (FIn[i + 2] == 'c' || FIn[i + 2] == 'C');
        const bool negative = FIn[j] == '-' && rtf::IsAsciiDigit(FIn[j + 1]);
        if (negative) ++j;
        const std::size_t digits = j;
        const std::int64_t value = rtf::ReadNumber(FIn.data(), j, FLength);
        if (uc && !negative && j > digits) FSkipCount = static_cast<std::int32_t>(value);
        if (j < FLength && FIn[j] == ' ') ++j;
        CopyToMarkup(i, j);
        return j;
    }

    std::int32_t& FSkipCount;
    std::vector<std::int32_t>& FStack;
    TByteChar FByteChar;
    std::u32string FIn;
    std::size_t FLength = 0;
    std::u32string FText;
    std::string FMarkup;
    bool FDropping = false;
    std::int32_t FDropped = 0;
};

}  // namespace

// ---- second pass: blanks, quotes and brackets ----------------------------------

std::u32string TQxBaseRTFReport::SplitFieldText(const std::string& s, std::string& rtf) {
    TFieldTextSplitter splitter(FUnicodeSkipCount, FUcStack, [this](std::uint8_t b) {
        const std::string one = ByteText(b);
        std::size_t pos = 0;
        return Utf8Next(one, pos);
    });
    splitter.Run(s);
    rtf = splitter.Markup();
    return Trim(JoinSurrogates(splitter.Text()));
}

std::string TQxBaseRTFReport::TypedFieldText(const std::string& s) {
    // Read again for a message: the scanner's unicode state stays as it is.
    TUcStateGuard guard(FUnicodeSkipCount, FUcStack);
    std::string markup;
    return Utf32ToUtf8(SplitFieldText(s, markup));
}

void TQxBaseRTFReport::CutRtString(const std::string& s, std::string& text, std::string& rtf) {
    // Blanks are insignificant except inside quotes and square brackets;
    // the brackets themselves only keep a name's blanks together.
    const std::u32string raw = SplitFieldText(s, rtf);
    std::u32string kept;
    char32_t open = 0;
    bool inQuote = false;
    bool inBrackets = false;
    for (char32_t c : raw) {
        if (!inQuote && LeftQuote(c)) {
            inQuote = true;
            open = c;
            kept.push_back(c);
        } else if (inQuote) {
            kept.push_back(c);
            if (RightQuote(open, c)) inQuote = false;
        } else if (c == '[') {
            inBrackets = true;
        } else if (c == ']') {
            inBrackets = false;
        } else if (c != ' ' || inBrackets) {
            kept.push_back(c);
        }
    }
    text = Utf32ToUtf8(Trim(kept));
}

// ---- paragraph clean-up ----------------------------------------------------------

namespace {

// Groups that never show text in the body: ignorable destinations and the
// header tables some writers put after the ones the report reads.
constexpr std::string_view kHiddenGroups[] = {
    "\\*",      "\\fonttbl",           "\\colortbl", "\\stylesheet", "\\info",     "\\listtable",
    "\\revtbl", "\\listoverridetable", "\\rsidtbl",  "\\pgdsctbl",   "\\xmlnstbl", "\\generator",
};

bool StartsHiddenGroup(std::string_view rtf, std::size_t brace) {
    const std::string_view after = rtf.substr(brace + 1);
    for (std::string_view word : kHiddenGroups) {
        if (after.substr(0, word.size()) != word) continue;
        const std::size_t end = word.size();
        if (word == "\\*" || end >= after.size() || !rtf::IsAsciiLetter(after[end])) return true;
    }
    return false;
}

// The RTF without the groups that show no text, so that only what a reader
// shows decides whether a paragraph is empty.
std::string WithoutHiddenGroups(const std::string& rtf) {
    std::string out;
    for (std::size_t i = 0; i < rtf.size(); ++i) {
        if (rtf[i] == '\\' && i + 1 < rtf.size()) {  // an escaped character stays whole
            out += rtf[i];
            out += rtf[++i];
            continue;
        }
        if (rtf[i] == '{' && StartsHiddenGroup(rtf, i)) {
            bool closed = false;
            i = rtf::GroupEnd(rtf.data(), i + 1, rtf.size(), closed) - 1;  // on its last brace
            continue;
        }
        out += rtf[i];
    }
    return out;
}

// Control words after a backslash that end the search for a command's
// paragraph mark: the command's paragraph ends in a table cell or row, or
// a new section starts, so there is no \par of its own to remove.
constexpr std::string_view kOtherParagraphEnds[] = {"CELL", "ROW", "TROWD", "SECT", "NESTCELL"};

bool WholeWordAt(const std::string& next, std::string_view word) {
    if (UpperCase(next.substr(0, word.size())) != word) return false;
    const auto after = static_cast<std::uint8_t>(next[word.size()]);
    return !rtf::IsAsciiLetter(after) && !rtf::IsAsciiDigit(after);
}

}  // namespace

// A long stretch is looked at in growing prefixes, so that the first text
// ends the look and every command of a long paragraph does not read the
// whole of it. A prefix ends before a blank, a backslash or a brace that
// does not follow a backslash: a control word or a run of text ends there,
// and what the prefix shows as text the whole stretch shows too (an escape
// cut short shows less, never more).
bool TQxBaseRTFReport::HasVisibleText(std::int32_t from, std::int32_t to) {
    return LookForText(from, to).textBy >= 0;
}

TQxBaseRTFReport::TTextLook TQxBaseRTFReport::LookForText(std::int32_t from, std::int32_t to) {
    constexpr std::int32_t kFirstLook = 256;
    const std::int32_t end = std::min(to, Flent + 1);
    auto cutsBefore = [&](std::int32_t p) {
        const std::uint8_t b = PFileAt(p);
        return (b == ' ' || b == '\\' || b == '{' || b == '}') && PFileAt(p - 1) != '\\';
    };
    TTextLook look{FPFile, from, to, from, -1};
    for (std::int64_t size = kFirstLook;; size *= 2) {
        auto cut = static_cast<std::int32_t>(std::min<std::int64_t>(from + size, end));
        while (cut < end && (cut <= from || !cutsBefore(cut))) ++cut;
        if (cut >= end) {
            if (ShowsText(from, to)) look.textBy = to;
            return look;
        }
        if (ShowsText(from, cut)) {
            look.textBy = cut;
            return look;
        }
        look.textFrom = cut;
    }
}

// The commands of one paragraph ask this of ever shorter ends of the same
// stretch: once a stretch shows no text, neither does any end of it, and
// one whose text comes after a command still has it for the commands
// before that text.
bool TQxBaseRTFReport::TextBeforeMark(std::int32_t from, std::int32_t mark) {
    const TTextLook& last = FLastLookAhead;
    if (last.file == FPFile && last.to == mark && last.from >= 0 && last.from <= from) {
        if (last.textBy < 0) return false;
        if (from <= last.textFrom) return true;
    }
    FLastLookAhead = LookForText(from, mark);
    return FLastLookAhead.textBy >= 0;
}

// The commands after some text ask this of ever longer stretches from the
// same boundary: once one shows text, so does every longer one.
bool TQxBaseRTFReport::TextSinceBoundary(std::int32_t boundary, std::int32_t to) {
    const TTextLook& last = FLastLookBack;
    if (last.file == FPFile && last.from == boundary && last.textBy >= 0 && last.textBy <= to)
        return true;
    FLastLookBack = LookForText(boundary, to);
    return FLastLookBack.textBy >= 0;
}

bool TQxBaseRTFReport::ShowsText(std::int32_t from, std::int32_t to) {
    // Only a look: the skip state stays as the scanner left it.
    TUcStateGuard guard(FUnicodeSkipCount, FUcStack);
    std::string text, markup;
    CutRtString(WithoutHiddenGroups(TemplateTextFb(from, to)), text, markup);
    return !text.empty();
}

// From the scan position: the position of the backslash of the next \par,
// or -1 when the paragraph ends otherwise (cell, row, section) or the
// template ends first. Typed backslashes and braces are text on the way.
//
// Every command of a paragraph searches from its own end to the same mark;
// once a search reads, from a loop's start, a character the last search
// also read there (any but a backslash or a brace, which may be the second
// of an escaped pair), it would go on exactly as that one did, so it takes
// that one's answer: a long paragraph full of commands costs one pass, not
// one per command.
std::int32_t TQxBaseRTFReport::FindParagraphMark() {
    const std::int32_t from = Fpnt;
    const TParagraphSearch& last = FLastParagraphSearch;
    const bool mayReuse = last.file == FPFile && last.from >= 0 && last.from <= from;
    auto answer = [&](std::int32_t stop, std::int32_t result) {
        FLastParagraphSearch = {FPFile, from, stop, result};
        return result;
    };
    while (!FileEof()) {
        const std::uint8_t c = ReadFb();
        const std::int32_t at = Fpnt - 1;
        if (mayReuse && at < last.stop && c != '\\' && c != '{' && c != '}') {
            // The caller reads on after a found mark's backslash.
            if (last.result >= 0) Fpnt = last.result + 1;
            return last.result;
        }
        if (c != '\\') continue;
        const std::string next = getns(10);
        if (next[0] == '\\' || next[0] == '{' || next[0] == '}') {
            ReadFb();
            continue;
        }
        if (WholeWordAt(next, "PAR")) return answer(at, at);
        for (std::string_view word : kOtherParagraphEnds)
            if (WholeWordAt(next, word)) return answer(at, -1);
    }
    return answer(Flent + 1, -1);
}

// The text before the command counts from the last paragraph mark (or the
// end of the command before it, when nothing visible preceded that one):
// commands are not text, so several commands alone on a line leave no
// empty paragraph either.
void TQxBaseRTFReport::KillPar(std::string& rtf) {
    rtf.clear();
    FKillParMarkup.clear();
    const std::int32_t start = Fpnt;
    bool emptyBefore = true;
    if (FLastBoundaryPnt >= 0 && FLastBoundaryPnt < FKwdPnt)
        emptyBefore = !TextSinceBoundary(FLastBoundaryPnt, FKwdPnt);
    const std::int32_t parAt = emptyBefore ? FindParagraphMark() : -1;
    if (parAt >= 0 && !TextBeforeMark(start, parAt)) {
        // The markup replaces these bytes and the scanner skips them, so
        // their groups and \uc words count now.
        std::string text;
        CutRtString(TemplateTextFb(start, parAt), text, rtf);
        FKillParMarkup = rtf;
        FLastBoundaryPnt = parAt;
        SkipChars(3);
        if (Fpnt <= Flent && PFileAt(Fpnt) == ' ') ++Fpnt;
        return;
    }
    Fpnt = start;
    if (emptyBefore) FLastBoundaryPnt = start;
}

}  // namespace qx
