// Numeric functions: STR, VAL, INT, FRAC, ROUND, POWER, INTPOWER and
// FORMATFLOAT. STR and VAL speak "." as the decimal point whatever the
// locale, so that a template can build and read machine-readable numbers.
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "conscom/exceptions.h"
#include "platform/sysutils.h"
#include "qxbasereport/internal/lang_text.h"
#include "qxrtf/internal/builtins.h"
#include "qxrtf/qxrtf.h"

namespace qx {

namespace {

constexpr TQxArgMessages kStrArgs[] = {
    {"First operand type unknown. Functions \"STR\", expression ",
     "First operand of numeric type expected in function \"STR\", expression "},
    {"Second operand type unknown. Function \"STR\", expression ",
     "Second operand of numeric type expected in functions \"STR\", expression "},
    {"Third operand type unknown. Function \"STR\", expression ",
     "Third operand of numeric type expected in function \"STR\", expression "},
};
constexpr TQxArgMessages kValArg{"Operand type unknown. Function \"VAL\", expression ",
                                 "Operand of string type expected. Function \"VAL\", expression "};
constexpr TQxArgMessages kIntArg{"Operand type unknown. Function \"INT\", expression ",
                                 "Operand of numeric type expected. Function \"INT\", expression "};
constexpr TQxArgMessages kFracArg{
    "Operand type unknown. Function \"FRAC\", expression ",
    "Operand of numeric type expected. Function \"FRAC\", expression "};
constexpr TQxArgMessages kRoundArgs[] = {
    {"First operand type unknown. Functions \"ROUND\", expression ",
     "First operand of numeric type expected in function \"ROUND\", expression "},
    {"Second operand type unknown. Function \"ROUND\", expression ",
     "Second operand of numeric type expected in functions \"ROUND\", expression "},
};
constexpr TQxArgMessages kPowerArgs[] = {
    {"First operand type unknown. Functions \"POWER\", expression ",
     "First operand of numeric type expected in function \"POWER\", expression "},
    {"Second operand type unknown. Function \"POWER\", expression ",
     "Second operand of numeric type expected in functions \"POWER\", expression "},
};
constexpr TQxArgMessages kIntPowerArgs[] = {
    {"First operand type unknown. Functions \"INTPOWER\", expression ",
     "First operand of numeric type expected in function \"INTPOWER\", expression "},
    {"Second operand type unknown. Function \"INTPOWER\", expression ",
     "Second operand of integer numeric type expected in functions \"INTPOWER\", expression "},
};
// FORMATFLOAT calls itself FLOATFORMAT in its messages.
constexpr TQxArgMessages kFormatFloatArgs[] = {
    {"First operand type unknown. Functions \"FLOATFORMAT\", expression ",
     "First operand of string type expected in function \"FLOATFORMAT\", expression "},
    {"Second operand type unknown. Function \"FLOATFORMAT\", expression ",
     "Second operand of numeric type expected in functions \"FLOATFORMAT\", expression "},
};

// The longest text the fixed-width forms of STR produce padding for.
constexpr std::int32_t kMaxStrWidth = 255;

void SetNumber(TQxBuiltinCall& call, double value) {
    if (TQxReportVariable* result = call.Result()) result->SetAsFloat(value == 0 ? 0.0 : value);
}

// A floating result that is no real number is refused, never stored.
double Checked(double value, bool dividedByZero = false) {
    if (std::isnan(value)) throw EInvalidOp("Invalid floating point operation");
    if (std::isinf(value)) {
        if (dividedByZero) throw EZeroDivide("Floating point division by zero");
        throw EOverflow("Floating point overflow");
    }
    return value;
}

// base to the integer power n by repeated squaring.
double IntPower(double base, std::int64_t n) {
    std::uint64_t bits = n < 0 ? 0 - static_cast<std::uint64_t>(n) : static_cast<std::uint64_t>(n);
    double acc = 1;
    for (double square = base; bits != 0; bits >>= 1) {
        if ((bits & 1) != 0) acc *= square;
        if (bits > 1) square *= square;
    }
    if (n >= 0) return Checked(acc);
    return Checked(1 / acc, acc == 0);
}

// The value as a person typed it: its 15 significant digits, so that the
// binary noise of 2.675 * 100 (267.49999999999997) does not decide a tie.
double SignificantDigits15(double v) {
    char buf[40];
    const auto written = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
    double out = v;
    std::from_chars(buf, written.ptr, out);
    return out;
}

// ---- text and numbers ---------------------------------------------------------------

void Str(TQxBuiltinCall& call) {
    const std::size_t n = call.Count() < 3 ? call.Count() : 3;
    for (std::size_t i = 0; i < n; ++i) RequireArg(call, i, qxdtNumber, kStrArgs[i]);
    TFormatSettings dot = call.report.FmtSettings();
    dot.DecimalSeparator = ".";
    std::int32_t decimals = 0, width = 0;
    if (n > 2) decimals = IntValue(ArgValue(call, 2, qxdtNumber));
    if (n > 1) width = IntValue(ArgValue(call, 1, qxdtNumber));
    const double x = ArgValue(call, 0, qxdtNumber).AsFloat();
    if (n == 1) return call.ReturnString(Trim(FloatToStr(x, dot)));
    std::string text = FloatToStrF(x, ffFixed, 15, decimals, dot);
    if (width < 1) return call.ReturnString(Trim(text));
    const auto size = static_cast<std::int32_t>(text.size());
    const std::int32_t pad = std::min(width, kMaxStrWidth) - size;
    if (pad > 0) text.insert(0, static_cast<std::size_t>(pad), ' ');
    call.ReturnString(text);
}

// The whole text as a number with "." as decimal point, optional sign and
// exponent, leading blanks allowed; 0 for anything else.
double ParseVal(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    // from_chars alone would also read "inf" and "nan".
    if (s.empty() || !(s.front() == '.' || (s.front() >= '0' && s.front() <= '9'))) return 0;
    double value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size()) return 0;
    return negative ? -value : value;
}

void Val(TQxBuiltinCall& call) {
    RequireArg(call, 0, qxdtString, kValArg);
    std::string s = ArgValue(call, 0, qxdtString).AsString();
    const std::string& separator = call.report.FmtSettings().DecimalSeparator;
    if (separator != "." && !separator.empty()) {
        const std::size_t at = s.find(separator);
        if (at != std::string::npos) s.replace(at, separator.size(), ".");
    }
    SetNumber(call, ParseVal(s));
}

void FormatFloatText(TQxBuiltinCall& call) {
    RequireArg(call, 0, qxdtString, kFormatFloatArgs[0]);
    RequireArg(call, 1, qxdtNumber, kFormatFloatArgs[1]);
    const double x = ArgValue(call, 1, qxdtNumber).AsFloat();
    const std::string pattern = ArgValue(call, 0, qxdtString).AsString();
    call.ReturnString(Trim(FormatFloat(pattern, x, call.report.FmtSettings())));
}

// ---- arithmetic ---------------------------------------------------------------------

template <bool Fraction>
void IntOrFrac(TQxBuiltinCall& call) {
    RequireArg(call, 0, qxdtNumber, Fraction ? kFracArg : kIntArg);
    const double x = ArgValue(call, 0, qxdtNumber).AsFloat();
    SetNumber(call, Fraction ? x - std::trunc(x) : std::trunc(x));
}

// Half away from zero at `decimals` places (negative: tens, hundreds...).
double RoundHalfAway(double x, std::int32_t decimals) {
    const double sign = x >= 0 ? 1 : -1;
    const double a = std::fabs(x);
    const double scale = std::pow(10.0, std::abs(static_cast<double>(decimals)));
    if (!std::isfinite(scale)) return decimals > 0 ? x : 0;
    const double scaled = SignificantDigits15(decimals >= 0 ? a * scale : a / scale);
    double t = std::trunc(scaled);
    if (scaled - t >= 0.5) t += 1;
    return sign * (decimals >= 0 ? t / scale : t * scale);
}

void Round(TQxBuiltinCall& call) {
    const bool hasDecimals = call.Count() > 1;
    RequireArg(call, 0, qxdtNumber, kRoundArgs[0]);
    if (hasDecimals) RequireArg(call, 1, qxdtNumber, kRoundArgs[1]);
    const std::int32_t decimals = hasDecimals ? IntValue(ArgValue(call, 1, qxdtNumber)) : 0;
    const double x = ArgValue(call, 0, qxdtNumber).AsFloat();
    SetNumber(call, RoundHalfAway(x, decimals));
}

void IntPowerOf(TQxBuiltinCall& call) {
    RequireArg(call, 0, qxdtNumber, kIntPowerArgs[0]);
    RequireArg(call, 1, qxdtNumber, kIntPowerArgs[1]);
    const std::int32_t n = IntValue(ArgValue(call, 1, qxdtNumber));
    const double base = ArgValue(call, 0, qxdtNumber).AsFloat();
    SetNumber(call, IntPower(base, n));
}

double Power(double base, double exponent) {
    if (exponent == 0) return 1;
    if (base == 0 && exponent > 0) return 0;
    if (std::trunc(exponent) == exponent && std::fabs(exponent) <= 2147483647.0)
        return IntPower(base, static_cast<std::int64_t>(exponent));
    if (base < 0) throw EInvalidOp("Invalid floating point operation");
    // e^(exponent * ln base), computed by pow so that the double result is
    // the correctly rounded one (POWER(2, 0.5) reads 1.4142135623731).
    return Checked(std::pow(base, exponent), base == 0);
}

void PowerOf(TQxBuiltinCall& call) {
    RequireArg(call, 0, qxdtNumber, kPowerArgs[0]);
    RequireArg(call, 1, qxdtNumber, kPowerArgs[1]);
    const double exponent = ArgValue(call, 1, qxdtNumber).AsFloat();
    const double base = ArgValue(call, 0, qxdtNumber).AsFloat();
    SetNumber(call, Power(base, exponent));
}

}  // namespace

void RegisterNumberBuiltins(TQxBuiltinTable& table) {
    SetBuiltin(table, -31, Str);
    SetBuiltin(table, -32, Val);
    SetBuiltin(table, -39, IntOrFrac<false>);
    SetBuiltin(table, -40, IntOrFrac<true>);
    SetBuiltin(table, -41, Round);
    SetBuiltin(table, -59, FormatFloatText);
    SetBuiltin(table, -60, PowerOf);
    SetBuiltin(table, -61, IntPowerOf);
}

}  // namespace qx
