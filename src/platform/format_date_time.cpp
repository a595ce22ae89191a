// FormatDateTime and the fixed date/time texts built on it (DateToStr,
// TimeToStr, DateTimeToStr).
#include <string_view>

#include "platform/internal/conv.h"
#include "platform/internal/date_time.h"
#include "platform/sysutils.h"

namespace qx {
namespace {

using conv::AsciiUpper;
using conv::DateTimeParts;
using conv::SkipQuoted;
using conv::TextWriter;

// Patterns named inside patterns (c, ddddd, t, ...) are expanded this many
// levels deep at most, so that settings naming themselves cannot recurse
// without end.
constexpr int kMaxNesting = 2;

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool StartsWithNoCase(std::string_view s, std::size_t i, std::string_view word) {
    if (s.size() - i < word.size()) return false;
    for (std::size_t k = 0; k < word.size(); ++k) {
        if (AsciiUpper(s[i + k]) != AsciiUpper(word[k])) return false;
    }
    return true;
}

enum class AmPmKind { kNone, kAmSlashPm, kASlashP, kAmPm };

AmPmKind AmPmAt(std::string_view s, std::size_t i) {
    if (StartsWithNoCase(s, i, "am/pm")) return AmPmKind::kAmSlashPm;
    if (StartsWithNoCase(s, i, "a/p")) return AmPmKind::kASlashP;
    if (StartsWithNoCase(s, i, "ampm")) return AmPmKind::kAmPm;
    return AmPmKind::kNone;
}

// An hour shows on the 12-hour clock when an am/pm marker follows it before
// the next hour.
bool TwelveHourClockFrom(std::string_view s, std::size_t i) {
    while (i < s.size()) {
        const char c = s[i];
        if (c == 'h' || c == 'H') return false;
        if (c == '\'' || c == '"') {
            i = SkipQuoted(s, i);
            continue;
        }
        if (AmPmAt(s, i) != AmPmKind::kNone) return true;
        ++i;
    }
    return false;
}

class DateTimeFormatter {
  public:
    DateTimeFormatter(TextWriter& w, const DateTimeParts& p, const TFormatSettings& fs)
        : w_(w), p_(p), fs_(fs) {}

    void Format(std::string_view s, int depth) {
        if (depth > kMaxNesting) return;
        if (s.empty() && depth == 0) s = "C";  // an empty pattern asks for the default form
        char lastToken = ' ';
        for (std::size_t i = 0; i < s.size();) {
            const char c = s[i];
            char token = AsciiUpper(c);
            if (IsAsciiLetter(c)) {
                if (token == 'M' && lastToken == 'H') token = 'N';
                lastToken = token;
            }
            std::size_t count = 1;
            while (i + count < s.size() && s[i + count] == c) ++count;
            i = Token(s, i, token, static_cast<int>(count), depth);
        }
    }

  private:
    // Writes the token at i and returns the index after it.
    std::size_t Token(std::string_view s, std::size_t i, char token, int count, int depth) {
        switch (token) {
            case 'C':
                Format(fs_.ShortDateFormat, depth + 1);
                if (p_.hour || p_.minute || p_.second || p_.msec) {
                    w_.Put(' ');
                    Format(fs_.LongTimeFormat, depth + 1);
                }
                break;
            case 'D':
                Day(count, depth);
                break;
            case 'M':
                Month(count);
                break;
            case 'Y':
                if (count <= 2) {
                    w_.PutUnsigned(static_cast<unsigned>(p_.year % 100), 2);
                } else {
                    w_.PutUnsigned(static_cast<unsigned>(p_.year), 4);
                }
                break;
            case 'H': {
                int hour = p_.hour;
                if (TwelveHourClockFrom(s, i + count)) hour = hour % 12 == 0 ? 12 : hour % 12;
                w_.PutUnsigned(static_cast<unsigned>(hour), count >= 2 ? 2 : 1);
                break;
            }
            case 'N':
                w_.PutUnsigned(static_cast<unsigned>(p_.minute), count >= 2 ? 2 : 1);
                break;
            case 'S':
                w_.PutUnsigned(static_cast<unsigned>(p_.second), count >= 2 ? 2 : 1);
                break;
            case 'Z':
                w_.PutUnsigned(static_cast<unsigned>(p_.msec), count >= 3 ? 3 : 1);
                break;
            case 'T':
                Format(count == 1 ? fs_.ShortTimeFormat : fs_.LongTimeFormat, depth + 1);
                break;
            case 'A':
                return AmPm(s, i);
            case '/':
                w_.Put(fs_.DateSeparator);
                return i + 1;
            case ':':
                w_.Put(fs_.TimeSeparator);
                return i + 1;
            case '"':
            case '\'': {
                std::size_t end = 0;
                w_.Put(conv::QuotedLiteral(s, i, end));
                return end;
            }
            default:
                w_.Put(s.substr(i, static_cast<std::size_t>(count)));
                break;
        }
        return i + static_cast<std::size_t>(count);
    }

    void Day(int count, int depth) {
        switch (count) {
            case 1:
            case 2:
                w_.PutUnsigned(static_cast<unsigned>(p_.day), count);
                break;
            case 3:
                w_.Put(fs_.ShortDayNames[p_.dayOfWeek - 1]);
                break;
            case 4:
                w_.Put(fs_.LongDayNames[p_.dayOfWeek - 1]);
                break;
            case 5:
                Format(fs_.ShortDateFormat, depth + 1);
                break;
            default:
                Format(fs_.LongDateFormat, depth + 1);
                break;
        }
    }

    void Month(int count) {
        if (count <= 2) {
            w_.PutUnsigned(static_cast<unsigned>(p_.month), count);
        } else if (count == 3) {
            w_.Put(fs_.ShortMonthNames[p_.month - 1]);
        } else {
            w_.Put(fs_.LongMonthNames[p_.month - 1]);
        }
    }

    std::size_t AmPm(std::string_view s, std::size_t i) {
        const bool pm = p_.hour >= 12;
        switch (AmPmAt(s, i)) {
            case AmPmKind::kAmSlashPm:
                w_.Put(s.substr(pm ? i + 3 : i, 2));  // as written: am, AM, Pm, ...
                return i + 5;
            case AmPmKind::kASlashP:
                w_.Put(s[pm ? i + 2 : i]);
                return i + 3;
            case AmPmKind::kAmPm:
                w_.Put(pm ? fs_.TimePMString : fs_.TimeAMString);
                return i + 4;
            case AmPmKind::kNone:
                break;
        }
        w_.Put(s[i]);
        return i + 1;
    }

    TextWriter& w_;
    const DateTimeParts& p_;
    const TFormatSettings& fs_;
};

std::string FormatParts(std::string_view pattern, TDateTime dt, const TFormatSettings& fs) {
    const DateTimeParts parts = conv::SplitDateTime(dt);
    TextWriter w;
    DateTimeFormatter(w, parts, fs).Format(pattern, 0);
    return w.Str();
}

}  // namespace

std::string FormatDateTime(const std::string& pattern, TDateTime dt, const TFormatSettings& fs) {
    return FormatParts(pattern, dt, fs);
}

std::string DateToStr(TDateTime dt, const TFormatSettings& fs) {
    return FormatParts("ddddd", dt, fs);
}

std::string TimeToStr(TDateTime dt, const TFormatSettings& fs) {
    return FormatParts("tt", dt, fs);
}

std::string DateTimeToStr(TDateTime dt, const TFormatSettings& fs) {
    return FormatParts("c", dt, fs);
}

}  // namespace qx
