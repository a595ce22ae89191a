// Number, currency and date conversions of the host layer, with the classic
// behaviour the report engine was designed against: format settings, float
// and date formatting by kind or by pattern, parsing, and the day-count
// calendar of TDateTime. All text is UTF-8; separators are one code point
// each, held as a UTF-8 string so that multi-byte ones (a no-break space as
// thousands separator) work unchanged. See docs/conversions.md for the
// choices made where the classic behaviour is silent or unsound.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace qx {

// Days since 1899-12-30 (proleptic Gregorian); the fraction is the time of day.
// Before that day the integer part counts backwards while the fraction still
// reads forwards: -1.25 is 1899-12-29 06:00.
using TDateTime = double;

// Limits of the calendar: 0001-01-01 and 9999-12-31.
inline constexpr int kMinDateDays = -693593;
inline constexpr int kMaxDateDays = 2958465;

struct TFormatSettings {
    // One code point each. An empty ThousandSeparator means "no grouping".
    std::string DecimalSeparator = ".";
    std::string ThousandSeparator = ",";
    std::string CurrencyString = "$";
    // Position of CurrencyString around a positive amount: 0 "$1", 1 "1$",
    // 2 "$ 1", 3 "1 $".
    int CurrencyFormat = 0;
    // Layout of a negative amount, 0 "($1)" to 15 "(1 $)".
    int NegCurrFormat = 0;
    int CurrencyDecimals = 2;
    std::string ShortDateFormat = "M/d/yyyy";
    std::string LongDateFormat = "dddd, MMMM d, yyyy";
    std::string DateSeparator = "/";
    std::string TimeSeparator = ":";
    std::string ShortTimeFormat = "h:mm AMPM";
    std::string LongTimeFormat = "h:mm:ss AMPM";
    std::string TimeAMString = "AM";
    std::string TimePMString = "PM";
    std::array<std::string, 12> ShortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::array<std::string, 12> LongMonthNames{"January",   "February", "March",    "April",
                                               "May",       "June",     "July",     "August",
                                               "September", "October",  "November", "December"};
    // Sunday first.
    std::array<std::string, 7> ShortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    std::array<std::string, 7> LongDayNames{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                            "Thursday", "Friday", "Saturday"};
    // A two-digit year is placed in the hundred years starting this many
    // years before the current one; 0 keeps it in the current century.
    int TwoDigitYearCenturyWindow = 50;

    // Settings of a POSIX locale by name ("de_DE.UTF-8"). "C", "POSIX" and
    // "C.<codeset>" give the defaults above; "" reads the environment's
    // locale. Raises qx::Exception when the locale is not installed.
    static TFormatSettings FromLocale(const std::string& name);

    bool operator==(const TFormatSettings&) const = default;
};

// The process-wide settings, initialised to the defaults above (never from
// the machine's locale).
TFormatSettings& FormatSettings();

enum TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };

// Floating point to text ------------------------------------------------------

std::string FloatToStr(double v, const TFormatSettings& fs = FormatSettings());
std::string FloatToStrF(double v, TFloatFormat f, int precision, int digits,
                        const TFormatSettings& fs = FormatSettings());
std::string FormatFloat(const std::string& pattern, double v,
                        const TFormatSettings& fs = FormatSettings());

// Text to numbers -------------------------------------------------------------

double StrToFloat(const std::string& s, const TFormatSettings& fs = FormatSettings());
bool TryStrToFloat(const std::string& s, double& out, const TFormatSettings& fs = FormatSettings());
std::int64_t StrToInt64(const std::string& s);
bool TryStrToInt64(const std::string& s, std::int64_t& out);
// True when `text` is a whole number in digits, of any size: an optional
// "-", then "0" or digits that do not start with "0". Integers beyond 64
// bits are kept as this text, so that every digit is written as it came.
bool IsIntegerText(std::string_view text);

// Calendar --------------------------------------------------------------------

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
bool TryEncodeDate(int y, int m, int d, TDateTime& out);
bool TryEncodeTime(int h, int n, int s, int ms, TDateTime& out);
// "yyyy-mm-dd", "hh:nn[:ss]" or both (joined by a blank or "T"),
// independent of the locale; false when the text is none of these.
bool TryParseIsoDateTime(const std::string& text, TDateTime& value);
TDateTime EncodeDate(int y, int m, int d);
TDateTime EncodeTime(int h, int n, int s, int ms);
// Raise EConvertError for a value outside 0001-01-01 .. 9999-12-31 (or NaN).
void DecodeDate(TDateTime dt, int& y, int& m, int& d);
void DecodeTime(TDateTime dt, int& h, int& n, int& s, int& ms);
// 1 = Sunday .. 7 = Saturday.
int DayOfWeek(TDateTime dt);

// Date and time to text -------------------------------------------------------

std::string FormatDateTime(const std::string& pattern, TDateTime dt,
                           const TFormatSettings& fs = FormatSettings());
std::string DateToStr(TDateTime dt, const TFormatSettings& fs = FormatSettings());
std::string TimeToStr(TDateTime dt, const TFormatSettings& fs = FormatSettings());
std::string DateTimeToStr(TDateTime dt, const TFormatSettings& fs = FormatSettings());

// Text to date and time -------------------------------------------------------

TDateTime StrToDate(const std::string& s, const TFormatSettings& fs = FormatSettings());
TDateTime StrToTime(const std::string& s, const TFormatSettings& fs = FormatSettings());
TDateTime StrToDateTime(const std::string& s, const TFormatSettings& fs = FormatSettings());
bool TryStrToDate(const std::string& s, TDateTime& out,
                  const TFormatSettings& fs = FormatSettings());
bool TryStrToTime(const std::string& s, TDateTime& out,
                  const TFormatSettings& fs = FormatSettings());
bool TryStrToDateTime(const std::string& s, TDateTime& out,
                      const TFormatSettings& fs = FormatSettings());
// As above with the year that two-digit and missing years are read against
// given explicitly instead of taken from the clock.
bool TryStrToDate(const std::string& s, TDateTime& out, const TFormatSettings& fs, int currentYear);
bool TryStrToDateTime(const std::string& s, TDateTime& out, const TFormatSettings& fs,
                      int currentYear);

}  // namespace qx
