// Merging a fragment's font, colour and style tables into the report's:
// identical entries are shared, others appended under fresh numbers, and
// every fragment number is mapped to its merged number.
#include "qxrtfstream/internal/merge_tables.h"

#include <algorithm>

#include "qxrtfstream/internal/qxrtfstream.h"

namespace qx {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The digits of `s` from `at`; `end` is set after them. Empty when there
// are none or when they do not fit a font or style number.
std::string DigitsAt(const std::string& s, std::size_t at, std::size_t& end) {
    end = at;
    while (end < s.size() && IsDigit(s[end])) ++end;
    if (end - at > 5 || (end > at && std::stoi(s.substr(at, end - at)) > 0xFFFF)) {
        end = at;
        return {};
    }
    return s.substr(at, end - at);
}

std::string WithoutControlBytes(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (const char c : s)
        if (static_cast<unsigned char>(c) >= 32) out += c;
    return out;
}

// Replaces the number after every (or only the first) occurrence of
// `keyword` followed by digits with `renumber` of it.
template <class Renumber>
void RenumberAfter(std::string& s, const std::string& keyword, bool firstOnly, Renumber renumber) {
    std::size_t from = 0;
    while ((from = s.find(keyword, from)) != std::string::npos) {
        const std::size_t digits = from + keyword.size();
        std::size_t end = digits;
        while (end < s.size() && IsDigit(s[end])) ++end;
        if (end == digits || end - digits > 9) {
            from = digits;
            continue;
        }
        const std::string replaced =
            std::to_string(renumber(std::stoi(s.substr(digits, end - digits))));
        s.replace(digits, end - digits, replaced);
        if (firstOnly) return;
        from = digits + replaced.size();
    }
}

// The first "\snext" clause with its digits cut out; `had` tells whether
// there was one.
std::string WithoutSnext(const std::string& s, bool& had) {
    static const std::string kSnext = "\\snext";
    std::size_t at = s.find(kSnext);
    while (at != std::string::npos) {
        std::size_t end = at + kSnext.size();
        while (end < s.size() && IsDigit(s[end])) ++end;
        if (end > at + kSnext.size()) {
            had = true;
            return s.substr(0, at) + s.substr(end);
        }
        at = s.find(kSnext, at + 1);
    }
    had = false;
    return s;
}

// The number after the first `keyword` followed by digits, or -1. Only its
// first nine digits count, so that any number of digits reads as a number.
std::int64_t NumberAfter(const std::string& s, const std::string& keyword) {
    std::size_t at = s.find(keyword);
    while (at != std::string::npos) {
        const std::size_t digits = at + keyword.size();
        std::size_t end = digits;
        while (end < s.size() && IsDigit(s[end]) && end - digits < 9) ++end;
        if (end > digits) return std::stoll(s.substr(digits, end - digits));
        at = s.find(keyword, at + 1);
    }
    return -1;
}

// The merged number of a fragment's entry: that of the existing entry at
// `existing`, or, with `existing` -1, a fresh one after the highest, under
// which the entry is appended (and indexed under `key`). -1 when the numbers
// are used up.
template <class Entry>
std::int32_t MatchOrAppend(std::vector<Entry>& entries, TQXFirstIndex& index, std::string key,
                           int existing, int& highNumber, Entry& entry) {
    if (existing >= 0) return entries[static_cast<std::size_t>(existing)].n;
    if (highNumber >= 0xFFFF) return -1;
    entry.n = static_cast<std::uint16_t>(++highNumber);
    index.Add(std::move(key), static_cast<int>(entries.size()));
    entries.push_back(std::move(entry));
    return highNumber;
}

}  // namespace

// ---- fonts ------------------------------------------------------------------

namespace {
// "{\fN" + text + "}": the number and the rest, or false.
bool SplitFont(const std::string& s, TQXFontStr& font) {
    if (s.size() <= 5 || s.compare(0, 3, "{\\f") != 0 || !IsDigit(s[3]) || s.back() != '}')
        return false;
    std::size_t end = 0;
    const std::string digits = DigitsAt(s, 3, end);
    if (digits.empty()) return false;
    font.n = static_cast<std::uint16_t>(std::stoi(digits));
    font.text = s.substr(end);
    return true;
}
}  // namespace

bool TQXFontStrings::Add(const std::string& s) {
    TQXFontStr font;
    if (!SplitFont(s, font)) return false;
    FHighNumber = std::max<int>(FHighNumber, font.n);
    FIndex.Add(font.text, Count());
    FStrings.push_back(std::move(font));
    return true;
}

std::vector<std::string> TQXFontStrings::AddFromList(const TStringList& list) {
    std::vector<std::string> rejected;
    for (int i = 0; i < list.Count(); ++i)
        if (!Add(list.Strings(i))) rejected.push_back(list.Strings(i));
    return rejected;
}

bool TQXFontStrings::AddNew(const std::string& s) {
    TQXFontStr font;
    if (!SplitFont(s, font)) return false;
    const std::int32_t fragmentNumber = font.n;
    const std::string key = font.text;
    const std::int32_t merged =
        MatchOrAppend(FStrings, FIndex, key, FindNumber(key), FHighNumber, font);
    if (merged < 0) return false;
    AddRepl(fragmentNumber, merged);
    return true;
}

int TQXFontStrings::FindNumber(const std::string& text) const {
    return FIndex.Find(text);
}

std::string TQXFontStrings::GetString(int index) const {
    if (index < 0 || index >= Count()) return {};
    const TQXFontStr& font = FStrings[static_cast<std::size_t>(index)];
    return "{\\f" + std::to_string(font.n) + font.text;
}

// ---- colours ----------------------------------------------------------------

bool TQXColorStrings::Add(const std::string& s) {
    // Kept whatever its shape: an entry's place is its colour number, and the
    // entries after it must keep theirs.
    FIndex.Add(s, Count());
    FStrings.push_back(s);
    return !s.empty() && s.back() == ';';
}

bool TQXColorStrings::AddNew(std::int32_t number, const std::string& s) {
    if (s.empty() || s.back() != ';') return false;
    int index = FindNumber(s);
    if (index < 0) {
        index = Count();
        FIndex.Add(s, index);
        FStrings.push_back(s);
    }
    AddRepl(number, index);
    return true;
}

int TQXColorStrings::FindNumber(const std::string& s) const {
    return FIndex.Find(s);
}

std::string TQXColorStrings::GetString(int index) const {
    if (index < 0 || index >= Count()) return {};
    return FStrings[static_cast<std::size_t>(index)];
}

// ---- styles -----------------------------------------------------------------

TQXStyleKind TQXStyleStrings::CutNumber(std::string& s, std::string& number) {
    struct Prefix {
        const char* text;
        TQXStyleKind kind;
    };
    static constexpr Prefix kPrefixes[] = {
        {"{\\s", skParagraph}, {"{\\*\\cs", skCharacter}, {"{\\*\\ds", skSection},
        {"{\\*\\ts", skTable}, {"{\\cs", skCharacter},    {"{\\ds", skSection},
        {"{\\ts", skTable},
    };
    for (const Prefix& p : kPrefixes) {
        const std::string prefix = p.text;
        // Only a number makes the prefix a style number: "{\sa120" is space
        // after in a style written without one.
        if (s.compare(0, prefix.size(), prefix) != 0 || s.size() <= prefix.size() ||
            !IsDigit(s[prefix.size()]))
            continue;
        std::size_t end = 0;
        number = DigitsAt(s, prefix.size(), end);
        if (number.empty()) break;
        s = s.substr(end);
        return p.kind;
    }
    number = "0";
    s = s.substr(1);
    return skParagraph;
}

bool TQXStyleStrings::Split(const std::string& s, TQXStyleStr& style) const {
    std::string text = WithoutControlBytes(s);
    if (text.size() <= 5 || text.front() != '{' || !text.ends_with(";}")) return false;
    std::string number;
    style.t = CutNumber(text, number);
    style.n = static_cast<std::uint16_t>(std::stoi(number));
    style.text = std::move(text);
    return true;
}

bool TQXStyleStrings::Add(const std::string& s) {
    TQXStyleStr style;
    if (!Split(s, style)) return false;
    FHighNumber = std::max<int>(FHighNumber, style.n);
    Append(std::move(style));
    return true;
}

void TQXStyleStrings::Append(TQXStyleStr style) {
    FIndex.Add(MatchKey(style.text), Count());
    FStrings.push_back(std::move(style));
}

std::string TQXStyleStrings::MatchKey(const std::string& text) {
    bool hasNext = false;
    std::string key = WithoutSnext(text, hasNext);
    key.insert(0, 1, hasNext ? '+' : '-');
    return key;
}

bool TQXStyleStrings::AddNew(const std::string& s) {
    TQXStyleStr style;
    if (!Split(s, style)) return false;
    const std::int32_t fragmentNumber = style.n;
    // A style that refers to other styles is in the fragment's numbering
    // still: it cannot be compared with the report's styles.
    const std::int64_t next = NumberAfter(style.text, "\\snext");
    const bool selfContained = NumberAfter(style.text, "\\sbasedon") < 0 &&
                               NumberAfter(style.text, "\\slink") < 0 &&
                               (next < 0 || next == fragmentNumber);
    style.new_ = true;  // if appended
    const std::string key = MatchKey(style.text);
    const std::int32_t merged = MatchOrAppend(FStrings, FIndex, key,
                                              selfContained ? FIndex.Find(key) : -1, FHighNumber, style);
    if (merged < 0) return false;
    AddRepl(fragmentNumber, merged);
    return true;
}

void TQXStyleStrings::CorrectNewStyles() {
    bool corrected = false;
    for (TQXStyleStr& style : FStrings) {
        if (!style.new_) continue;
        RenumberAfter(style.text, "\\f", false,
                      [this](std::int32_t n) { return FOwnerQXS->FontTable().Old2New(n); });
        RenumberAfter(style.text, "\\cf", false,
                      [this](std::int32_t n) { return FOwnerQXS->ColorTable().Old2New(n); });
        for (const char* keyword : {"\\snext", "\\sbasedon", "\\slink"})
            RenumberAfter(style.text, keyword, true, [this](std::int32_t n) { return Old2New(n); });
        style.new_ = false;
        corrected = true;
    }
    if (!corrected) return;
    // The texts changed: indexed again, the first of equal ones winning.
    FIndex.Clear();
    for (std::size_t i = 0; i < FStrings.size(); ++i)
        FIndex.Add(MatchKey(FStrings[i].text), static_cast<int>(i));
}

int TQXStyleStrings::FindNumber(const std::string& text) const {
    return FIndex.Find(MatchKey(text));
}

std::string TQXStyleStrings::GetString(int index) const {
    if (index < 0 || index >= Count()) return {};
    const TQXStyleStr& style = FStrings[static_cast<std::size_t>(index)];
    static constexpr const char* kPrefix[] = {"", "{\\s", "{\\*\\cs", "{\\ds", "{\\*\\ts"};
    return kPrefix[style.t] + std::to_string(style.n) + style.text;
}

}  // namespace qx
