// FormatDateTime tokens and the fixed texts DateToStr, TimeToStr and
// DateTimeToStr.
#include <gtest/gtest.h>

#include <limits>

#include "conv_test_util.h"
#include "platform/sysutils.h"

namespace qx {
namespace {

struct DateCase {
    const char* pattern;
    TDateTime value;
    const char* expected;
};

class FormatDateTimeTest : public ::testing::Test {
  protected:
    // Thursday 2024-03-07 09:05:03.042 and Wednesday 2024-12-25 23:45.
    const TDateTime morning_ = EncodeDate(2024, 3, 7) + EncodeTime(9, 5, 3, 42);
    const TDateTime evening_ = EncodeDate(2024, 12, 25) + EncodeTime(23, 45, 0, 0);
    const TDateTime midnight_ = EncodeDate(2024, 3, 7);
    const TDateTime noon_ = EncodeDate(2024, 3, 7) + EncodeTime(12, 30, 0, 0);

    void Expect(std::initializer_list<DateCase> cases, const TFormatSettings& fs) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.pattern);
            EXPECT_EQ(FormatDateTime(c.pattern, c.value, fs), c.expected);
        }
    }
};

TEST_F(FormatDateTimeTest, DateTokens) {
    Expect({{"dd.mm.yyyy", morning_, "07.03.2024"},
            {"d/m/yy", morning_, "7/3/24"},
            {"dddd, mmmm d, yyyy", morning_, "Thursday, March 7, 2024"},
            {"ddd d mmm yyyy", evening_, "Wed 25 Dec 2024"},
            {"ddddd", morning_, "3/7/2024"},
            {"dddddd", morning_, "Thursday, March 7, 2024"},
            {"yyyy", EncodeDate(987, 1, 1), "0987"},
            {"yy", EncodeDate(2005, 1, 1), "05"},
            {"dddd", EncodeDate(1582, 10, 4), "Monday"},
            {"yyyy-mm-dd", -1.25, "1899-12-29"}},
           TFormatSettings{});
}

TEST_F(FormatDateTimeTest, TimeTokens) {
    Expect({{"hh:nn:ss.zzz", morning_, "09:05:03.042"},
            {"h:n:s.z", morning_, "9:5:3.42"},
            {"hh:mm", morning_, "09:05"},  // m after h is the minute
            {"h mm", morning_, "9 05"},
            {"h \"h\" mm", morning_, "9 h 05"},
            {"mm hh", morning_, "03 09"},  // m before h is the month
            {"t", morning_, "9:05 AM"},
            {"tt", evening_, "11:45:00 PM"},
            {"hh:nn", -1.25, "06:00"}},
           TFormatSettings{});
}

TEST_F(FormatDateTimeTest, TwelveHourClock) {
    Expect({{"h:n am/pm", morning_, "9:5 am"},
            {"h:nn AM/PM", evening_, "11:45 PM"},
            {"h:nn Am/Pm", evening_, "11:45 Pm"},
            {"hh:nn a/p", evening_, "11:45 p"},
            {"h:nn A/P", morning_, "9:05 A"},
            {"hh ampm", evening_, "11 PM"},
            {"h am/pm", midnight_, "12 am"},
            {"h am/pm", noon_, "12 pm"},
            {"hh", evening_, "23"},
            {"h \"am/pm\"", evening_, "23 am/pm"},       // quoted: no clock change
            {"h:nn h am/pm", evening_, "23:45 11 pm"}},  // only the hour before the marker
           TFormatSettings{});
}

TEST_F(FormatDateTimeTest, CombinedFormsAndLiterals) {
    Expect({{"c", morning_, "3/7/2024 9:05:03 AM"},
            {"c", midnight_, "3/7/2024"},
            {"", evening_, "12/25/2024 11:45:00 PM"},
            {"'dd' dd", morning_, "dd 07"},
            {"\"hh\"", morning_, "hh"},
            {"'unterminated", morning_, "unterminated"},
            {"[x] dd", morning_, "[x] 07"}},
           TFormatSettings{});
}

TEST_F(FormatDateTimeTest, SettingsSeparatorsAndNames) {
    TFormatSettings fs = testing::CommaSettings();
    fs.DateSeparator = "-";
    fs.TimeSeparator = ".";
    fs.LongMonthNames[2] = "M\xC3\xA4rz";
    fs.LongDayNames[4] = "Donnerstag";
    Expect({{"yy/mm/dd hh:nn", morning_, "24-03-07 09.05"},
            {"dddd, d. mmmm yyyy", morning_, "Donnerstag, 7. M\xC3\xA4rz 2024"},
            {"c", morning_, "07.03.2024 09.05.03"}},
           fs);
    fs.TimeAMString = "vorm.";
    fs.TimePMString = "nachm.";
    EXPECT_EQ(FormatDateTime("h ampm", evening_, fs), "11 nachm.");
}

TEST_F(FormatDateTimeTest, LongResults) {
    std::string pattern, expected;
    for (int i = 0; i < 40; ++i) {
        pattern += "dddd mmmm yyyy|";
        expected += "Thursday March 2024|";
    }
    EXPECT_EQ(FormatDateTime(pattern, morning_, TFormatSettings{}), expected);
}

TEST_F(FormatDateTimeTest, SelfNamingSettingsDoNotRecurseForever) {
    TFormatSettings fs;
    fs.ShortDateFormat = "ddddd";
    fs.LongTimeFormat = "tt";
    EXPECT_EQ(FormatDateTime("ddddd", morning_, fs), "");
    EXPECT_EQ(FormatDateTime("[c]", morning_, fs), "[ ]");
    fs.ShortDateFormat.clear();  // an empty named format writes nothing
    EXPECT_EQ(FormatDateTime("[ddddd]", morning_, fs), "[]");
}

TEST_F(FormatDateTimeTest, InvalidValuesRaise) {
    testing::ExpectConvertError(
        [] { FormatDateTime("c", std::numeric_limits<double>::quiet_NaN(), TFormatSettings{}); },
        "'NAN' is not a valid date and time");
    testing::ExpectConvertError([] { DateToStr(1E10, TFormatSettings{}); },
                                "'10000000000' is not a valid date and time");
}

TEST_F(FormatDateTimeTest, FixedTexts) {
    const TFormatSettings us;
    EXPECT_EQ(DateToStr(morning_, us), "3/7/2024");
    EXPECT_EQ(TimeToStr(morning_, us), "9:05:03 AM");
    EXPECT_EQ(TimeToStr(midnight_, us), "12:00:00 AM");
    EXPECT_EQ(DateTimeToStr(evening_, us), "12/25/2024 11:45:00 PM");
    EXPECT_EQ(DateTimeToStr(midnight_, us), "3/7/2024");
    const TFormatSettings de = testing::CommaSettings();
    EXPECT_EQ(DateToStr(morning_, de), "07.03.2024");
    EXPECT_EQ(TimeToStr(evening_, de), "23:45:00");
    EXPECT_EQ(DateTimeToStr(morning_, de), "07.03.2024 09:05:03");
}

}  // namespace
}  // namespace qx
