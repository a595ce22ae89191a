// FloatToStr and FloatToStrF: the general form, the four fixed kinds, the
// classic rounding and the currency layouts.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

#include "conv_test_util.h"
#include "platform/sysutils.h"

namespace qx {
namespace {

struct GeneralCase {
    double value;
    const char* expected;
};

TEST(FloatToStr, GeneralFormWith15SignificantDigits) {
    const TFormatSettings fs;
    const GeneralCase cases[] = {
        {1E20, "1E20"},
        {0.1 + 0.2, "0.3"},
        {1.5e-7, "1.5E-7"},
        {0, "0"},
        {-0.0, "0"},
        {100, "100"},
        {-2.5, "-2.5"},
        {1E14, "100000000000000"},
        {1E15, "1E15"},
        {123456789012345678.0, "1.23456789012346E17"},
        {0.0001, "0.0001"},
        {0.00001, "1E-5"},
        {1.0 / 3, "0.333333333333333"},
        {2.0 / 3, "0.666666666666667"},
        {999999999999999.9, "1E15"},  // the 15-digit rounding carries into a new digit
        {1E-300, "1E-300"},
        {5e-324, "4.94065645841247E-324"},
        {DBL_MAX, "1.79769313486232E308"},
        {std::numeric_limits<double>::quiet_NaN(), "NAN"},
        {std::numeric_limits<double>::infinity(), "INF"},
        {-std::numeric_limits<double>::infinity(), "-INF"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(FloatToStr(c.value, fs), c.expected);
    }
}

TEST(FloatToStr, UsesTheDecimalSeparatorOfTheSettings) {
    EXPECT_EQ(FloatToStr(3.25, testing::CommaSettings()), "3,25");
    EXPECT_EQ(FloatToStr(-1.5e-7, testing::CommaSettings()), "-1,5E-7");
}

struct FormatCase {
    double value;
    TFloatFormat format;
    int precision;
    int digits;
    const char* expected;
};

template <std::size_t N>
void ExpectFormats(const FormatCase (&cases)[N]) {
    const TFormatSettings fs;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(FloatToStrF(c.value, c.format, c.precision, c.digits, fs), c.expected);
    }
}

TEST(FloatToStrF, KindsPrecisionAndDigits) {
    const FormatCase cases[] = {
        // Exponent: precision digits in the mantissa, at least `digits` in the exponent.
        {1234.5, ffExponent, 4, 2, "1.235E+03"},
        {1, ffExponent, 4, 0, "1.000E+0"},
        {0, ffExponent, 3, 2, "0.00E+00"},
        {-0.000123456, ffExponent, 3, 4, "-1.23E-0004"},
        {1234.5, ffExponent, 1, 0, "1E+3"},
        {9.99, ffExponent, 2, 1, "1.0E+1"},
        // General with a smaller precision.
        {1234.5, ffGeneral, 3, 0, "1.23E3"},
        {1234.5, ffGeneral, 3, 2, "1.23E03"},
        {1234.5, ffGeneral, 4, 0, "1235"},
        // Fixed and number: digits after the point, grouping for ffNumber.
        {1234567.891, ffNumber, 18, 2, "1,234,567.89"},
        {-1234567.891, ffNumber, 18, 0, "-1,234,568"},
        {999.995, ffNumber, 18, 2, "1,000.00"},
        {123, ffNumber, 18, 2, "123.00"},
        {0.5, ffNumber, 18, 0, "1"},
        {1234.5678, ffFixed, 5, 2, "1234.60"},  // precision caps the digits first
        {12.5, ffFixed, 15, 25, "12.500000000000000000"},
        {0.1 + 0.2, ffFixed, 18, 17, "0.30000000000000000"},
        {-0.001, ffFixed, 15, 2, "0.00"},  // no sign on a value shown as zero
        // Zeros between the point and the digits, and after them.
        {0.00123, ffFixed, 15, 5, "0.00123"},
        {0.00123, ffFixed, 15, 7, "0.0012300"},
        {-0.0456, ffFixed, 18, 3, "-0.046"},
        {120.5, ffFixed, 18, 0, "121"},
        {1200, ffFixed, 18, 1, "1200.0"},
        // Up to the asked precision in integer digits: fixed, 15 of them
        // significant and zeros after them.
        {1234567890123000, ffNumber, 18, 2, "1,234,567,890,123,000.00"},
        {1E15, ffFixed, 18, 2, "1000000000000000.00"},
        {12345678901234567.0, ffFixed, 17, 0, "12345678901234600"},
        {-1E17, ffCurrency, 18, 0, "($100,000,000,000,000,000)"},
        // More integer digits than the precision: the general form.
        {1E15, ffFixed, 15, 2, "1E15"},
        {123456, ffFixed, 4, 2, "1.235E5"},
        {1E20, ffFixed, 18, 2, "1E20"},
        {9999.9, ffFixed, 4, 0, "1E4"},
        {std::numeric_limits<double>::quiet_NaN(), ffNumber, 18, 2, "NAN"},
    };
    ExpectFormats(cases);
}

TEST(FloatToStrF, RoundsHalfAwayFromZeroAfter15Digits) {
    // 2.675 and 1.005 are stored just below the half; 0.125 is exact.
    const FormatCase cases[] = {
        {2.675, ffFixed, 18, 2, "2.68"},
        {0.125, ffFixed, 18, 2, "0.13"},
        {-0.125, ffFixed, 18, 2, "-0.13"},
        {1.005, ffFixed, 15, 2, "1.01"},
        {0.5, ffFixed, 15, 0, "1"},
        {1.5, ffFixed, 15, 0, "2"},
        {2.5, ffFixed, 15, 0, "3"},
        {-2.5, ffFixed, 15, 0, "-3"},
        {0.045, ffFixed, 15, 2, "0.05"},
        {1.0000000000000002, ffFixed, 18, 17, "1.00000000000000000"},
    };
    ExpectFormats(cases);
}

TEST(FloatToStrF, CurrencyPositiveLayouts) {
    TFormatSettings fs;
    const char* expected[] = {"$1,234.50", "1,234.50$", "$ 1,234.50", "1,234.50 $"};
    for (int layout = 0; layout < 4; ++layout) {
        SCOPED_TRACE(layout);
        fs.CurrencyFormat = layout;
        EXPECT_EQ(FloatToStrF(1234.5, ffCurrency, 18, 2, fs), expected[layout]);
    }
}

TEST(FloatToStrF, CurrencyNegativeLayouts) {
    TFormatSettings fs;
    const char* expected[] = {"($5.00)", "-$5.00",  "$-5.00",   "$5.00-",  "(5.00$)", "-5.00$",
                              "5.00-$",  "5.00$-",  "-5.00 $",  "-$ 5.00", "5.00 $-", "$ 5.00-",
                              "$ -5.00", "5.00- $", "($ 5.00)", "(5.00 $)"};
    for (int layout = 0; layout < 16; ++layout) {
        SCOPED_TRACE(layout);
        fs.NegCurrFormat = layout;
        EXPECT_EQ(FloatToStrF(-5, ffCurrency, 18, 2, fs), expected[layout]);
    }
    // A negative amount that rounds to zero is shown as a positive zero.
    fs.NegCurrFormat = 0;
    EXPECT_EQ(FloatToStrF(-0.001, ffCurrency, 18, 2, fs), "$0.00");
}

TEST(FloatToStrF, CurrencyWithMultiByteSeparatorsAndSymbol) {
    TFormatSettings fs = testing::CommaSettings();
    EXPECT_EQ(FloatToStrF(-1234.5, ffCurrency, 18, 2, fs), "-1.234,50 \xE2\x82\xAC");
    fs.ThousandSeparator = "\xC2\xA0";  // NO-BREAK SPACE
    EXPECT_EQ(FloatToStrF(1234567.5, ffCurrency, 18, 0, fs),
              "1\xC2\xA0"
              "234\xC2\xA0"
              "568 \xE2\x82\xAC");
    fs.ThousandSeparator.clear();  // no grouping
    EXPECT_EQ(FloatToStrF(1234567.5, ffNumber, 18, 1, fs), "1234567,5");
}

TEST(FloatToStrF, OutOfRangeLayoutsFallBackToTheFirst) {
    TFormatSettings fs;
    fs.CurrencyFormat = 9;
    fs.NegCurrFormat = -3;
    EXPECT_EQ(FloatToStrF(5, ffCurrency, 18, 2, fs), "$5.00");
    EXPECT_EQ(FloatToStrF(-5, ffCurrency, 18, 2, fs), "($5.00)");
}

}  // namespace
}  // namespace qx
