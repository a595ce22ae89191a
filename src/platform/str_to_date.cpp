// Text to date and time, read with the short date order and the separators
// of the settings.
#include <ctime>
#include <string_view>

#include "platform/exceptions.h"
#include "platform/internal/conv.h"
#include "platform/sysutils.h"

namespace qx {
namespace {

constexpr int kMaxDateNumberDigits = 4;
constexpr int kMaxMillisecondDigits = 3;

using conv::AsciiUpper;

class Scanner {
  public:
    explicit Scanner(std::string_view s) : s_(s) {}

    void SkipBlanks() {
        while (pos_ < s_.size() && s_[pos_] == ' ') ++pos_;
    }
    bool AtEnd() {
        SkipBlanks();
        return pos_ == s_.size();
    }
    // A separator, after optional blanks.
    bool Literal(std::string_view sep) {
        SkipBlanks();
        if (sep.empty() || s_.substr(pos_, sep.size()) != sep) return false;
        pos_ += sep.size();
        return true;
    }
    // A word such as "PM", after optional blanks, ignoring ASCII case.
    bool Word(std::string_view w) {
        SkipBlanks();
        if (w.empty() || s_.size() - pos_ < w.size()) return false;
        for (std::size_t k = 0; k < w.size(); ++k) {
            if (AsciiUpper(s_[pos_ + k]) != AsciiUpper(w[k])) return false;
        }
        pos_ += w.size();
        return true;
    }
    // An unsigned number of 1 to maxDigits digits, after optional blanks.
    bool Number(int& value, int& digits, int maxDigits = kMaxDateNumberDigits) {
        SkipBlanks();
        value = 0;
        digits = 0;
        while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9') {
            if (++digits > maxDigits) return false;
            value = value * 10 + (s_[pos_++] - '0');
        }
        return digits > 0;
    }

  private:
    std::string_view s_;
    std::size_t pos_ = 0;
};

enum class DateOrder { kMDY, kDMY, kYMD };

DateOrder DateOrderOf(std::string_view shortDateFormat) {
    for (char c : shortDateFormat) {
        switch (AsciiUpper(c)) {
            case 'D':
                return DateOrder::kDMY;
            case 'Y':
                return DateOrder::kYMD;
            case 'M':
                return DateOrder::kMDY;
            default:
                break;
        }
    }
    return DateOrder::kMDY;
}

int CurrentYear() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_year + 1900;
}

// A year written with one or two digits lands in the hundred years that
// start `window` years before the current one.
int ExpandTwoDigitYear(int year, int currentYear, int window) {
    const int base = currentYear - window;
    year += base / 100 * 100;
    if (window > 0 && year < base) year += 100;
    return year;
}

bool ScanDate(Scanner& sc, const TFormatSettings& fs, int currentYear, TDateTime& out) {
    int n[3] = {0, 0, 0};
    int len[3] = {0, 0, 0};
    if (!sc.Number(n[0], len[0]) || !sc.Literal(fs.DateSeparator) || !sc.Number(n[1], len[1])) {
        return false;
    }
    const bool hasYear = sc.Literal(fs.DateSeparator);
    if (hasYear && !sc.Number(n[2], len[2])) return false;
    int y = currentYear, m = 0, d = 0, yearDigits = 4;
    switch (DateOrderOf(fs.ShortDateFormat)) {
        case DateOrder::kMDY:
            m = n[0], d = n[1];
            if (hasYear) y = n[2], yearDigits = len[2];
            break;
        case DateOrder::kDMY:
            d = n[0], m = n[1];
            if (hasYear) y = n[2], yearDigits = len[2];
            break;
        case DateOrder::kYMD:
            if (hasYear) {
                y = n[0], yearDigits = len[0], m = n[1], d = n[2];
            } else {
                m = n[0], d = n[1];
            }
            break;
    }
    if (yearDigits <= 2) y = ExpandTwoDigitYear(y, currentYear, fs.TwoDigitYearCenturyWindow);
    return TryEncodeDate(y, m, d, out);
}

// 0 before noon, 12 after, -1 when no marker follows.
int ScanAmPm(Scanner& sc, const TFormatSettings& fs) {
    if (sc.Word(fs.TimeAMString) || sc.Word("AM")) return 0;
    if (sc.Word(fs.TimePMString) || sc.Word("PM")) return 12;
    return -1;
}

bool ScanTime(Scanner& sc, const TFormatSettings& fs, TDateTime& out) {
    int baseHour = ScanAmPm(sc, fs);
    int hour = 0, minute = 0, second = 0, msec = 0, digits = 0;
    if (!sc.Number(hour, digits)) return false;
    if (sc.Literal(fs.TimeSeparator)) {
        if (!sc.Number(minute, digits)) return false;
        if (sc.Literal(fs.TimeSeparator)) {
            if (!sc.Number(second, digits)) return false;
            if (sc.Literal(fs.DecimalSeparator)) {
                // A fraction of a second: .5 is 500 ms, as written.
                if (!sc.Number(msec, digits, kMaxMillisecondDigits)) return false;
                for (int k = digits; k < kMaxMillisecondDigits; ++k) msec *= 10;
            }
        }
    }
    if (baseHour < 0) baseHour = ScanAmPm(sc, fs);
    if (baseHour >= 0) {
        if (hour == 0 || hour > 12) return false;
        hour = hour % 12 + baseHour;
    }
    return TryEncodeTime(hour, minute, second, msec, out);
}

[[noreturn]] void Fail(const std::string& s, const char* what) {
    throw EConvertError("'" + s + "' is not a valid " + what);
}

}  // namespace

bool TryStrToDate(const std::string& s, TDateTime& out, const TFormatSettings& fs,
                  int currentYear) {
    Scanner sc(s);
    TDateTime date = 0;
    if (!ScanDate(sc, fs, currentYear, date) || !sc.AtEnd()) return false;
    out = date;
    return true;
}

bool TryStrToDate(const std::string& s, TDateTime& out, const TFormatSettings& fs) {
    return TryStrToDate(s, out, fs, CurrentYear());
}

bool TryStrToTime(const std::string& s, TDateTime& out, const TFormatSettings& fs) {
    Scanner sc(s);
    TDateTime time = 0;
    if (!ScanTime(sc, fs, time) || !sc.AtEnd()) return false;
    out = time;
    return true;
}

bool TryStrToDateTime(const std::string& s, TDateTime& out, const TFormatSettings& fs,
                      int currentYear) {
    Scanner sc(s);
    TDateTime date = 0;
    if (ScanDate(sc, fs, currentYear, date)) {
        TDateTime time = 0;
        if (sc.AtEnd() || (ScanTime(sc, fs, time) && sc.AtEnd())) {
            // Before 1899-12-30 the time still counts forwards from midnight.
            out = date >= 0 ? date + time : date - time;
            return true;
        }
    }
    return TryStrToTime(s, out, fs);
}

bool TryStrToDateTime(const std::string& s, TDateTime& out, const TFormatSettings& fs) {
    return TryStrToDateTime(s, out, fs, CurrentYear());
}

TDateTime StrToDate(const std::string& s, const TFormatSettings& fs) {
    TDateTime v = 0;
    if (!TryStrToDate(s, v, fs)) Fail(s, "date");
    return v;
}

TDateTime StrToTime(const std::string& s, const TFormatSettings& fs) {
    TDateTime v = 0;
    if (!TryStrToTime(s, v, fs)) Fail(s, "time");
    return v;
}

TDateTime StrToDateTime(const std::string& s, const TFormatSettings& fs) {
    TDateTime v = 0;
    if (!TryStrToDateTime(s, v, fs)) Fail(s, "date and time");
    return v;
}

}  // namespace qx
