// The application interface's values: accessors, and their passage into the
// engine's fields and variables and back (dates as days since 1899-12-30,
// the time of day as the fraction).
#include "qxrtf/internal/api_values.h"

#include <charconv>
#include <cmath>

#include "qxbasereport/variables.h"
#include "qxrtf/internal/builtins.h"

namespace qxrtf {

namespace {

constexpr std::int64_t kMsPerDay = 86'400'000;
// Day 0 of the engine's dates, counted from the Unix epoch.
constexpr std::int64_t kDayZero = -25'569;

const char* KindName(Kind kind) {
    static const char* const names[] = {"null",   "bool", "integer",  "number", "decimal",
                                        "string", "date", "datetime", "picture"};
    return names[static_cast<int>(kind)];
}

[[noreturn]] void WrongKind(Kind have, const char* wanted) {
    throw Error(std::string("Value is ") + KindName(have) + ", not " + wanted);
}

}  // namespace

bool Value::AsBool() const {
    if (const auto* v = std::get_if<bool>(&FValue)) return *v;
    WrongKind(GetKind(), "bool");
}

std::int64_t Value::AsInteger() const {
    if (const auto* v = std::get_if<std::int64_t>(&FValue)) return *v;
    WrongKind(GetKind(), "integer");
}

double Value::AsNumber() const {
    if (const auto* v = std::get_if<double>(&FValue)) return *v;
    if (const auto* v = std::get_if<std::int64_t>(&FValue)) return static_cast<double>(*v);
    if (const auto* v = std::get_if<Decimal>(&FValue)) {
        // Read as written, whatever C locale the application has set.
        double x = 0;
        const char* end = v->digits.data() + v->digits.size();
        const auto [ptr, ec] = std::from_chars(v->digits.data(), end, x);
        if (ec != std::errc() || ptr != end)
            throw Error("'" + v->digits + "' is not a decimal number");
        return x;
    }
    WrongKind(GetKind(), "number");
}

const Decimal& Value::AsDecimal() const {
    if (const auto* v = std::get_if<Decimal>(&FValue)) return *v;
    WrongKind(GetKind(), "decimal");
}

const std::string& Value::AsString() const {
    if (const auto* v = std::get_if<std::string>(&FValue)) return *v;
    WrongKind(GetKind(), "string");
}

Date Value::AsDate() const {
    if (const auto* v = std::get_if<Date>(&FValue)) return *v;
    if (const auto* v = std::get_if<DateTime>(&FValue))
        return Date(std::chrono::floor<std::chrono::days>(*v));
    WrongKind(GetKind(), "date");
}

DateTime Value::AsDateTime() const {
    if (const auto* v = std::get_if<DateTime>(&FValue)) return *v;
    if (const auto* v = std::get_if<Date>(&FValue)) return std::chrono::sys_days(*v);
    WrongKind(GetKind(), "datetime");
}

const Picture& Value::AsPicture() const {
    if (const auto* v = std::get_if<Picture>(&FValue)) return *v;
    WrongKind(GetKind(), "picture");
}

// ---- engine dates ----------------------------------------------------------------

double EngineDate(DateTime t) {
    const std::int64_t ms = t.time_since_epoch().count();
    std::int64_t day = ms / kMsPerDay;
    if (ms % kMsPerDay < 0) --day;
    const double fraction = static_cast<double>(ms - day * kMsPerDay) / kMsPerDay;
    const double whole = static_cast<double>(day - kDayZero);
    // Before day 0 the fraction still counts forward from midnight.
    return whole >= 0 ? whole + fraction : whole - fraction;
}

DateTime FromEngineDate(double value) {
    const double whole = std::trunc(value);
    const auto ms = static_cast<std::int64_t>(std::llround(std::fabs(value - whole) * kMsPerDay));
    const auto day = static_cast<std::int64_t>(whole) + kDayZero;
    return DateTime(std::chrono::milliseconds(day * kMsPerDay + ms));
}

// ---- into the engine -----------------------------------------------------------------

qx::TFieldType FieldTypeOf(Kind kind) {
    switch (kind) {
        case Kind::Bool:
            return qx::ftBoolean;
        case Kind::Integer:
            return qx::ftLargeint;
        case Kind::Number:
            return qx::ftFloat;
        case Kind::Decimal:
            return qx::ftFMTBcd;
        case Kind::Date:
            return qx::ftDate;
        case Kind::DateTime:
            return qx::ftDateTime;
        case Kind::Picture:
            return qx::ftBlob;
        default:
            return qx::ftString;
    }
}

qx::TFieldValue FieldValueOf(const Value& v) {
    switch (v.GetKind()) {
        case Kind::Null:
            return {};
        case Kind::Bool:
            return v.AsBool();
        case Kind::Integer:
            return v.AsInteger();
        case Kind::Number:
            return v.AsNumber();
        case Kind::Decimal:
            return v.AsDecimal().digits;
        case Kind::String:
            return v.AsString();
        case Kind::Date:
        case Kind::DateTime:
            return EngineDate(v.AsDateTime());
        case Kind::Picture: {
            const auto& bytes = v.AsPicture().bytes;
            return std::string(bytes.begin(), bytes.end());
        }
    }
    return {};
}

void AssignToVariable(qx::TQxReportVariable& target, const Value& v) {
    switch (v.GetKind()) {
        case Kind::Null:
            target.SetAsString("");
            return;
        case Kind::Bool:
            target.SetAsBoolean(v.AsBool());
            return;
        case Kind::Integer:
            target.SetAsInteger(v.AsInteger());
            return;
        case Kind::Number:
        case Kind::Decimal:
            target.SetAsFloat(v.AsNumber());
            return;
        case Kind::String:
            target.SetAsString(v.AsString());
            return;
        case Kind::Date:
            target.SetAsDate(EngineDate(v.AsDateTime()));
            return;
        case Kind::DateTime:
            target.SetAsDateTime(EngineDate(v.AsDateTime()));
            return;
        case Kind::Picture:
            throw Error("A picture cannot be a report variable or a function's result");
    }
}

// ---- out of the engine -------------------------------------------------------------------

namespace {

Value ValueOfField(const qx::TField& field) {
    if (field.IsNull()) return {};
    switch (field.DataType()) {
        case qx::ftBoolean:
            return field.AsBoolean();
        case qx::ftSmallint:
        case qx::ftInteger:
        case qx::ftWord:
        case qx::ftAutoInc:
        case qx::ftLargeint:
            return field.AsLargeInt();
        case qx::ftFloat:
        case qx::ftCurrency:
            return field.AsFloat();
        case qx::ftBCD:
        case qx::ftFMTBcd:
            return Decimal{field.AsString()};
        case qx::ftDate:
            return Value(FromEngineDate(field.AsDateTime())).AsDate();
        case qx::ftTime:
        case qx::ftDateTime:
        case qx::ftTimeStamp:
            return FromEngineDate(field.AsDateTime());
        case qx::ftBlob:
        case qx::ftGraphic:
        case qx::ftBytes:
        case qx::ftVarBytes: {
            const std::string bytes = field.AsBytes();
            return Picture{std::vector<std::uint8_t>(bytes.begin(), bytes.end())};
        }
        default:
            return field.AsString();
    }
}

Value ValueOfVariable(const qx::TQxReportVariable& var) {
    switch (var.DataType()) {
        case qx::qxdtNumber: {
            const double x = var.AsFloat();
            // Whole numbers that a 64-bit integer holds come back as integers.
            if (std::trunc(x) == x && std::fabs(x) < 9.2e18) return static_cast<std::int64_t>(x);
            return x;
        }
        case qx::qxdtBoolean:
            return var.AsBoolean();
        case qx::qxdtDateTime:
            return FromEngineDate(var.AsDateTime());
        default:
            return var.AsString();
    }
}

}  // namespace

Value ValueOfArgument(const qx::TObject* arg) {
    if (const auto* field = qx::ArgField(arg)) return ValueOfField(*field);
    if (const auto* var = qx::ArgVariable(arg)) return ValueOfVariable(*var);
    return {};
}

}  // namespace qxrtf
