// The TDateTime calendar: proleptic Gregorian day counts from 1899-12-30,
// valid from 0001-01-01 to 9999-12-31, and the time of day in milliseconds.
#include <cmath>
#include <cstdio>

#include "platform/exceptions.h"
#include "platform/internal/date_time.h"
#include "platform/sysutils.h"

namespace qx {
namespace {

constexpr int kDaysInMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// Days from 1970-01-01 to 1899-12-30 (the day TDateTime counts from).
constexpr long long kEpochShift = -25569;

// Day count since 1970-01-01 of a proleptic Gregorian date (the well-known
// era arithmetic: 400-year eras of 146097 days, years starting in March so
// that the leap day ends the year).
long long DaysFromCivil(int y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153LL * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
}

}  // namespace

bool IsLeapYear(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
    if (month < 1 || month > 12) return 0;
    return kDaysInMonth[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

bool TryEncodeDate(int y, int m, int d, TDateTime& out) {
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) return false;
    out = static_cast<double>(DaysFromCivil(y, m, d) - kEpochShift);
    return true;
}

bool TryEncodeTime(int h, int n, int s, int ms, TDateTime& out) {
    if (h < 0 || h > 23 || n < 0 || n > 59 || s < 0 || s > 59 || ms < 0 || ms > 999) return false;
    const long long total = ((h * 60LL + n) * 60 + s) * 1000 + ms;
    out = static_cast<double>(total) / conv::kMSecsPerDay;
    return true;
}

TDateTime EncodeDate(int y, int m, int d) {
    TDateTime out;
    if (!TryEncodeDate(y, m, d, out)) throw EConvertError("Invalid argument to date encode");
    return out;
}

TDateTime EncodeTime(int h, int n, int s, int ms) {
    TDateTime out;
    if (!TryEncodeTime(h, n, s, ms, out)) throw EConvertError("Invalid argument to time encode");
    return out;
}

namespace conv {

bool TrySplitDateTime(TDateTime dt, DateTimeParts& out) {
    if (!std::isfinite(dt)) return false;
    // Rounded to the millisecond first, so that 23:59:59.9996 is midnight of
    // the next day rather than a time of 24:00:00.
    const double scaled = std::round(dt * kMSecsPerDay);
    constexpr double kLimit = (kMaxDateDays + 1.0) * kMSecsPerDay;
    if (scaled <= -kLimit || scaled >= kLimit) return false;
    const long long total = static_cast<long long>(scaled);
    const long long days = total / kMSecsPerDay;  // toward zero
    long long time = total % kMSecsPerDay;
    if (time < 0) time = -time;  // before 1899-12-30 the fraction still reads forwards
    if (days < kMinDateDays || days > kMaxDateDays) return false;
    out.days = static_cast<int>(days);
    CivilFromDays(days + kEpochShift, out.year, out.month, out.day);
    out.hour = static_cast<int>(time / 3600000);
    out.minute = static_cast<int>(time / 60000 % 60);
    out.second = static_cast<int>(time / 1000 % 60);
    out.msec = static_cast<int>(time % 1000);
    // 1899-12-30 was a Saturday (7).
    out.dayOfWeek = static_cast<int>(((days - 1) % 7 + 7) % 7) + 1;
    return true;
}

DateTimeParts SplitDateTime(TDateTime dt) {
    DateTimeParts parts;
    if (!TrySplitDateTime(dt, parts)) {
        throw EConvertError("'" + FloatToStr(dt) + "' is not a valid date and time");
    }
    return parts;
}

}  // namespace conv

void DecodeDate(TDateTime dt, int& y, int& m, int& d) {
    const conv::DateTimeParts p = conv::SplitDateTime(dt);
    y = p.year;
    m = p.month;
    d = p.day;
}

void DecodeTime(TDateTime dt, int& h, int& n, int& s, int& ms) {
    const conv::DateTimeParts p = conv::SplitDateTime(dt);
    h = p.hour;
    n = p.minute;
    s = p.second;
    ms = p.msec;
}

int DayOfWeek(TDateTime dt) {
    return conv::SplitDateTime(dt).dayOfWeek;
}

bool TryParseIsoDateTime(const std::string& text, TDateTime& value) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    value = 0;
    std::string datePart = text, timePart;
    const auto sep = text.find_first_of(" T");
    if (text.find(':') != std::string::npos && text.find('-') == std::string::npos) {
        datePart.clear();
        timePart = text;
    } else if (sep != std::string::npos) {
        datePart = text.substr(0, sep);
        timePart = text.substr(sep + 1);
    }
    if (!datePart.empty()) {
        char tail = 0;
        if (std::sscanf(datePart.c_str(), "%d-%d-%d%c", &y, &mo, &d, &tail) != 3 ||
            !TryEncodeDate(y, mo, d, value))
            return false;
    }
    if (!timePart.empty()) {
        TDateTime t = 0;
        char tail = 0;
        const int n = std::sscanf(timePart.c_str(), "%d:%d:%d%c", &h, &mi, &s, &tail);
        if ((n != 2 && n != 3) || !TryEncodeTime(h, mi, n == 3 ? s : 0, 0, t)) return false;
        value += t;
    }
    return !text.empty();
}

}  // namespace qx
