// Shared conversion machinery: decimal digits with the classic rounding,
// the text writer's slow path, exponents and quoted literals.
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

#include "platform/internal/conv.h"

namespace qx::conv {
namespace {

// Digits the standard library produces before our own rounding to 15: far
// more than a double holds, so that a value such as 2.675 (stored as
// 2.67499999999999982236431605997495353221893310546875) reads as 2.675 at
// 15 digits and only then rounds half away from zero.
constexpr int kRawDigits = 25;

// Rounds the digit run d[0..n) to `keep` digits half away from zero. Returns
// true when the carry ran out of the first digit (d then holds "1" and the
// caller raises its exponent).
bool RoundDigits(char* d, int n, int keep) {
    if (keep >= n || d[keep] < '5') return false;
    int i = keep - 1;
    while (i >= 0 && d[i] == '9') d[i--] = '0';
    if (i >= 0) {
        ++d[i];
        return false;
    }
    d[0] = '1';
    return true;
}

int StripTrailingZeros(const char* d, int n) {
    while (n > 0 && d[n - 1] == '0') --n;
    return n;
}

// The exponent of a "d.ddde[+-]xx" text, given the position of its 'e'.
int ScientificExponent(const char* e, const char* end) {
    int exponent = 0;
    std::from_chars(e + 2, end, exponent);
    return e[1] == '-' ? -exponent : exponent;
}

}  // namespace

Decimal ToDecimalFromExactDigits(double v) {
    Decimal out;
    out.negative = std::signbit(v) && v != 0;
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(v),
                                   std::chars_format::scientific, kRawDigits - 1);
    // buf holds "d.ddd...de[+-]xx".
    char raw[kRawDigits + 1] = {};
    int n = 0;
    const char* p = buf;
    for (; p != res.ptr && *p != 'e'; ++p) {
        if (*p != '.') raw[n++] = *p;
    }
    if (raw[0] == '0') return out;  // zero
    int exponent = ScientificExponent(p, res.ptr) + 1;
    if (RoundDigits(raw, n, Decimal::kMaxDigits)) ++exponent;
    const int keep = n < Decimal::kMaxDigits ? n : Decimal::kMaxDigits;
    out.count = StripTrailingZeros(raw, keep);
    for (int i = 0; i < out.count; ++i) out.digits[i] = raw[i];
    out.exponent = exponent;
    return out;
}

namespace {

// Powers of ten a double holds exactly.
constexpr double kExactPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                  1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kMaxExactPow10 = 22;

double ScaleByPow10(double v, int scale) {
    return scale >= 0 ? v * kExactPow10[scale] : v / kExactPow10[-scale];
}

// The inverse of ScaleByPow10 on an exact integer: one correctly rounded
// operation on two exact operands, so the result is the double nearest to
// the decimal m x 10^-scale.
double UnscaleByPow10(double m, int scale) {
    return scale >= 0 ? m / kExactPow10[scale] : m * kExactPow10[-scale];
}

}  // namespace

bool FindDecimal15(double v, unsigned long long& m, int& scale) {
    const double a = std::fabs(v);
    if (!std::isnormal(a)) return false;
    // frexp's exponent, from the bits: this runs for every number written,
    // and the library calls cost more than the rest.
    const int binaryExponent =
        static_cast<int>((std::bit_cast<std::uint64_t>(a) >> 52) & 0x7FF) - 1022;
    // floor(log10(a)) is this estimate or one more; the scale puts the value
    // at 15 integer digits, corrected below when the estimate fell short.
    const double estimate = (binaryExponent - 1) * 0.30102999566398120;
    int decimalExponent = static_cast<int>(estimate);
    if (estimate < decimalExponent) --decimalExponent;  // floor, not truncation
    int s = 14 - decimalExponent;
    if (s > kMaxExactPow10 || s < -kMaxExactPow10) return false;
    double scaled = ScaleByPow10(a, s);
    if (scaled >= 1e15) {
        if (--s < -kMaxExactPow10) return false;
        scaled = ScaleByPow10(a, s);
    }
    // One rounding by an exact power of ten: below 2^50 the scaled value is
    // off the exact product by at most 1/16, so away from a tie its nearest
    // integer is the exact product's, the 15 digits the exact path rounds to.
    // nearbyint without the library call: below 2^52, adding and taking
    // away 2^52 rounds to an integer in the current rounding mode.
    constexpr double kTwo52 = 4503599627370496.0;
    const double whole = (scaled + kTwo52) - kTwo52;
    if (std::fabs(std::fabs(scaled - whole) - 0.5) < 0.125) return false;
    m = static_cast<unsigned long long>(whole);
    scale = s;
    return true;
}

bool RoundTo15Digits(double v, double& rounded) {
    // The evaluator rounds the same few values again and again (each operand
    // of each operator, in every record): a small memo of this pure function
    // spares most of the divisions. Its empty entries say what the function
    // says of +0.0: undecided.
    struct Entry {
        std::uint64_t bits = 0;
        double rounded = 0;
        bool decided = false;
    };
    thread_local Entry memo[8];
    const auto bits = std::bit_cast<std::uint64_t>(v);
    Entry& entry = memo[(bits * 0x9E3779B97F4A7C15ULL) >> 61];
    if (entry.bits == bits) {
        if (entry.decided) rounded = entry.rounded;
        return entry.decided;
    }
    unsigned long long m = 0;
    int scale = 0;
    const bool decided = FindDecimal15(v, m, scale);
    double result = 0;
    if (decided) {
        // One correctly rounded operation on two exact operands: the double
        // nearest to the decimal, as reading its text gives.
        const double a = UnscaleByPow10(static_cast<double>(m), scale);
        result = std::signbit(v) ? -a : a;
        rounded = result;
    }
    entry = Entry{bits, result, decided};
    return decided;
}

namespace {

// A value whose shortest round-trip form has at most 15 digits: for a normal
// double that form is also what rounding the exact digits to 15 gives (the
// value lies within half a binary unit of it, and a binary unit is less than
// a quarter of a step at the 15th decimal digit). For the values
// FindDecimal15 leaves undecided; longer forms take the exact digits.
Decimal ShortestDecimal(double v) {
    char buf[32];
    const auto res =
        std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific);
    Decimal out;
    int n = 0;
    const char* p = buf;
    for (; p != res.ptr && *p != 'e'; ++p) {
        if (*p == '.') continue;
        if (n == Decimal::kMaxDigits) return ToDecimalFromExactDigits(v);
        out.digits[n++] = *p;
    }
    out.negative = std::signbit(v);
    out.count = StripTrailingZeros(out.digits, n);
    out.exponent = ScientificExponent(p, res.ptr) + 1;
    return out;
}

}  // namespace

namespace {

// Powers of ten that together take off up to 15 trailing zeros.
constexpr std::pair<unsigned long long, int> kZeroSteps[] = {
    {100000000ULL, 8}, {10000ULL, 4}, {100ULL, 2}, {10ULL, 1}};

}  // namespace

Decimal ToDecimal(double v) {
    if (!std::isnormal(v)) return ToDecimalFromExactDigits(v);
    unsigned long long m = 0;
    int scale = 0;
    if (!FindDecimal15(v, m, scale)) return ShortestDecimal(v);
    // Trailing zeros off first (at most 15: m <= 10^15), so that only the
    // significant digits are made; a price has a handful of them.
    int zeros = 0;
    for (const auto& [power, count] : kZeroSteps) {
        if (m % power == 0) {
            m /= power;
            zeros += count;
        }
    }
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, m);
    Decimal out;
    out.negative = std::signbit(v);
    out.count = static_cast<int>(res.ptr - buf);
    std::memcpy(out.digits, buf, static_cast<std::size_t>(out.count));
    out.exponent = out.count + zeros - scale;
    return out;
}

void RoundDecimal(Decimal& d, int precision, int decimals) {
    if (d.count == 0) return;
    // Digits kept: bounded by the significant digits and by the position of
    // the last allowed decimal (exponent + decimals digits stand before it).
    long long keep = precision;
    const long long byDecimals = static_cast<long long>(d.exponent) + decimals;
    if (byDecimals < keep) keep = byDecimals;
    if (keep >= d.count) return;
    if (keep < 0) {
        d.count = 0;
        d.exponent = 0;
        return;
    }
    if (keep == 0) {
        // Only the rounding digit decides: 0.5 -> 1, 0.4 -> 0.
        if (d.digits[0] >= '5') {
            d.digits[0] = '1';
            d.count = 1;
            ++d.exponent;
        } else {
            d.count = 0;
            d.exponent = 0;
        }
        return;
    }
    const int k = static_cast<int>(keep);
    if (RoundDigits(d.digits, d.count, k)) ++d.exponent;
    d.count = StripTrailingZeros(d.digits, k);
}

void TextWriter::PutSlow(std::string_view s) {
    if (len_ <= kInline) {
        heap_.reserve(2 * kInline + s.size());
        heap_.assign(buf_, len_);
        len_ = kSpilled;
    }
    heap_.append(s);
}

void TextWriter::PutUnsigned(unsigned long long v, int minDigits) {
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    const int len = static_cast<int>(res.ptr - buf);
    if (minDigits > len) PutRepeated('0', minDigits - len);
    Put(std::string_view(buf, static_cast<std::size_t>(len)));
}

void PutExponent(TextWriter& w, char marker, int exponent, bool plus, int minDigits) {
    w.Put(marker);
    if (exponent < 0) {
        w.Put('-');
    } else if (plus) {
        w.Put('+');
    }
    w.PutUnsigned(static_cast<unsigned>(exponent < 0 ? -exponent : exponent), minDigits);
}

std::string_view QuotedLiteral(std::string_view s, std::size_t i, std::size_t& end) {
    const std::size_t close = s.find(s[i], i + 1);
    if (close == std::string_view::npos) {
        end = s.size();
        return s.substr(i + 1);
    }
    end = close + 1;
    return s.substr(i + 1, close - i - 1);
}

bool PutNonFinite(TextWriter& w, double v) {
    if (std::isnan(v)) {
        w.Put("NAN");
        return true;
    }
    if (std::isinf(v)) {
        w.Put(v < 0 ? "-INF" : "INF");
        return true;
    }
    return false;
}

}  // namespace qx::conv
