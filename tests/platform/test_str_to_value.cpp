// Parsing: StrToFloat, StrToInt64, StrToDate, StrToTime, StrToDateTime.
#include <gtest/gtest.h>

#include <cmath>

#include "conv_test_util.h"
#include "platform/sysutils.h"

namespace qx {
namespace {

using testing::ExpectConvertError;

struct FloatCase {
    const char* text;
    double expected;
};

TEST(StrToFloat, AcceptsNumbersWithTheSettingsDecimalSeparator) {
    const FloatCase us[] = {
        {"3.25", 3.25}, {" -1.5e3 ", -1500}, {"+.5", 0.5},
        {"5.", 5},      {"1E-400", 0},       {"0.1", 0.1},
        {"007", 7},     {"-0", 0},           {"1.7976931348623157e308", 1.7976931348623157e308},
        {"2.5E+2", 250}};
    for (const auto& c : us) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(StrToFloat(c.text, TFormatSettings{}), c.expected);
    }
    EXPECT_EQ(StrToFloat("3,25", testing::CommaSettings()), 3.25);
    EXPECT_EQ(StrToFloat("-1234,5e-1", testing::CommaSettings()), -123.45);
}

TEST(StrToFloat, RejectsAnythingElseWithTheClassicText) {
    testing::ExpectRejected(
        {"abc", "", " ", "1,000", "1e", "1e+", "--1", "1.2.3", "INF", "NAN", "1e400", ".", "0x10",
         "12abc"},
        [&](const char* text) { StrToFloat(text, TFormatSettings{}); }, "floating point value");
    // The point is no decimal separator where the settings say comma.
    ExpectConvertError([] { StrToFloat("3.25", testing::CommaSettings()); },
                       "'3.25' is not a valid floating point value");
}

TEST(TryStrToFloat, LeavesTheTargetAloneOnFailure) {
    double out = 42;
    EXPECT_FALSE(TryStrToFloat("x1", out, TFormatSettings{}));
    EXPECT_EQ(out, 42);
    EXPECT_TRUE(TryStrToFloat("-2.5", out, TFormatSettings{}));
    EXPECT_EQ(out, -2.5);
}

TEST(StrToInt64, DecimalAndHexadecimal) {
    const struct {
        const char* text;
        std::int64_t expected;
    } cases[] = {{"42", 42},
                 {"  -17", -17},
                 {"+5", 5},
                 {"$FF", 255},
                 {"0x1f", 31},
                 {"-$10", -16},
                 {"9223372036854775807", INT64_MAX},
                 {"-9223372036854775808", INT64_MIN},
                 {"$FFFFFFFFFFFFFFFF", -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(StrToInt64(c.text), c.expected);
    }
    testing::ExpectRejected(
        {"2.5", "x", "", "12 ", "9223372036854775808", "-9223372036854775809", "$", "0x",
         "$10000000000000000", "1e3"},
        [&](const char* text) { StrToInt64(text); }, "integer value");
}

TEST(StrToDate, ReadsTheShortDateOrderAndSeparator) {
    const TDateTime march7 = EncodeDate(2024, 3, 7);
    EXPECT_EQ(StrToDate("3/7/2024", TFormatSettings{}), march7);
    EXPECT_EQ(StrToDate(" 3 / 7 / 2024 ", TFormatSettings{}), march7);
    EXPECT_EQ(StrToDate("07.03.2024", testing::CommaSettings()), march7);
    TFormatSettings iso;
    iso.ShortDateFormat = "yyyy-MM-dd";
    iso.DateSeparator = "-";
    EXPECT_EQ(StrToDate("2024-03-07", iso), march7);
    EXPECT_EQ(StrToDate("1/1/987", TFormatSettings{}), EncodeDate(987, 1, 1));
    EXPECT_EQ(StrToDate("12/29/1899", TFormatSettings{}), -1);
}

TEST(StrToDate, TwoDigitAndMissingYears) {
    const TFormatSettings us;
    const struct {
        const char* text;
        int currentYear;
        int window;
        int expectedYear;
    } cases[] = {
        {"3/7/24", 2025, 50, 2024}, {"3/7/75", 2025, 50, 1975}, {"3/7/74", 2025, 50, 2074},
        {"3/7/99", 2025, 0, 2099},  {"3/7/05", 1990, 50, 2005}, {"3/7/41", 1990, 50, 1941},
        {"3/7", 2025, 50, 2025},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text + std::string(" in ") + std::to_string(c.currentYear));
        TFormatSettings fs = us;
        fs.TwoDigitYearCenturyWindow = c.window;
        TDateTime out = 0;
        ASSERT_TRUE(TryStrToDate(c.text, out, fs, c.currentYear));
        EXPECT_EQ(out, EncodeDate(c.expectedYear, 3, 7));
    }
}

TEST(StrToDate, RejectsImpossibleAndMalformedDates) {
    testing::ExpectRejected(
        {"32/13/2024", "2/30/2024", "abc", "", "3/7/2024 10:00", "3/7/20245", "3-7-2024", "3/7/",
         "/3/7"},
        [&](const char* text) { StrToDate(text, TFormatSettings{}); }, "date");
    ExpectConvertError([] { StrToDate("3/7/2024", testing::CommaSettings()); },
                       "'3/7/2024' is not a valid date");
}

TEST(StrToTime, HoursMinutesSecondsAndMarkers) {
    const TFormatSettings us;
    const struct {
        const char* text;
        int h, n, s, ms;
    } cases[] = {
        {"9:05", 9, 5, 0, 0},        {"09:05:03", 9, 5, 3, 0},     {"9:05:03.042", 9, 5, 3, 42},
        {"9:05:03.5", 9, 5, 3, 500}, {"9:05 PM", 21, 5, 0, 0},     {"9:05pm", 21, 5, 0, 0},
        {"12:00 AM", 0, 0, 0, 0},    {"12:00 PM", 12, 0, 0, 0},    {"PM 3:00", 15, 0, 0, 0},
        {"9", 9, 0, 0, 0},           {" 23:59:59 ", 23, 59, 59, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(StrToTime(c.text, us), EncodeTime(c.h, c.n, c.s, c.ms));
    }
    testing::ExpectRejected(
        {"25:00", "13:00 PM", "0:30 AM", "24:00", "9:60", "9:05:60", "9:05:03.1234", "9:", "x", ""},
        [&](const char* text) { StrToTime(text, us); }, "time");
    TFormatSettings de = testing::CommaSettings();
    de.TimeAMString = "vorm.";
    de.TimePMString = "nachm.";
    EXPECT_EQ(StrToTime("9:05:03,25", de), EncodeTime(9, 5, 3, 250));
    EXPECT_EQ(StrToTime("9:05 nachm.", de), EncodeTime(21, 5, 0, 0));
}

TEST(StrToDateTime, DateWithOptionalTime) {
    const TFormatSettings us;
    EXPECT_EQ(StrToDateTime("3/7/2024 9:05:03 PM", us),
              EncodeDate(2024, 3, 7) + EncodeTime(21, 5, 3, 0));
    EXPECT_EQ(StrToDateTime("3/7/2024", us), EncodeDate(2024, 3, 7));
    EXPECT_EQ(StrToDateTime("21:05", us), EncodeTime(21, 5, 0, 0));
    EXPECT_EQ(StrToDateTime("12/29/1899 6:00", us), -1.25);
    EXPECT_EQ(StrToDateTime("07.03.2024 09:05:03", testing::CommaSettings()),
              EncodeDate(2024, 3, 7) + EncodeTime(9, 5, 3, 0));
    testing::ExpectRejected(
        {"3/7/2024 x", "3/7/2024 25:00", "2/30/2024 10:00", "", "now"},
        [&](const char* text) { StrToDateTime(text, us); }, "date and time");
}

TEST(StrToDateTime, ReadsBackWhatTheFormattersWrite) {
    const TFormatSettings settings[] = {TFormatSettings{}, testing::CommaSettings()};
    const TDateTime values[] = {EncodeDate(2024, 3, 7) + EncodeTime(9, 5, 3, 0),
                                // Before 1899-12-30 the time is subtracted from the day.
                                EncodeDate(1, 1, 1) - EncodeTime(23, 59, 59, 0),
                                EncodeDate(9999, 12, 31) + EncodeTime(12, 0, 0, 0),
                                EncodeDate(1582, 10, 15)};
    for (const auto& fs : settings) {
        for (TDateTime v : values) {
            SCOPED_TRACE(DateTimeToStr(v, fs));
            EXPECT_EQ(StrToDateTime(DateTimeToStr(v, fs), fs), v);
            EXPECT_EQ(StrToDate(DateToStr(v, fs), fs), std::trunc(v));
        }
    }
}

}  // namespace
}  // namespace qx
