// TFormatSettings: the defaults, the process-wide instance, and settings
// read from a POSIX locale.
#include <langinfo.h>
#include <locale.h>

#include <climits>
#include <memory>
#include <string_view>

#include "platform/exceptions.h"
#include "platform/internal/conv.h"
#include "platform/sysutils.h"

namespace qx {
namespace {

// LC_MONETARY facts that decide the currency layouts.
struct MonetaryLayout {
    bool precedes;
    bool space;
    int signPosition;  // 0 parentheses, 1 before all, 2 after all, 3 before symbol, 4 after symbol
};

// NegCurrFormat for each sign position (index 0..4), by symbol placement.
constexpr int kNegPrecedesNoSpace[5] = {0, 1, 3, 1, 2};
constexpr int kNegPrecedesSpace[5] = {14, 9, 11, 9, 12};
constexpr int kNegFollowsNoSpace[5] = {4, 5, 7, 6, 7};
constexpr int kNegFollowsSpace[5] = {15, 8, 10, 13, 10};

int NegCurrFormatOf(const MonetaryLayout& m) {
    const int pos = (m.signPosition >= 0 && m.signPosition <= 4) ? m.signPosition : 1;
    if (m.precedes) return m.space ? kNegPrecedesSpace[pos] : kNegPrecedesNoSpace[pos];
    return m.space ? kNegFollowsSpace[pos] : kNegFollowsNoSpace[pos];
}

int CurrencyFormatOf(bool precedes, bool space) {
    return (precedes ? 0 : 1) + (space ? 2 : 0);
}

// The first code point of a UTF-8 text (separators are one character).
std::string FirstCodePoint(std::string_view s) {
    if (s.empty()) return {};
    const auto len = static_cast<std::size_t>(conv::Utf8Length(static_cast<unsigned char>(s[0])));
    return std::string(s.substr(0, len < s.size() ? len : s.size()));
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// strftime conversions and the pattern tokens that stand for them.
struct StrftimeToken {
    char conversion;
    const char* pattern;
};
constexpr StrftimeToken kStrftimeTokens[] = {
    {'d', "dd"},  {'e', "d"},    {'m', "MM"},  {'Y', "yyyy"}, {'y', "yy"},   {'b', "MMM"},
    {'h', "MMM"}, {'B', "MMMM"}, {'a', "ddd"}, {'A', "dddd"}, {'H', "hh"},   {'I', "hh"},
    {'k', "h"},   {'l', "h"},    {'M', "nn"},  {'S', "ss"},   {'p', "AMPM"}, {'P', "ampm"},
};

class LocaleReader {
  public:
    explicit LocaleReader(locale_t loc) : loc_(loc) {}

    std::string Text(nl_item item) const { return nl_langinfo_l(item, loc_); }
    // One-byte numeric LC_MONETARY items; CHAR_MAX means "not given".
    int Number(nl_item item, int fallback) const {
        const char* s = nl_langinfo_l(item, loc_);
        const int v = static_cast<unsigned char>(s[0]);
        return v == CHAR_MAX || v == 0xFF ? fallback : v;
    }

    // strftime format to a date/time pattern. The seconds are left out (with
    // the separator before them) when dropSeconds is set; letters that are
    // literal in the locale's format are quoted so that they stay literal.
    std::string Pattern(std::string_view fmt, bool dropSeconds, int depth = 0) const {
        std::string out;
        for (std::size_t i = 0; i < fmt.size(); ++i) {
            if (fmt[i] != '%' || i + 1 == fmt.size()) {
                Literal(out, fmt[i]);
                continue;
            }
            const char conv = fmt[++i];
            if (conv == 'S' && dropSeconds) {
                if (!out.empty() && !IsLetter(out.back())) out.pop_back();
                continue;
            }
            if (const char* token = TokenFor(conv)) {
                out += token;
            } else if (depth < 2 && Expansion(conv) != nullptr) {
                out += Pattern(Expansion(conv), dropSeconds, depth + 1);
            } else if (conv == 'n' || conv == 't') {
                out += ' ';
            } else if (conv == '%') {
                Literal(out, '%');
            }
            // Other conversions (time zone, week numbers) have no token.
        }
        return out;
    }

    // The first literal character between two conversions of a format.
    static std::string SeparatorOf(std::string_view fmt, const char* fallback) {
        for (std::size_t i = 1; i < fmt.size(); ++i) {
            if (fmt[i - 1] == '%' || fmt[i] == '%') continue;
            if (fmt[i] == ' ' || IsLetter(fmt[i])) continue;
            return FirstCodePoint(fmt.substr(i));
        }
        return fallback;
    }

  private:
    static const char* TokenFor(char conv) {
        for (const auto& t : kStrftimeTokens) {
            if (t.conversion == conv) return t.pattern;
        }
        return nullptr;
    }
    const char* Expansion(char conv) const {
        switch (conv) {
            case 'D':
                return "%m/%d/%y";
            case 'F':
                return "%Y-%m-%d";
            case 'T':
                return "%H:%M:%S";
            case 'R':
                return "%H:%M";
            case 'r':
                return nl_langinfo_l(T_FMT_AMPM, loc_);
            case 'x':
                return nl_langinfo_l(D_FMT, loc_);
            case 'X':
                return nl_langinfo_l(T_FMT, loc_);
            default:
                return nullptr;
        }
    }
    static void Literal(std::string& out, char c) {
        if (IsLetter(c)) {
            out += '"';
            out += c;
            out += '"';
        } else if (c == '"') {
            out += "'\"'";
        } else if (c == '\'') {
            out += "\"'\"";
        } else {
            out += c;
        }
    }

    locale_t loc_;
};

// Order of day, month and year in a short date pattern.
char FirstDateField(std::string_view pattern) {
    for (char c : pattern) {
        if (c == 'd' || c == 'D' || c == 'M' || c == 'm' || c == 'y' || c == 'Y') {
            return static_cast<char>(c | 0x20);
        }
    }
    return 'm';
}

std::string LongDateFor(std::string_view shortDate) {
    switch (FirstDateField(shortDate)) {
        case 'd':
            return "dddd, d MMMM yyyy";
        case 'y':
            return "dddd, yyyy MMMM d";
        default:
            return "dddd, MMMM d, yyyy";
    }
}

bool IsCLocale(const std::string& name) {
    return name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0;
}

struct LocaleDeleter {
    void operator()(locale_t loc) const { freelocale(loc); }
};

}  // namespace

TFormatSettings TFormatSettings::FromLocale(const std::string& name) {
    TFormatSettings fs;
    if (IsCLocale(name)) return fs;
    std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleDeleter> loc(
        newlocale(LC_ALL_MASK, name.c_str(), static_cast<locale_t>(nullptr)));
    if (!loc) throw Exception("Locale '" + name + "' is not available");
    const LocaleReader r(loc.get());

    fs.DecimalSeparator = FirstCodePoint(r.Text(RADIXCHAR));
    if (fs.DecimalSeparator.empty()) fs.DecimalSeparator = ".";
    fs.ThousandSeparator = FirstCodePoint(r.Text(THOUSEP));
    const std::string currency = r.Text(CURRENCY_SYMBOL);
    if (!currency.empty()) fs.CurrencyString = currency;
    fs.CurrencyDecimals = r.Number(FRAC_DIGITS, 2);
    fs.CurrencyFormat =
        CurrencyFormatOf(r.Number(P_CS_PRECEDES, 1) != 0, r.Number(P_SEP_BY_SPACE, 0) != 0);
    fs.NegCurrFormat =
        NegCurrFormatOf({r.Number(N_CS_PRECEDES, 1) != 0, r.Number(N_SEP_BY_SPACE, 0) != 0,
                         r.Number(N_SIGN_POSN, 0)});

    const std::string dateFmt = r.Text(D_FMT);
    fs.ShortDateFormat = r.Pattern(dateFmt, false);
    fs.LongDateFormat = LongDateFor(fs.ShortDateFormat);
    fs.DateSeparator = LocaleReader::SeparatorOf(dateFmt, "/");
    std::string timeFmt = r.Text(T_FMT);
    if (timeFmt == "%r") timeFmt = r.Text(T_FMT_AMPM);
    if (timeFmt == "%T" || timeFmt.empty()) timeFmt = "%H:%M:%S";
    fs.LongTimeFormat = r.Pattern(timeFmt, false);
    fs.ShortTimeFormat = r.Pattern(timeFmt, true);
    fs.TimeSeparator = LocaleReader::SeparatorOf(timeFmt, ":");
    fs.TimeAMString = r.Text(AM_STR);
    fs.TimePMString = r.Text(PM_STR);

    for (int i = 0; i < 12; ++i) {
        fs.ShortMonthNames[i] = r.Text(static_cast<nl_item>(ABMON_1 + i));
        fs.LongMonthNames[i] = r.Text(static_cast<nl_item>(MON_1 + i));
    }
    for (int i = 0; i < 7; ++i) {
        fs.ShortDayNames[i] = r.Text(static_cast<nl_item>(ABDAY_1 + i));
        fs.LongDayNames[i] = r.Text(static_cast<nl_item>(DAY_1 + i));
    }
    return fs;
}

TFormatSettings& FormatSettings() {
    static TFormatSettings instance;
    return instance;
}

}  // namespace qx
