// The shortest-form path of ToDecimal must give exactly the digits that
// rounding the exact value to 15 digits gives, or every number the reports
// print would change.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include "platform/internal/conv.h"

namespace {

std::string Describe(const qx::conv::Decimal& d) {
    return std::string(d.negative ? "-" : "+") + "0." + std::string(d.digits, d.count) + "e" +
           std::to_string(d.exponent);
}

// A number the engine keeps as a number must be the one its 15-digit text
// reads back as.
void ExpectRoundedAsItsText(double v) {
    double rounded = 0;
    if (!qx::conv::RoundTo15Digits(v, rounded)) return;  // undecided: the text is made
    const qx::conv::Decimal exact = qx::conv::ToDecimalFromExactDigits(v);
    const std::string text = std::string(exact.negative ? "-" : "") + "0." +
                             std::string(exact.digits, exact.count) + "e" +
                             std::to_string(exact.exponent);
    double parsed = 0;
    std::from_chars(text.data(), text.data() + text.size(), parsed);
    ASSERT_EQ(rounded, parsed) << "value " << std::hexfloat << v << " text " << text;
}

void ExpectSameDigits(double v) {
    const qx::conv::Decimal fast = qx::conv::ToDecimal(v);
    const qx::conv::Decimal exact = qx::conv::ToDecimalFromExactDigits(v);
    ASSERT_EQ(Describe(fast), Describe(exact)) << "value " << std::hexfloat << v;
    ExpectRoundedAsItsText(v);
}

TEST(DecimalDigits, HandPickedValuesMatchTheExactDigits) {
    const double values[] = {
        0.0,
        -0.0,
        2.675,  // stored just below: 15 digits read 2.675
        1.005,
        0.1,
        0.1 + 0.2,
        1.0 / 3.0,
        -2.5,
        999999999999999.9,   // rounds up to the next power of ten
        9999999999999998.0,  // 16 digits
        123456789012345.6,
        1234567890123456789.0,
        4.35 * 100,
        1e15,
        1e-5,
        1e22,
        1e23,
        DBL_MAX,
        -DBL_MAX,
        DBL_MIN,  // smallest normal
        std::nextafter(DBL_MIN, 0.0),
        std::numeric_limits<double>::denorm_min(),
        3.5e-320,
    };
    for (double v : values) {
        SCOPED_TRACE(v);
        ExpectSameDigits(v);
    }
}

TEST(DecimalDigits, RandomBitPatternsMatchTheExactDigits) {
    std::mt19937_64 rng(1234);
    for (int i = 0; i < 200000; ++i) {
        const double v = std::bit_cast<double>(rng());
        if (!std::isfinite(v)) continue;
        ExpectSameDigits(v);
    }
}

// The values reports are full of: amounts in cents, quantities times
// prices, sums of them, and values one binary unit away from those.
TEST(DecimalDigits, MoneyLikeValuesMatchTheExactDigits) {
    std::mt19937_64 rng(99);
    std::uniform_int_distribution<std::int64_t> cents(-100000000, 100000000);
    std::uniform_int_distribution<int> qty(1, 5000);
    double sum = 0;
    for (int i = 0; i < 100000; ++i) {
        const double price = static_cast<double>(cents(rng)) / 100;
        const double line = qty(rng) * price;
        sum += line;
        for (double v : {price, line, sum, std::nextafter(line, 0.0), std::nextafter(line, 1e300),
                         line / 7, line * 1e-9})
            ExpectSameDigits(v);
    }
}

// The scaling path decides the values reports are full of, with and
// without binary noise; only near-ties and the far ends of the range are
// left to the digit path.
TEST(DecimalDigits, ScalingDecidesEverydayValues) {
    const double decided[] = {86.38,      7 * 12.34, 0.1 + 0.2,  1.0 / 3.0, -1234.25,
                              4.35 * 100, 1e20,      999999.995, 1e-7};
    for (double v : decided) {
        SCOPED_TRACE(v);
        double rounded = 0;
        EXPECT_TRUE(qx::conv::RoundTo15Digits(v, rounded));
        ExpectSameDigits(v);
    }
    const double undecided[] = {0.0,
                                -0.0,
                                1e300,
                                1e-300,
                                DBL_MIN / 4,
                                0.1234567890123455,  // ...454969...: next to a tie
                                123456789012345.6};  // ...345.59375: too near one
    for (double v : undecided) {
        SCOPED_TRACE(v);
        double rounded = 0;
        EXPECT_FALSE(qx::conv::RoundTo15Digits(v, rounded));
        ExpectSameDigits(v);
    }
}

}  // namespace
