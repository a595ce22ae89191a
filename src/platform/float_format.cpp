// FloatToStr and FloatToStrF: floating point to text by format kind,
// precision (significant digits) and digits (decimals, or exponent digits).
#include <algorithm>

#include "platform/internal/conv.h"
#include "platform/sysutils.h"

namespace qx {
namespace {

using conv::Decimal;
using conv::TextWriter;

using conv::kMaxExponentDigits;
using conv::kMaxPrecision;
using conv::kUnlimitedDecimals;
constexpr int kMaxFixedDigits = 18;

// Currency layouts: '$' stands for CurrencyString, '1' for the amount.
constexpr const char* kPosCurrLayouts[] = {"$1", "1$", "$ 1", "1 $"};
constexpr const char* kNegCurrLayouts[] = {"($1)", "-$1",  "$-1",   "$1-",  "(1$)", "-1$",
                                           "1-$",  "1$-",  "-1 $",  "-$ 1", "1 $-", "$ 1-",
                                           "$ -1", "1- $", "($ 1)", "(1 $)"};

// Digits [from, from + n) of d: its stored digits in one piece, '0' before
// and after them.
void PutDigits(TextWriter& w, const Decimal& d, int from, int n) {
    for (; from < 0 && n > 0; ++from, --n) w.Put('0');
    const int stored = std::clamp(d.count - from, 0, std::max(n, 0));
    if (stored > 0) w.Put(std::string_view(d.digits + from, static_cast<std::size_t>(stored)));
    for (int k = stored; k < n; ++k) w.Put('0');
}

// Integer part (with grouping when `group` is not empty), then `fraction`
// digits after the decimal separator.
void PutPlain(TextWriter& w, const Decimal& d, std::string_view group, int fraction,
              const TFormatSettings& fs) {
    if (d.exponent <= 0) {
        w.Put('0');
    } else if (group.empty()) {
        PutDigits(w, d, 0, d.exponent);
    } else {
        for (int i = 0; i < d.exponent; ++i) {
            w.Put(d.DigitAt(i));
            const int power = d.exponent - 1 - i;
            if (power > 0 && power % 3 == 0) w.Put(group);
        }
    }
    if (fraction <= 0) return;
    w.Put(fs.DecimalSeparator);
    PutDigits(w, d, d.exponent, fraction);
}

void PutGeneral(TextWriter& w, Decimal d, int precision, int expDigits, const TFormatSettings& fs) {
    conv::RoundDecimal(d, precision, kUnlimitedDecimals);
    if (d.IsZero()) {
        w.Put('0');
        return;
    }
    if (d.negative) w.Put('-');
    if (d.exponent > precision || d.exponent < -3) {
        w.Put(d.digits[0]);
        if (d.count > 1) {
            w.Put(fs.DecimalSeparator);
            w.Put(std::string_view(d.digits + 1, static_cast<std::size_t>(d.count - 1)));
        }
        conv::PutExponent(w, 'E', d.exponent - 1, false, expDigits);
        return;
    }
    PutPlain(w, d, {}, std::max(0, d.count - d.exponent), fs);
}

void PutExponentForm(TextWriter& w, Decimal d, int precision, int expDigits,
                     const TFormatSettings& fs) {
    conv::RoundDecimal(d, precision, kUnlimitedDecimals);
    if (d.negative && !d.IsZero()) w.Put('-');
    w.Put(d.DigitAt(0));
    if (precision > 1) {
        w.Put(fs.DecimalSeparator);
        for (int i = 1; i < precision; ++i) w.Put(d.DigitAt(i));
    }
    conv::PutExponent(w, 'E', d.IsZero() ? 0 : d.exponent - 1, true, expDigits);
}

void PutCurrency(TextWriter& w, const Decimal& d, int digits, const TFormatSettings& fs) {
    TextWriter amount;
    PutPlain(amount, d, fs.ThousandSeparator, digits, fs);
    const bool negative = d.negative && !d.IsZero();
    const int posFormat = fs.CurrencyFormat >= 0 && fs.CurrencyFormat <= 3 ? fs.CurrencyFormat : 0;
    const int negFormat = fs.NegCurrFormat >= 0 && fs.NegCurrFormat <= 15 ? fs.NegCurrFormat : 0;
    for (const char* p = negative ? kNegCurrLayouts[negFormat] : kPosCurrLayouts[posFormat]; *p;
         ++p) {
        if (*p == '$') {
            w.Put(fs.CurrencyString);
        } else if (*p == '1') {
            w.Put(amount.View());
        } else {
            w.Put(*p);
        }
    }
}

}  // namespace

std::string FloatToStr(double v, const TFormatSettings& fs) {
    return FloatToStrF(v, ffGeneral, kMaxPrecision, 0, fs);
}

std::string FloatToStrF(double v, TFloatFormat f, int precision, int digits,
                        const TFormatSettings& fs) {
    TextWriter w;
    if (conv::PutNonFinite(w, v)) return w.Str();
    // A double holds 15 significant digits; a fixed form may still show up
    // to the asked number of integer digits, padded with zeros.
    const int fixedWidth = std::max(precision, 1);
    precision = std::clamp(precision, 1, kMaxPrecision);
    Decimal d = conv::ToDecimal(v);
    switch (f) {
        case ffGeneral:
            PutGeneral(w, d, precision, std::clamp(digits, 0, kMaxExponentDigits), fs);
            break;
        case ffExponent:
            PutExponentForm(w, d, precision, std::clamp(digits, 0, kMaxExponentDigits), fs);
            break;
        case ffFixed:
        case ffNumber:
        case ffCurrency: {
            digits = std::clamp(digits, 0, kMaxFixedDigits);
            conv::RoundDecimal(d, precision, digits);
            // More integer digits than the asked precision: the general form.
            // (Only the first 15 digits are significant; the rest are zeros.)
            if (d.exponent > fixedWidth) {
                PutGeneral(w, d, precision, 0, fs);
            } else if (f == ffCurrency) {
                PutCurrency(w, d, digits, fs);
            } else {
                if (d.negative && !d.IsZero()) w.Put('-');
                PutPlain(w, d, f == ffNumber ? std::string_view(fs.ThousandSeparator) : "", digits,
                         fs);
            }
            break;
        }
    }
    return w.Str();
}

}  // namespace qx
