// Text to numbers: StrToFloat with the settings' decimal separator, and
// StrToInt64 in decimal or hexadecimal.
#include <charconv>
#include <cmath>
#include <string_view>
#include <system_error>

#include "platform/exceptions.h"
#include "platform/sysutils.h"

namespace qx {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t SkipBlanks(std::string_view s, std::size_t i) {
    while (i < s.size() && s[i] == ' ') ++i;
    return i;
}

std::size_t ReadDigits(std::string_view s, std::size_t i, std::string& out) {
    while (i < s.size() && IsDigit(s[i])) out += s[i++];
    return i;
}

// Rewrites the number in s into the plain form from_chars reads
// ("-123.45e-6"); false when s is not entirely one number. `magnitude`
// receives the decimal position of the first significant digit, which tells
// an underflow from an overflow.
bool Normalise(std::string_view s, const TFormatSettings& fs, std::string& out,
               long long& magnitude) {
    std::size_t i = SkipBlanks(s, 0);
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        if (s[i] == '-') out += '-';
        ++i;
    }
    const std::size_t intStart = out.size();
    i = ReadDigits(s, i, out);
    const std::size_t intDigits = out.size() - intStart;
    std::size_t fracDigits = 0;
    const std::string_view sep = fs.DecimalSeparator;
    if (!sep.empty() && s.substr(i, sep.size()) == sep) {
        out += '.';
        const std::size_t before = out.size();
        i = ReadDigits(s, i + sep.size(), out);
        fracDigits = out.size() - before;
    }
    if (intDigits + fracDigits == 0) return false;
    long long exponent = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        bool negative = false;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) negative = s[j++] == '-';
        std::string digits;
        const std::size_t end = ReadDigits(s, j, digits);
        if (digits.empty()) return false;
        // Saturate: anything past a few thousand is out of range either way.
        for (char c : digits) exponent = std::min(exponent * 10 + (c - '0'), 100000LL);
        if (negative) exponent = -exponent;
        out += 'e';
        out += std::to_string(exponent);
        i = end;
    }
    if (SkipBlanks(s, i) != s.size()) return false;
    // Decimal position of the first significant digit (1 for 1.5, -2 for
    // 0.0015, before the exponent): negative far out means underflow.
    const std::size_t first = out.find_first_of("123456789", intStart);
    const long long point = static_cast<long long>(intStart + intDigits);
    const long long at = static_cast<long long>(first);
    magnitude =
        first == std::string::npos ? 0 : exponent + (at < point ? point - at : point - at + 1);
    return true;
}

int HexValue(char c) {
    if (IsDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool TryStrToFloat(const std::string& s, double& out, const TFormatSettings& fs) {
    std::string plain;
    long long magnitude = 0;
    if (!Normalise(s, fs, plain, magnitude)) return false;
    double value = 0;
    const auto res = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (res.ec == std::errc::result_out_of_range) {
        // Too small to hold is zero; too large is an error.
        if (magnitude > 0) return false;
        value = plain[0] == '-' ? -0.0 : 0.0;
    } else if (res.ec != std::errc() || res.ptr != plain.data() + plain.size()) {
        return false;
    }
    if (!std::isfinite(value)) return false;
    out = value;
    return true;
}

double StrToFloat(const std::string& s, const TFormatSettings& fs) {
    double v = 0;
    if (!TryStrToFloat(s, v, fs))
        throw EConvertError("'" + s + "' is not a valid floating point value");
    return v;
}

bool IsIntegerText(std::string_view text) {
    const std::size_t sign = (!text.empty() && text[0] == '-') ? 1 : 0;
    if (text.size() == sign || (text[sign] == '0' && text.size() > sign + 1)) return false;
    return text.find_first_not_of("0123456789", sign) == std::string_view::npos;
}

bool TryStrToInt64(const std::string& s, std::int64_t& out) {
    std::size_t i = SkipBlanks(s, 0);
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    int base = 10;
    if (i < s.size() && s[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == s.size()) return false;
    // Hexadecimal reads a 64-bit pattern (so $FFFFFFFFFFFFFFFF is -1);
    // decimal must fit the signed range.
    const unsigned long long limit =
        base == 16 ? ~0ULL : (negative ? 1ULL << 63 : (1ULL << 63) - 1);
    unsigned long long value = 0;
    for (; i < s.size(); ++i) {
        const int digit = HexValue(s[i]);
        if (digit < 0 || digit >= base) return false;
        if (value > (limit - static_cast<unsigned>(digit)) / static_cast<unsigned>(base))
            return false;
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
    }
    out = static_cast<std::int64_t>(negative ? 0 - value : value);
    return true;
}

std::int64_t StrToInt64(const std::string& s) {
    std::int64_t v = 0;
    if (!TryStrToInt64(s, v)) throw EConvertError("'" + s + "' is not a valid integer value");
    return v;
}

}  // namespace qx
