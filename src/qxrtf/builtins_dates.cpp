// Date and time functions: NOW, DATE, TIME, the conversions to and from
// the locale's texts, the parts YEAR, MONTH, DAY (as numbers) and SYEAR,
// SMONTH, SDAY, DTOS (as zero-padded texts), and STOD. The texts follow the
// process-wide format settings, not the report's own.
#include <chrono>
#include <cmath>
#include <ctime>

#include "conscom/exceptions.h"
#include "platform/internal/unicode.h"
#include "platform/sysutils.h"
#include "qxrtf/internal/builtins.h"
#include "qxrtf/qxrtf.h"

namespace qx {

namespace {

constexpr TQxArgMessages kDateToStrArg{
    "Operand type unknown. Function \"DATETOSTR\", expression ",
    "Operand of date/time type expected. Function \"DATETOSTR\", expression "};
constexpr TQxArgMessages kDateTimeToStrArg{
    "Operand type unknown. Function \"DATETIMETOSTR\", expression ",
    "Operand of date/time type expected. Function \"DATETIMETOSTR\", expression "};
constexpr TQxArgMessages kTimeToStrArg{
    "Operand type unknown. Function \"TIMETOSTR\", expression ",
    "Operand of date/time type expected. Function \"TIMETOSTR\", expression "};
constexpr TQxArgMessages kStrToDateArg{
    "Operand type unknown. Function \"STRTODATE\", expression ",
    "Operand of string type expected. Function \"STRTODATE\", expression "};
constexpr TQxArgMessages kStrToDateTimeArg{
    "Operand type unknown. Function \"STRTODATETIME\", expression ",
    "Operand of string type expected. Function \"STRTODATETIME\", expression "};
constexpr TQxArgMessages kStrToTimeArg{
    "Operand type unknown. Function \"STRTOTIME\", expression ",
    "Operand of string type expected. Function \"STRTOTIME\", expression "};
constexpr TQxArgMessages kYearArg{
    "Operand type unknown. Function \"YEAR\", expression ",
    "Operand of date/time type expected. Function \"YEAR\", expression "};
constexpr TQxArgMessages kMonthArg{
    "Operand type unknown. Function \"MONTH\", expression ",
    "Operand of date/time type expected. Function \"MONTH\", expression "};
constexpr TQxArgMessages kDayArg{
    "Operand type unknown. Function \"DAY\", expression ",
    "Operand of date/time type expected. Function \"DAY\", expression "};
constexpr TQxArgMessages kSYearArg{
    "Operand type unknown. Function \"SYEAR\", expression ",
    "Operand of date/time type expected. Function \"SYEAR\", expression "};
constexpr TQxArgMessages kSMonthArg{
    "Operand type unknown. Function \"SMONTH\", expression ",
    "Operand of date/time type expected. Function \"SMONTH\", expression "};
constexpr TQxArgMessages kSDayArg{
    "Operand type unknown. Function \"SDAY\", expression ",
    "Operand of date/time type expected. Function \"SDAY\", expression "};
constexpr TQxArgMessages kDtosArg{
    "Operand type unknown. Function \"DTOS\", expression ",
    "Operand of date/time type expected. Function \"DTOS\", expression "};
constexpr TQxArgMessages kStodArg{
    "Operand type unknown. Function \"STOD\", expression ",
    "Operand of string type expected. Function \"STOD\", expression "};
constexpr const char* kStodLength =
    "Operand of string type YYYYMMDD expected. Function \"STOD\", expression ";

// The local date and time of the system, to the millisecond.
TDateTime WallClock() {
    using namespace std::chrono;
    const system_clock::time_point now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    // A leap second reads as the last second of its minute.
    return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
           EncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59),
                      static_cast<int>(ms));
}

int YearOf(TDateTime dt) {
    int y = 0, m = 0, d = 0;
    DecodeDate(dt, y, m, d);
    return y;
}

void SetDateTime(TQxBuiltinCall& call, TDateTime value) {
    if (TQxReportVariable* result = call.Result()) result->SetAsDateTime(value);
}
void SetDate(TQxBuiltinCall& call, TDateTime value) {
    if (TQxReportVariable* result = call.Result()) result->SetAsDate(value);
}
// The single argument checked and copied as `type`.
TQxReportVariable OnlyArg(TQxBuiltinCall& call, TQxDataType type, const TQxArgMessages& messages) {
    RequireArg(call, 0, type, messages);
    return ArgValue(call, 0, type);
}

// ---- the clock ------------------------------------------------------------------------

void Now(TQxBuiltinCall& call) {
    SetDateTime(call, call.report.CurrentDateTime());
}

void Today(TQxBuiltinCall& call) {
    SetDateTime(call, std::trunc(call.report.CurrentDateTime()));
}

void TimeOfDay(TQxBuiltinCall& call) {
    const TDateTime now = call.report.CurrentDateTime();
    SetDateTime(call, std::fabs(now - std::trunc(now)));
}

// ---- values to text and back ----------------------------------------------------------

void DateText(TQxBuiltinCall& call) {
    call.ReturnString(
        DateToStr(OnlyArg(call, qxdtDateTime, kDateToStrArg).AsDate(), call.report.FmtSettings()));
}

void DateTimeText(TQxBuiltinCall& call) {
    call.ReturnString(DateTimeToStr(OnlyArg(call, qxdtDateTime, kDateTimeToStrArg).AsDateTime(),
                                    call.report.FmtSettings()));
}

void TimeText(TQxBuiltinCall& call) {
    call.ReturnString(TimeToStr(OnlyArg(call, qxdtDateTime, kTimeToStrArg).AsDateTime(),
                                call.report.FmtSettings()));
}

void TextToDate(TQxBuiltinCall& call) {
    const std::string s = OnlyArg(call, qxdtString, kStrToDateArg).AsString();
    TDateTime value = 0;
    if (!TryStrToDate(s, value, call.report.FmtSettings(), YearOf(call.report.CurrentDateTime())))
        throw EConvertError("'" + s + "' is not a valid date");
    SetDate(call, value);
}

void TextToDateTime(TQxBuiltinCall& call) {
    const std::string s = OnlyArg(call, qxdtString, kStrToDateTimeArg).AsString();
    TDateTime value = 0;
    if (!TryStrToDateTime(s, value, call.report.FmtSettings(),
                          YearOf(call.report.CurrentDateTime())))
        throw EConvertError("'" + s + "' is not a valid date and time");
    SetDateTime(call, value);
}

void TextToTime(TQxBuiltinCall& call) {
    SetDateTime(call, StrToTime(OnlyArg(call, qxdtString, kStrToTimeArg).AsString(),
                                call.report.FmtSettings()));
}

// ---- parts of a date ------------------------------------------------------------------

enum class Part { Year, Month, Day };

int PartOf(TDateTime date, Part part) {
    int y = 0, m = 0, d = 0;
    DecodeDate(date, y, m, d);
    return part == Part::Year ? y : part == Part::Month ? m : d;
}

const TQxArgMessages& NumberPartMessages(Part part) {
    return part == Part::Year ? kYearArg : part == Part::Month ? kMonthArg : kDayArg;
}
const TQxArgMessages& TextPartMessages(Part part) {
    return part == Part::Year ? kSYearArg : part == Part::Month ? kSMonthArg : kSDayArg;
}

std::string PartText(TDateTime date, Part part) {
    return FormatFloat(part == Part::Year ? "0000" : "00", PartOf(date, part));
}

template <Part P>
void NumberPart(TQxBuiltinCall& call) {
    const int value = PartOf(OnlyArg(call, qxdtDateTime, NumberPartMessages(P)).AsDate(), P);
    if (TQxReportVariable* result = call.Result()) result->SetAsInteger(value);
}

template <Part P>
void TextPart(TQxBuiltinCall& call) {
    call.ReturnString(PartText(OnlyArg(call, qxdtDateTime, TextPartMessages(P)).AsDate(), P));
}

void DateToDigits(TQxBuiltinCall& call) {
    const TDateTime date = OnlyArg(call, qxdtDateTime, kDtosArg).AsDate();
    call.ReturnString(PartText(date, Part::Year) + PartText(date, Part::Month) +
                      PartText(date, Part::Day));
}

void DigitsToDate(TQxBuiltinCall& call) {
    const std::string s = OnlyArg(call, qxdtString, kStodArg).AsString();
    const std::u32string chars = Utf8ToUtf32(s);
    if (chars.size() != 8) throw Exception(kStodLength + call.expr);
    const auto part = [&](std::size_t from, std::size_t n) {
        return static_cast<int>(StrToInt64(Utf32ToUtf8(chars.substr(from, n))));
    };
    SetDate(call, EncodeDate(part(0, 4), part(4, 2), part(6, 2)));
}

}  // namespace

TDateTime TQxRTF::CurrentDateTime() const {
    return FClock ? FClock() : WallClock();
}

void RegisterDateBuiltins(TQxBuiltinTable& table) {
    SetBuiltin(table, -42, Now);
    SetBuiltin(table, -43, Today);
    SetBuiltin(table, -44, TimeOfDay);
    SetBuiltin(table, -45, DateText);
    SetBuiltin(table, -46, DateTimeText);
    SetBuiltin(table, -47, TimeText);
    SetBuiltin(table, -48, TextToDate);
    SetBuiltin(table, -49, TextToDateTime);
    SetBuiltin(table, -50, TextToTime);
    SetBuiltin(table, -51, NumberPart<Part::Year>);
    SetBuiltin(table, -52, NumberPart<Part::Month>);
    SetBuiltin(table, -53, NumberPart<Part::Day>);
    SetBuiltin(table, -54, TextPart<Part::Year>);
    SetBuiltin(table, -55, TextPart<Part::Month>);
    SetBuiltin(table, -56, TextPart<Part::Day>);
    SetBuiltin(table, -57, DateToDigits);
    SetBuiltin(table, -58, DigitsToDate);
}

}  // namespace qx
