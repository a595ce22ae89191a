// FormatFloat: placeholders, separators, exponents, literals and sections.
#include <gtest/gtest.h>

#include <limits>

#include "conv_test_util.h"
#include "platform/sysutils.h"

namespace qx {
namespace {

struct PatternCase {
    const char* pattern;
    double value;
    const char* expected;
};

void ExpectPatterns(const PatternCase* begin, const PatternCase* end, const TFormatSettings& fs) {
    for (const PatternCase* c = begin; c != end; ++c) {
        SCOPED_TRACE(std::string(c->pattern) + " with " + std::to_string(c->value));
        EXPECT_EQ(FormatFloat(c->pattern, c->value, fs), c->expected);
    }
}

TEST(FormatFloat, DigitPlaceholdersAndRounding) {
    const PatternCase cases[] = {
        {"0.00", 3.14159, "3.14"},
        {"0.00", 2.675, "2.68"},
        {"0.00", 0.125, "0.13"},
        {"0.00", -0.125, "-0.13"},
        {"00000", 42, "00042"},
        {"#.##", 0.5, ".5"},
        {"#.##", 1, "1"},
        {"#", 0, ""},
        {"0.##", 1.5, "1.5"},
        {"0.##", 2, "2"},
        {"0.#0", 2, "2.00"},
        {".00", 12.5, "12.50"},  // integer digits go before the point
        {"0", 1E20, "100000000000000000000"},
        {"#", 0.5, "1"},
        {"0.0", -0.04, "0.0"},  // a negative value shown as zero loses its sign
    };
    ExpectPatterns(std::begin(cases), std::end(cases), TFormatSettings{});
}

TEST(FormatFloat, ThousandsSeparatorsAndLiterals) {
    const PatternCase cases[] = {
        {"#,##0", 1234567, "1,234,567"},
        {"#,##0", -1234.5, "-1,235"},
        {"#,##0", 999.5, "1,000"},
        {"0,000", 5, "0,005"},
        {"#,##0.00", 0.5, "0.50"},
        {"000-00", 12345, "123-45"},
        {"000-00", 1234567, "12345-67"},
        {"\"Total: \"0.0", 5, "Total: 5.0"},
        {"'#'0", 5, "#5"},
        {"0' %;'", 7, "7 %;"},  // quotes also hide the section separator
        {"'$'#,##0.00", -5, "-$5.00"},
        {"0 kg", 12, "12 kg"},
    };
    ExpectPatterns(std::begin(cases), std::end(cases), TFormatSettings{});
}

TEST(FormatFloat, ScientificNotation) {
    const PatternCase cases[] = {
        {"0.00E+00", 12345, "1.23E+04"},
        {"0.00E+00", 0.000123, "1.23E-04"},
        {"0.00E+00", 0, "0.00E+00"},
        {"0.00E+00", -1234.5, "-1.23E+03"},
        {"0.00E-00", 12345, "1.23E04"},
        {"0.00E-00", 0.000123, "1.23E-04"},
        {"0.0e+0", 0.5, "5.0e-1"},
        {"0.0e-0", 1.5, "1.5e0"},
        {"0.0E+0000", 1E100, "1.0E+0100"},
        {"##0.0E+0", 12345, "123.5E+2"},
        {"##0.0E+0", 0, "0.0E+0"},
        {"0E+0", 99999, "1E+5"},
        // Zero shows one digit even where every placeholder is a '#'.
        {"#.###E-0", 0, "0E0"},
        {"#.###E-0", 1234, "1.234E3"},
        {"##.##E+00", 0, "0E+00"},
        {"#.0E+0", 0, "0.0E+0"},
    };
    ExpectPatterns(std::begin(cases), std::end(cases), TFormatSettings{});
}

TEST(FormatFloat, Sections) {
    const PatternCase cases[] = {
        {"#,##0.00;(#,##0.00);Zero", -1234.5, "(1,234.50)"},
        {"#,##0.00;(#,##0.00);Zero", 1234.5, "1,234.50"},
        {"#,##0.00;(#,##0.00);Zero", 0, "Zero"},
        {"#,##0.00;(#,##0.00);Zero", -0.001, "Zero"},  // rounds to zero
        {"0.0;(0.0)", -0.01, "0.0"},                   // zero without a zero section
        {"0.0;(0.0)", 0, "0.0"},
        {"0;;\"zero\"", -3, "-3"},  // empty negative section: the positive one with a sign
        {"0;;\"zero\"", 0, "zero"},
        {"0;(0);", 0, "0"},  // empty zero section
        {"", 1234.5, "1234.5"},
        {"", -1E20, "-1E20"},
        {";(0)", 5, "5"},  // empty positive section: general form
        {";(0)", -5, "(5)"},
        {"0;(0);z;ignored", 0, "z"},
    };
    ExpectPatterns(std::begin(cases), std::end(cases), TFormatSettings{});
}

TEST(FormatFloat, SeparatorsOfTheSettings) {
    const PatternCase cases[] = {
        {"#,##0.0", 1234.5, "1.234,5"},
        {"0.00E+00", 12345, "1,23E+04"},
        {"0.00", 3.14159, "3,14"},
    };
    ExpectPatterns(std::begin(cases), std::end(cases), testing::CommaSettings());
    TFormatSettings fs;
    fs.ThousandSeparator = "\xE2\x80\xAF";  // NARROW NO-BREAK SPACE
    EXPECT_EQ(FormatFloat("#,##0", 1234567, fs),
              "1\xE2\x80\xAF"
              "234\xE2\x80\xAF"
              "567");
}

TEST(FormatFloat, LongResults) {
    // 1E300 shows all its integer digits: 1 and a hundred groups of zeros.
    std::string expected = "1";
    for (int i = 0; i < 100; ++i) expected += ",000";
    EXPECT_EQ(FormatFloat("#,##0", 1E300, TFormatSettings{}), expected);
    const std::string literal(300, 'x');
    EXPECT_EQ(FormatFloat("'" + literal + "'0.0'" + literal + "'", 2.5, TFormatSettings{}),
              literal + "2.5" + literal);
}

TEST(FormatFloat, NonFiniteValues) {
    const TFormatSettings fs;
    EXPECT_EQ(FormatFloat("0.00", std::numeric_limits<double>::quiet_NaN(), fs), "NAN");
    EXPECT_EQ(FormatFloat("0.00", -std::numeric_limits<double>::infinity(), fs), "-INF");
}

}  // namespace
}  // namespace qx
