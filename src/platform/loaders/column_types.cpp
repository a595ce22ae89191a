#include "platform/loaders/column_types.h"

#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdio>

#include "platform/internal/unicode.h"
#include "platform/sysutils.h"

namespace qx {

namespace {

struct TypeName {
    const char* name;
    TFieldType type;
};
constexpr TypeName kTypeNames[] = {
    {"string", ftString},     {"memo", ftMemo},       {"integer", ftLargeint}, {"float", ftFloat},
    {"currency", ftCurrency}, {"boolean", ftBoolean}, {"date", ftDate},        {"time", ftTime},
    {"datetime", ftDateTime}, {"blob", ftBlob},       {"graphic", ftGraphic},
};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads exactly `count` digits at `pos`.
bool Digits(std::string_view text, std::size_t& pos, std::size_t count, int& out) {
    if (pos + count > text.size()) return false;
    out = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (!IsDigit(text[pos + i])) return false;
        out = out * 10 + (text[pos + i] - '0');
    }
    pos += count;
    return true;
}

bool Expect(std::string_view text, std::size_t& pos, char c) {
    if (pos >= text.size() || text[pos] != c) return false;
    ++pos;
    return true;
}

// hh:mm[:ss[.fff...]] at `pos`.
bool ParseTimeOfDay(std::string_view text, std::size_t& pos, TDateTime& out) {
    int h = 0, m = 0, s = 0, ms = 0;
    if (!Digits(text, pos, 2, h) || !Expect(text, pos, ':') || !Digits(text, pos, 2, m))
        return false;
    if (pos < text.size() && text[pos] == ':') {
        ++pos;
        if (!Digits(text, pos, 2, s)) return false;
        if (pos < text.size() && (text[pos] == '.' || text[pos] == ',')) {
            ++pos;
            int scale = 100;
            const std::size_t start = pos;
            for (; pos < text.size() && IsDigit(text[pos]); ++pos, scale /= 10)
                ms += (text[pos] - '0') * scale;
            if (pos == start) return false;
        }
    }
    return TryEncodeTime(h, m, s, ms, out);
}

// "Z", "+hh:mm", "+hhmm" or "+hh" at the end of a date-time.
bool SkipZone(std::string_view text, std::size_t& pos) {
    if (pos == text.size()) return true;
    if (text[pos] == 'Z') return ++pos == text.size();
    if (text[pos] != '+' && text[pos] != '-') return false;
    ++pos;
    int h = 0, m = 0;
    if (!Digits(text, pos, 2, h)) return false;
    if (pos < text.size() && text[pos] == ':') ++pos;
    if (pos < text.size() && !Digits(text, pos, 2, m)) return false;
    return pos == text.size() && h <= 23 && m <= 59;
}

bool ParseInteger(std::string_view text, std::int64_t& out) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    const std::size_t digits = (!text.empty() && text[0] == '-') ? 1 : 0;
    // A leading zero marks a code (zip, account number), not a quantity.
    if (text.size() > digits + 1 && text[digits] == '0') return false;
    const auto [ptr, ec] = std::from_chars(begin, end, out);
    return ec == std::errc() && ptr == end;
}

// A 64-bit integer, or the text of a larger one (`big` then tells).
bool ParseWholeNumber(std::string_view text, std::int64_t& out, bool& big) {
    big = false;
    if (ParseInteger(text, out)) return true;
    big = IsIntegerText(text);
    return big;
}

bool ParseFloat(std::string_view text, double& out) {
    const std::size_t sign = (!text.empty() && text[0] == '-') ? 1 : 0;
    if (text.size() <= sign) return false;
    const char first = text[sign];
    if (!IsDigit(first) && first != '.') return false;  // no "inf" or "nan"
    if (first == '0' && text.size() > sign + 1 && IsDigit(text[sign + 1])) return false;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && ptr == text.data() + text.size();
}

bool ParseBoolean(std::string_view s, bool& out, bool lenient) {
    if (SameText(s, "true") || (lenient && (SameText(s, "yes") || s == "1"))) {
        out = true;
        return true;
    }
    if (SameText(s, "false") || (lenient && (SameText(s, "no") || s == "0"))) {
        out = false;
        return true;
    }
    return false;
}

}  // namespace

void FailDataSet(const std::string& dataSetName, const std::string& why) {
    throw EDatabaseError("Dataset " + dataSetName + ": " + why);
}

TField* MasterFieldOfParameter(const std::string& dataSetName, TDataSet& master,
                               const std::string& param) {
    const std::string prefix = master.Name() + "_";
    TField* field = nullptr;
    if (param.size() > prefix.size() + 1 && SameText(param.substr(1, prefix.size()), prefix))
        field = master.FindField(param.substr(prefix.size() + 1));
    if (field == nullptr)
        FailDataSet(dataSetName, "parameter " + param + " names no field of master dataset " +
                                     master.Name() + " (write :" + prefix + "FIELD)");
    return field;
}

TFieldType GivenType(const TColumnTypes& types, const std::string& fieldName) {
    for (const auto& [name, type] : types)
        if (SameText(name, fieldName)) return type;
    return ftUnknown;
}

bool FieldTypeFromName(const std::string& typeName, TFieldType& type) {
    for (const TypeName& t : kTypeNames)
        if (SameText(typeName, t.name)) {
            type = t.type;
            return true;
        }
    return false;
}

std::string FieldTypeNames() {
    std::string names;
    for (const TypeName& t : kTypeNames) names += (names.empty() ? "" : ", ") + std::string(t.name);
    return names;
}

bool IsDateTimeType(TFieldType type) {
    return type == ftDate || type == ftTime || type == ftDateTime || type == ftTimeStamp;
}

bool IsTextType(TFieldType type) {
    switch (type) {
        case ftSmallint:
        case ftInteger:
        case ftWord:
        case ftAutoInc:
        case ftLargeint:
        case ftFloat:
        case ftCurrency:
        case ftBCD:
        case ftFMTBcd:
        case ftBoolean:
            return false;
        default:
            return !IsDateTimeType(type);
    }
}

bool ParseIso(std::string_view text, TIsoValue& out, bool timeOnly) {
    out = TIsoValue{};
    std::size_t pos = 0;
    if (timeOnly && text.size() >= 3 && text[2] == ':') {
        out.hasTime = true;
        return ParseTimeOfDay(text, pos, out.value) && pos == text.size();
    }
    int y = 0, m = 0, d = 0;
    if (!Digits(text, pos, 4, y) || !Expect(text, pos, '-') || !Digits(text, pos, 2, m) ||
        !Expect(text, pos, '-') || !Digits(text, pos, 2, d) || !TryEncodeDate(y, m, d, out.value))
        return false;
    out.hasDate = true;
    if (pos == text.size()) return true;
    if (text[pos] != 'T' && text[pos] != ' ') return false;
    ++pos;
    TDateTime time = 0;
    if (!ParseTimeOfDay(text, pos, time) || !SkipZone(text, pos)) return false;
    out.hasTime = true;
    out.value += time;
    return true;
}

bool ParseNumber(std::string_view text, double& out, char decimalSeparator) {
    if (decimalSeparator == '.' || text.find(decimalSeparator) == std::string_view::npos)
        return ParseFloat(text, out);
    // The locale's form: its separator where "." would be, and no ".".
    char copy[64];
    if (text.size() >= sizeof copy || text.find('.') != std::string_view::npos) return false;
    for (std::size_t k = 0; k < text.size(); ++k)
        copy[k] = text[k] == decimalSeparator ? '.' : text[k];
    return ParseFloat(std::string_view(copy, text.size()), out);
}

void TTypeVotes::Misfit(TKind kind, std::int64_t place, std::string_view shown) {
    TCount& count = FCounts[kind];
    if (count.misfits++ == 0) {
        count.firstMisfit = place;
        count.shown = shown;
    }
}

void TTypeVotes::Merge(const TTypeVotes& other, std::int64_t placeBase) {
    for (int kind = 0; kind < 3; ++kind) {
        TCount& mine = FCounts[kind];
        const TCount& theirs = other.FCounts[kind];
        if (mine.misfits == 0 && theirs.misfits > 0) {
            mine.firstMisfit = theirs.firstMisfit + placeBase;
            mine.shown = theirs.shown;
        }
        mine.fits += theirs.fits;
        mine.misfits += theirs.misfits;
    }
}

std::string TTypeVotes::GivenUpWarning(const std::string& placeWord,
                                       const std::string& field) const {
    static const char* const kWords[] = {"a number", "a boolean (true or false)", "a date"};
    int best = -1;
    for (int kind = 0; kind < 3; ++kind) {
        const TCount& c = FCounts[kind];
        if (c.misfits > 0 && c.misfits <= kMaxMisfits && c.fits > c.misfits &&
            (best < 0 || c.fits > FCounts[best].fits))
            best = kind;
    }
    if (best < 0) return {};
    const TCount& c = FCounts[best];
    std::string text = placeWord + " " + std::to_string(c.firstMisfit) + ", field " + field + ": ";
    text += c.shown;
    text += " is not ";
    text += kWords[best];
    text += "; the column is read as text";
    return text;
}

void TTextTypeGuess::See(std::string_view text, std::int64_t place) {
    FSeen = true;
    std::int64_t i = 0;
    double f = 0;
    bool b = false;
    TIsoValue iso;
    // Each type is tried while the column may still be of it, or be of it
    // but for a few odd values (which the votes tell).
    const auto vote = [&](TTypeVotes::TKind kind, bool fits) {
        if (fits)
            FVotes.Fit(kind);
        else
            FVotes.Misfit(kind, place, "\"" + std::string(text) + "\"");
        return fits;
    };
    if (FFloat || FVotes.Wants(TTypeVotes::vkNumber)) {
        bool big = false;
        const bool integer = FInteger && ParseWholeNumber(text, i, big);
        if (!integer) FInteger = false;
        // A code with a leading zero (a zip, an account) is text on
        // purpose, not a number gone wrong: it does not count against one.
        const bool code = text.size() > 1 && text[0] == '0' &&
                          text.find_first_not_of("0123456789") == std::string_view::npos;
        if (code)
            FFloat = false;
        else if (!vote(TTypeVotes::vkNumber, integer || ParseNumber(text, f, FDecimalSeparator)))
            FFloat = false;
    }
    if ((FBoolean || FVotes.Wants(TTypeVotes::vkBoolean)) &&
        !vote(TTypeVotes::vkBoolean, ParseBoolean(text, b, false)))
        FBoolean = false;
    if (FDate || FVotes.Wants(TTypeVotes::vkDate)) {
        if (!vote(TTypeVotes::vkDate, ParseIso(text, iso)))
            FDate = false;
        else if (iso.hasTime)
            FWithTime = true;
    }
}

void TTextTypeGuess::Merge(const TTextTypeGuess& other, std::int64_t placeBase) {
    // Each flag holds of every value seen: an integer is a float too (See
    // tries the float only once integers are out), and a time of day
    // counts only while every value is a date.
    FSeen = FSeen || other.FSeen;
    FInteger = FInteger && other.FInteger;
    FFloat = FFloat && other.FFloat;
    FBoolean = FBoolean && other.FBoolean;
    FDate = FDate && other.FDate;
    FWithTime = FWithTime || other.FWithTime;
    FVotes.Merge(other.FVotes, placeBase);
}

TFieldType TTextTypeGuess::Type() const {
    if (!FSeen) return ftString;
    if (FInteger) return ftLargeint;
    if (FFloat) return ftFloat;
    if (FBoolean) return ftBoolean;
    if (FDate) return FWithTime ? ftDateTime : ftDate;
    return ftString;
}

std::string IsoText(TFieldType type, TDateTime value, bool milliseconds) {
    int y = 0, m = 0, d = 0, h = 0, n = 0, s = 0, ms = 0;
    DecodeDate(value, y, m, d);
    DecodeTime(value, h, n, s, ms);
    char date[16], time[24];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", y, m, d);
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", h, n, s);
    std::string timeText = time;
    if (milliseconds && ms != 0) {
        char fraction[8];
        std::snprintf(fraction, sizeof fraction, ".%03d", ms);
        timeText += fraction;
    }
    if (type == ftDate) return date;
    if (type == ftTime) return timeText;
    return std::string(date) + " " + timeText;
}

bool ValueFromText(std::string_view text, TFieldType type, TFieldValue& out,
                   char decimalSeparator) {
    switch (type) {
        case ftSmallint:
        case ftInteger:
        case ftWord:
        case ftAutoInc:
        case ftLargeint: {
            std::int64_t i = 0;
            bool big = false;
            if (!ParseWholeNumber(text, i, big)) return false;
            if (big)
                AssignText(out, text);
            else
                out = i;
            return true;
        }
        case ftFloat:
        case ftCurrency:
        case ftBCD:
        case ftFMTBcd: {
            double f = 0;
            if (!ParseNumber(text, f, decimalSeparator)) return false;
            out = f;
            return true;
        }
        case ftBoolean: {
            bool b = false;
            if (!ParseBoolean(text, b, true)) return false;
            out = b;
            return true;
        }
        case ftDate:
        case ftTime:
        case ftDateTime:
        case ftTimeStamp: {
            TIsoValue iso;
            if (!ParseIso(text, iso, type == ftTime)) return false;
            out = iso.value;
            return true;
        }
        default:
            AssignText(out, text);
            return true;
    }
}

void AssignText(TFieldValue& out, std::string_view text) {
    if (auto* s = std::get_if<std::string>(&out))
        s->assign(text);
    else
        out.emplace<std::string>(text);
}

}  // namespace qx
