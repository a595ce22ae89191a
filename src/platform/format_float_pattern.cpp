// FormatFloat: floating point to text by a pattern of digit placeholders,
// separators, exponent markers, literals and up to three sections
// (positive;negative;zero).
#include <algorithm>
#include <climits>
#include <string_view>

#include "platform/internal/conv.h"
#include "platform/sysutils.h"

namespace qx {
namespace {

using conv::Decimal;
using conv::TextWriter;

using conv::SkipQuoted;

bool IsQuote(char c) {
    return c == '\'' || c == '"';
}

bool IsExponentMarker(std::string_view s, std::size_t i) {
    return (s[i] == 'E' || s[i] == 'e') && i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-');
}

std::size_t CountZeros(std::string_view s, std::size_t i) {
    std::size_t n = 0;
    while (i + n < s.size() && s[i + n] == '0') ++n;
    return n;
}

// Splits the pattern at ';' outside quotes into at most three sections.
int SplitSections(std::string_view pattern, std::string_view (&sections)[3]) {
    int n = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < pattern.size() && n < 2;) {
        if (IsQuote(pattern[i])) {
            i = SkipQuoted(pattern, i);
        } else if (pattern[i] == ';') {
            sections[n++] = pattern.substr(start, i - start);
            start = ++i;
        } else {
            ++i;
        }
    }
    std::string_view last = pattern.substr(start);
    // A fourth section has no meaning; it is cut off with its ';'.
    for (std::size_t i = 0; i < last.size();) {
        if (IsQuote(last[i])) {
            i = SkipQuoted(last, i);
        } else if (last[i] == ';') {
            last = last.substr(0, i);
        } else {
            ++i;
        }
    }
    sections[n++] = last;
    return n;
}

// What a section asks for. Placeholders ('0' and '#') are numbered from 0
// in pattern order; decimalIndex of them stand before the decimal point.
struct SectionInfo {
    int digitCount = 0;
    int decimalIndex = -1;
    int firstZero = INT_MAX;  // first '0' placeholder: integer zeros show from here
    int lastZero = 0;         // one past the last '0': fraction zeros show up to here
    bool scientific = false;
    bool thousands = false;
};

SectionInfo ScanSection(std::string_view s) {
    SectionInfo info;
    for (std::size_t i = 0; i < s.size();) {
        const char c = s[i];
        if (c == '#') {
            ++info.digitCount;
        } else if (c == '0') {
            info.firstZero = std::min(info.firstZero, info.digitCount);
            info.lastZero = ++info.digitCount;
        } else if (c == '.') {
            if (info.decimalIndex < 0) info.decimalIndex = info.digitCount;
        } else if (c == ',') {
            info.thousands = true;
        } else if (IsExponentMarker(s, i)) {
            info.scientific = true;
            i += 2 + CountZeros(s, i + 2);
            continue;
        } else if (IsQuote(c)) {
            i = SkipQuoted(s, i);
            continue;
        }
        ++i;
    }
    if (info.decimalIndex < 0) info.decimalIndex = info.digitCount;
    return info;
}

void RoundForSection(Decimal& d, const SectionInfo& info) {
    if (info.scientific) {
        conv::RoundDecimal(d, std::clamp(info.digitCount, 1, conv::kMaxPrecision),
                           conv::kUnlimitedDecimals);
    } else {
        conv::RoundDecimal(d, conv::kMaxPrecision, info.digitCount - info.decimalIndex);
    }
}

// Writes one section for the rounded value r.
class SectionWriter {
  public:
    SectionWriter(TextWriter& w, const SectionInfo& info, const Decimal& r,
                  const TFormatSettings& fs)
        : w_(w), info_(info), r_(r), fs_(fs) {
        const int e = r.IsZero() ? 0 : r.exponent;
        // In scientific form the digits fill every integer placeholder; zero
        // has no digits to fill them with and shows like a plain zero.
        offset_ = info.scientific && !r.IsZero() ? 0 : e - info.decimalIndex;
        shownExponent_ = info.scientific && !r.IsZero() ? e - info.decimalIndex : 0;
        group_ = info.thousands && !info.scientific && !fs.ThousandSeparator.empty();
        fractionShown_ = info.lastZero > info.decimalIndex || r.count > info.decimalIndex + offset_;
    }

    void Write(std::string_view s) {
        for (std::size_t i = 0; i < s.size();) {
            const char c = s[i];
            if (c == '#' || c == '0') {
                Placeholder();
            } else if (c == '.') {
                DecimalPoint();
            } else if (IsExponentMarker(s, i)) {
                const std::size_t zeros = CountZeros(s, i + 2);
                Exponent(c, s[i + 1] == '+', static_cast<int>(zeros));
                i += 2 + zeros;
                continue;
            } else if (IsQuote(c)) {
                std::size_t end = 0;
                w_.Put(conv::QuotedLiteral(s, i, end));
                i = end;
                continue;
            } else if (c != ',') {
                w_.Put(c);
            }
            ++i;
        }
    }

  private:
    void IntegerDigit(char digit, int power) {
        w_.Put(digit);
        if (group_ && power > 0 && power % 3 == 0) w_.Put(fs_.ThousandSeparator);
    }
    // Integer digits beyond the integer placeholders all go before the first
    // of them (or before the decimal point when there is none).
    void Excess() {
        if (excessDone_) return;
        excessDone_ = true;
        const int e = r_.exponent;
        for (int k = 0; k < offset_; ++k) IntegerDigit(r_.DigitAt(k), e - 1 - k);
    }
    void Placeholder() {
        const int p = placeholder_++;
        const int j = p + offset_;
        if (p < info_.decimalIndex) {
            Excess();
            // A zero in scientific form still shows one digit, in the last
            // integer placeholder: "#.###E-0" gives 0E0.
            const bool zeroDigit = info_.scientific && r_.IsZero() && p == info_.decimalIndex - 1;
            if (j >= 0 || p >= info_.firstZero || zeroDigit)
                IntegerDigit(r_.DigitAt(j), info_.decimalIndex - 1 - p);
        } else if (j < r_.count || p < info_.lastZero) {
            w_.Put(r_.DigitAt(j));
        }
    }
    void DecimalPoint() {
        if (decimalSeen_) return;
        decimalSeen_ = true;
        Excess();
        if (fractionShown_) w_.Put(fs_.DecimalSeparator);
    }
    void Exponent(char marker, bool plus, int zeros) {
        conv::PutExponent(w_, marker, shownExponent_, plus,
                          std::min(zeros, conv::kMaxExponentDigits));
    }

    TextWriter& w_;
    const SectionInfo& info_;
    const Decimal& r_;
    const TFormatSettings& fs_;
    int offset_ = 0;
    int shownExponent_ = 0;
    int placeholder_ = 0;
    bool group_ = false;
    bool fractionShown_ = false;
    bool excessDone_ = false;
    bool decimalSeen_ = false;
};

}  // namespace

std::string FormatFloat(const std::string& pattern, double v, const TFormatSettings& fs) {
    TextWriter w;
    if (conv::PutNonFinite(w, v)) return w.Str();
    std::string_view sections[3];
    const int n = SplitSections(pattern, sections);
    const auto usable = [&](int i) { return i < n && !sections[i].empty(); };

    const Decimal d = conv::ToDecimal(v);
    int idx = 0;
    if (d.negative && usable(1)) idx = 1;
    if (d.IsZero() && usable(2)) idx = 2;
    if (sections[idx].empty()) return FloatToStrF(v, ffGeneral, conv::kMaxPrecision, 0, fs);

    SectionInfo info = ScanSection(sections[idx]);
    Decimal r = d;
    RoundForSection(r, info);
    if (r.IsZero() && idx != 2) {
        // A value that rounds to zero is shown as zero: by the zero section
        // when there is one, else by the positive one, never with a sign.
        idx = usable(2) ? 2 : 0;
        if (sections[idx].empty()) return FloatToStrF(0.0, ffGeneral, conv::kMaxPrecision, 0, fs);
        info = ScanSection(sections[idx]);
        r = Decimal{};
    }
    // Only the positive section shows a negative value's sign itself.
    if (idx == 0 && r.negative && !r.IsZero()) w.Put('-');
    SectionWriter(w, info, r, fs).Write(sections[idx]);
    return w.Str();
}

}  // namespace qx
