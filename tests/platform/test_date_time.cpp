// The TDateTime calendar: EncodeDate/DecodeDate, EncodeTime/DecodeTime,
// day counts before 1899 and across 1582, and the limits of the range.
#include <gtest/gtest.h>

#include <limits>

#include "conv_test_util.h"
#include "platform/sysutils.h"

namespace qx {
namespace {

struct DayCase {
    int y, m, d;
    int days;       // days since 1899-12-30
    int dayOfWeek;  // 1 = Sunday
};

// Day counts computed independently from a proleptic Gregorian ordinal.
constexpr DayCase kDays[] = {
    {1, 1, 1, -693593, 2},      {9999, 12, 31, 2958465, 6}, {1899, 12, 30, 0, 7},
    {1899, 12, 29, -1, 6},      {1900, 3, 1, 61, 5},        {1600, 2, 29, -109512, 3},
    {1582, 10, 15, -115858, 6}, {1582, 10, 4, -115869, 2},  {1500, 6, 15, -145930, 6},
    {2024, 3, 7, 45358, 5},
};

TEST(Calendar, EncodeAndDecodeKnownDays) {
    for (const auto& c : kDays) {
        SCOPED_TRACE(std::to_string(c.y) + "-" + std::to_string(c.m) + "-" + std::to_string(c.d));
        EXPECT_EQ(EncodeDate(c.y, c.m, c.d), c.days);
        int y = 0, m = 0, d = 0;
        DecodeDate(c.days, y, m, d);
        EXPECT_EQ(y, c.y);
        EXPECT_EQ(m, c.m);
        EXPECT_EQ(d, c.d);
        EXPECT_EQ(DayOfWeek(c.days), c.dayOfWeek);
    }
}

TEST(Calendar, GregorianRulesHoldForEveryYear) {
    // No switch from an older calendar: the ten days before 1582-10-15 exist
    // and the century rule applies before 1582 as after it.
    EXPECT_EQ(EncodeDate(1582, 10, 15) - EncodeDate(1582, 10, 4), 11);
    EXPECT_EQ(EncodeDate(1582, 10, 10), -115863);
    TDateTime out = 0;
    EXPECT_FALSE(TryEncodeDate(1500, 2, 29, out));
    EXPECT_TRUE(TryEncodeDate(1200, 2, 29, out));
    EXPECT_FALSE(TryEncodeDate(1900, 2, 29, out));
    EXPECT_TRUE(TryEncodeDate(2000, 2, 29, out));
}

TEST(Calendar, EveryDayFollowsTheDayBefore) {
    int py = 0, pm = 0, pd = 0;
    DecodeDate(kMinDateDays, py, pm, pd);
    for (int day = kMinDateDays + 1; day <= kMaxDateDays; ++day) {
        int y = 0, m = 0, d = 0;
        DecodeDate(day, y, m, d);
        const bool nextInMonth = y == py && m == pm && d == pd + 1;
        const bool nextMonth = y == py && m == pm + 1 && d == 1 && pd == DaysInMonth(py, pm);
        const bool nextYear = y == py + 1 && m == 1 && d == 1 && pm == 12 && pd == 31;
        if (!(nextInMonth || nextMonth || nextYear)) {
            FAIL() << "day " << day << " decodes to " << y << "-" << m << "-" << d;
        }
        py = y, pm = m, pd = d;
    }
    EXPECT_EQ(py, 9999);
}

TEST(Calendar, InvalidDatesAndTimes) {
    const int dates[][3] = {{2024, 2, 30}, {0, 1, 1},     {10000, 1, 1}, {2024, 13, 1},
                            {2024, 0, 1},  {2024, 4, 31}, {2024, 1, 0}};
    for (const auto& d : dates) {
        SCOPED_TRACE(std::to_string(d[0]) + "-" + std::to_string(d[1]) + "-" +
                     std::to_string(d[2]));
        testing::ExpectConvertError([&] { EncodeDate(d[0], d[1], d[2]); },
                                    "Invalid argument to date encode");
    }
    const int times[][4] = {
        {24, 0, 0, 0}, {0, 60, 0, 0}, {0, 0, 60, 0}, {0, 0, 0, 1000}, {-1, 0, 0, 0}};
    for (const auto& t : times) {
        SCOPED_TRACE(std::to_string(t[0]) + ":" + std::to_string(t[1]) + ":" +
                     std::to_string(t[2]) + "." + std::to_string(t[3]));
        testing::ExpectConvertError([&] { EncodeTime(t[0], t[1], t[2], t[3]); },
                                    "Invalid argument to time encode");
    }
}

TEST(Calendar, TimeOfDayRoundTripsToTheMillisecond) {
    const int times[][4] = {
        {0, 0, 0, 0}, {9, 5, 3, 42}, {12, 0, 0, 0}, {23, 59, 59, 999}, {10, 0, 0, 1}};
    for (const auto& t : times) {
        SCOPED_TRACE(std::to_string(t[0]) + ":" + std::to_string(t[1]) + ":" +
                     std::to_string(t[2]) + "." + std::to_string(t[3]));
        int h = -1, n = -1, s = -1, ms = -1;
        // On a day far from the epoch too, where the fraction has fewer bits.
        for (TDateTime day : {0.0, 2958465.0, -693593.0}) {
            const TDateTime dt = day >= 0 ? day + EncodeTime(t[0], t[1], t[2], t[3])
                                          : day - EncodeTime(t[0], t[1], t[2], t[3]);
            DecodeTime(dt, h, n, s, ms);
            EXPECT_EQ(h, t[0]);
            EXPECT_EQ(n, t[1]);
            EXPECT_EQ(s, t[2]);
            EXPECT_EQ(ms, t[3]);
        }
    }
}

TEST(Calendar, NegativeValuesKeepTheTimeForwardFromMidnight) {
    // -1.25: the day before 1899-12-30, at 06:00.
    int y = 0, m = 0, d = 0, h = 0, n = 0, s = 0, ms = 0;
    DecodeDate(-1.25, y, m, d);
    DecodeTime(-1.25, h, n, s, ms);
    EXPECT_EQ(y * 10000 + m * 100 + d, 18991229);
    EXPECT_EQ(h, 6);
    EXPECT_EQ(n, 0);
}

TEST(Calendar, AlmostMidnightRoundsIntoTheNextDay) {
    const TDateTime dt = EncodeDate(2024, 12, 31) + (86399999.6 / 86400000.0);
    int y = 0, m = 0, d = 0, h = 0, n = 0, s = 0, ms = 0;
    DecodeDate(dt, y, m, d);
    DecodeTime(dt, h, n, s, ms);
    EXPECT_EQ(y * 10000 + m * 100 + d, 20250101);
    EXPECT_EQ(h + n + s + ms, 0);
}

TEST(Calendar, ValuesOutsideTheCalendarAreRejected) {
    int y = 0, m = 0, d = 0;
    testing::ExpectConvertError(
        [&] { DecodeDate(std::numeric_limits<double>::quiet_NaN(), y, m, d); },
        "'NAN' is not a valid date and time");
    testing::ExpectConvertError([&] { DecodeDate(2958466, y, m, d); },
                                "'2958466' is not a valid date and time");
    testing::ExpectConvertError([&] { DecodeDate(-693594, y, m, d); },
                                "'-693594' is not a valid date and time");
    testing::ExpectConvertError([&] { DayOfWeek(1E300); }, "'1E300' is not a valid date and time");
    DecodeDate(2958465.99999, y, m, d);  // the last millisecond still counts
    EXPECT_EQ(y, 9999);
}

}  // namespace
}  // namespace qx
