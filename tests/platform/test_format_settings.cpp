// TFormatSettings: the defaults, the process-wide instance and settings
// read from installed POSIX locales.
#include <gtest/gtest.h>

#include "conv_test_util.h"
#include "platform/sysutils.h"

namespace qx {
namespace {

void ExpectDefaults(const TFormatSettings& fs) {
    EXPECT_EQ(fs.DecimalSeparator, ".");
    EXPECT_EQ(fs.ThousandSeparator, ",");
    EXPECT_EQ(fs.CurrencyString, "$");
    EXPECT_EQ(fs.CurrencyFormat, 0);
    EXPECT_EQ(fs.NegCurrFormat, 0);
    EXPECT_EQ(fs.CurrencyDecimals, 2);
    EXPECT_EQ(fs.ShortDateFormat, "M/d/yyyy");
    EXPECT_EQ(fs.DateSeparator, "/");
    EXPECT_EQ(fs.TimeSeparator, ":");
    EXPECT_EQ(fs.LongTimeFormat, "h:mm:ss AMPM");
    EXPECT_EQ(fs.TimeAMString, "AM");
    EXPECT_EQ(fs.LongMonthNames[11], "December");
    EXPECT_EQ(fs.ShortDayNames[0], "Sun");
}

TEST(FormatSettings, CAndPosixLocalesGiveTheDefaults) {
    for (const char* name : {"C", "POSIX", "C.UTF-8"}) {
        SCOPED_TRACE(name);
        ExpectDefaults(TFormatSettings::FromLocale(name));
    }
}

TEST(FormatSettings, ProcessWideInstanceStartsAtTheDefaultsAndServesDefaultArguments) {
    TFormatSettings& global = FormatSettings();
    ExpectDefaults(global);
    const TFormatSettings saved = global;
    global = testing::CommaSettings();
    const std::string number = FloatToStr(3.25);
    const std::string date = DateToStr(EncodeDate(2024, 3, 7));
    const double parsed = StrToFloat("1,5");
    global = saved;
    EXPECT_EQ(number, "3,25");
    EXPECT_EQ(date, "07.03.2024");
    EXPECT_EQ(parsed, 1.5);
}

TEST(FormatSettings, UnknownLocaleIsAnError) {
    try {
        TFormatSettings::FromLocale("xx_XX.NOPE");
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Locale 'xx_XX.NOPE' is not available");
    }
}

TEST(FormatSettings, GermanLocale) {
    if (!testing::LocaleInstalled("de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 not installed";
    const TFormatSettings de = TFormatSettings::FromLocale("de_DE.UTF-8");
    EXPECT_EQ(de.DecimalSeparator, ",");
    EXPECT_EQ(de.ThousandSeparator, ".");
    EXPECT_EQ(de.CurrencyString, "\xE2\x82\xAC");
    EXPECT_EQ(de.CurrencyFormat, 3);
    EXPECT_EQ(de.NegCurrFormat, 8);
    EXPECT_EQ(de.CurrencyDecimals, 2);
    EXPECT_EQ(de.ShortDateFormat, "dd.MM.yyyy");
    EXPECT_EQ(de.DateSeparator, ".");
    EXPECT_EQ(de.LongTimeFormat, "hh:nn:ss");
    EXPECT_EQ(de.ShortTimeFormat, "hh:nn");
    EXPECT_EQ(de.TimeSeparator, ":");
    EXPECT_EQ(de.LongMonthNames[2], "M\xC3\xA4rz");
    EXPECT_EQ(de.ShortMonthNames[0], "Jan");
    EXPECT_EQ(de.LongDayNames[0], "Sonntag");

    const TDateTime dt = EncodeDate(2024, 3, 7) + EncodeTime(21, 5, 3, 0);
    EXPECT_EQ(DateTimeToStr(dt, de), "07.03.2024 21:05:03");
    EXPECT_EQ(FormatDateTime("dddddd", dt, de), "Donnerstag, 7 M\xC3\xA4rz 2024");
    EXPECT_EQ(StrToDateTime(DateTimeToStr(dt, de), de), dt);
    EXPECT_EQ(FloatToStrF(-1234.5, ffCurrency, 18, 2, de), "-1.234,50 \xE2\x82\xAC");
    EXPECT_EQ(StrToFloat(FloatToStr(-1234.5, de), de), -1234.5);
}

TEST(FormatSettings, RussianLocaleWithMultiByteGrouping) {
    if (!testing::LocaleInstalled("ru_RU.UTF-8")) GTEST_SKIP() << "ru_RU.UTF-8 not installed";
    const TFormatSettings ru = TFormatSettings::FromLocale("ru_RU.UTF-8");
    EXPECT_EQ(ru.DecimalSeparator, ",");
    // One code point of more than one byte (a no-break space of some width).
    const std::string& sep = ru.ThousandSeparator;
    ASSERT_GT(sep.size(), 1u);
    EXPECT_TRUE(sep == "\xC2\xA0" || sep == "\xE2\x80\xAF") << sep;
    EXPECT_EQ(FloatToStrF(1234567.5, ffNumber, 18, 1, ru), "1" + sep + "234" + sep + "567,5");
    EXPECT_EQ(FormatFloat("#,##0.00", -1234.5, ru), "-1" + sep + "234,50");
    EXPECT_EQ(ru.ShortDateFormat, "dd.MM.yyyy");
    EXPECT_EQ(ru.LongMonthNames[0].rfind("\xD1\x8F\xD0\xBD\xD0\xB2", 0), 0u);  // starts with "янв"
    const TDateTime dt = EncodeDate(2024, 1, 31) + EncodeTime(8, 0, 0, 0);
    EXPECT_EQ(StrToDateTime(DateTimeToStr(dt, ru), ru), dt);
}

}  // namespace
}  // namespace qx
