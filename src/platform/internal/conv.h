// Shared machinery of the conversion routines: a text builder that stays on
// the stack until the result is taken, and decimal digit strings with the
// classic rounding (15 significant digits, then half away from zero).
#pragma once

#include <climits>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace qx::conv {

// A double carries 15 reliable significant digits; asking for more would
// only show the noise of its binary representation.
inline constexpr int kMaxPrecision = 15;
inline constexpr int kMaxExponentDigits = 4;
inline constexpr int kUnlimitedDecimals = INT_MAX / 2;

inline char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

// Collects output in an inline buffer; only a text longer than the buffer
// moves to the heap before str() builds the one result string.
class TextWriter {
  public:
    TextWriter() = default;
    TextWriter(const TextWriter&) = delete;
    TextWriter& operator=(const TextWriter&) = delete;

    void Put(char c) {
        if (len_ < kInline) {
            buf_[len_++] = c;
        } else {
            PutSlow(std::string_view(&c, 1));
        }
    }
    void Put(std::string_view s) {
        if (len_ <= kInline && s.size() <= kInline - len_) {
            if (!s.empty()) std::memcpy(buf_ + len_, s.data(), s.size());
            len_ += s.size();
        } else {
            PutSlow(s);
        }
    }
    void PutRepeated(char c, int n) {
        for (int i = 0; i < n; ++i) Put(c);
    }
    // Unsigned decimal with at least minDigits digits.
    void PutUnsigned(unsigned long long v, int minDigits = 1);

    std::string_view View() const {
        return len_ > kInline ? std::string_view(heap_) : std::string_view(buf_, len_);
    }
    std::string Str() { return len_ > kInline ? std::move(heap_) : std::string(buf_, len_); }

  private:
    static constexpr std::size_t kInline = 256;
    // Once the text outgrows the buffer, len_ stays above kInline and every
    // later piece goes to heap_.
    static constexpr std::size_t kSpilled = kInline + 1;
    void PutSlow(std::string_view s);

    char buf_[kInline];
    std::size_t len_ = 0;
    std::string heap_;
};

// A non-negative decimal number 0.d1d2...dn x 10^exponent with the trailing
// zeros of the digits removed; count 0 stands for zero.
struct Decimal {
    static constexpr int kMaxDigits = 15;
    char digits[kMaxDigits + 2];  // room for a carry while rounding
    int count = 0;
    int exponent = 0;
    bool negative = false;

    // Digit at index i (0-based), '0' outside the stored digits.
    char DigitAt(int i) const { return (i >= 0 && i < count) ? digits[i] : '0'; }
    bool IsZero() const { return count == 0; }
};

// |v| rounded to 15 significant digits, half away from zero, as the decimal
// m x 10^-scale (m <= 10^15), found with one multiplication instead of
// digit generation. False when that cannot decide it: v not normal, too
// large or small for the exact powers of ten, or within an eighth of a unit
// of a tie at the 15th digit. The caller then takes the digit path.
bool FindDecimal15(double v, unsigned long long& m, int& scale);
// The double that v's 15-digit text reads back as, when FindDecimal15
// decides it (for most values with at most 15 digits: v itself).
bool RoundTo15Digits(double v, double& rounded);

// |v| to 15 significant digits, half away from zero. v must be finite.
Decimal ToDecimal(double v);
// The same from the exact digits of |v| alone: the way every value was
// converted before the shortest-form path, kept to check that path against.
Decimal ToDecimalFromExactDigits(double v);

// Keeps at most `precision` significant digits and at most `decimals`
// digits after the decimal point, rounding half away from zero.
void RoundDecimal(Decimal& d, int precision, int decimals);

// Writes "NAN", "INF" or "-INF" and returns true for a value that is not finite.
bool PutNonFinite(TextWriter& w, double v);

// "E", the exponent's sign ("-", or "+" when `plus`), at least minDigits digits.
void PutExponent(TextWriter& w, char marker, int exponent, bool plus, int minDigits);

// The quoted literal starting at s[i] (a ' or "): its text, and in `end`
// the index past it. A missing closing quote runs to the end of s.
std::string_view QuotedLiteral(std::string_view s, std::size_t i, std::size_t& end);
inline std::size_t SkipQuoted(std::string_view s, std::size_t i) {
    std::size_t end = 0;
    QuotedLiteral(s, i, end);
    return end;
}

// Number of bytes of the UTF-8 sequence starting with byte c (1 for a stray byte).
inline int Utf8Length(unsigned char c) {
    if (c < 0xC0) return 1;
    if (c < 0xE0) return 2;
    if (c < 0xF0) return 3;
    return 4;
}

}  // namespace qx::conv
