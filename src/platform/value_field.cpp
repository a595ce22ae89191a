#include "platform/value_field.h"

#include <cmath>
#include <limits>

#include "platform/internal/unicode.h"
#include "platform/sysutils.h"

namespace qx {

std::string TValueField::AsString() const {
    return AsStringIn(FormatSettings());
}

std::string TValueField::AsStringIn(const TFormatSettings& fs) const {
    const TFieldValue& v = Value();
    if (auto s = std::get_if<std::string>(&v)) return *s;
    if (auto i = std::get_if<std::int64_t>(&v)) return std::to_string(*i);
    if (auto b = std::get_if<bool>(&v)) return *b ? "True" : "False";
    if (auto d = std::get_if<double>(&v)) {
        switch (DataType()) {
            case ftDate:
                return DateToStr(*d, fs);
            case ftTime:
                return TimeToStr(*d, fs);
            case ftDateTime:
            case ftTimeStamp:
                return DateTimeToStr(*d, fs);
            default:
                return FloatToStr(*d, fs);
        }
    }
    return {};
}

std::int64_t TValueField::AsLargeInt() const {
    const TFieldValue& v = Value();
    if (auto i = std::get_if<std::int64_t>(&v)) return *i;
    if (auto d = std::get_if<double>(&v)) return static_cast<std::int64_t>(std::llround(*d));
    if (auto b = std::get_if<bool>(&v)) return *b ? 1 : 0;
    if (auto s = std::get_if<std::string>(&v)) {
        // An integer beyond 64 bits, held as its digits, saturates.
        std::int64_t n = 0;
        if (IsIntegerType(DataType()) && !TryStrToInt64(*s, n) && !s->empty())
            return s->front() == '-' ? std::numeric_limits<std::int64_t>::min()
                                     : std::numeric_limits<std::int64_t>::max();
        return StrToInt64(*s);
    }
    return 0;
}

double TValueField::AsFloat() const {
    const TFieldValue& v = Value();
    if (auto d = std::get_if<double>(&v)) return *d;
    if (auto i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
    if (auto s = std::get_if<std::string>(&v)) return s->empty() ? 0.0 : StrToFloat(*s);
    if (std::holds_alternative<bool>(v)) throw Invalid("Float");
    return 0.0;
}

bool TValueField::AsBoolean() const {
    const TFieldValue& v = Value();
    if (auto b = std::get_if<bool>(&v)) return *b;
    if (auto i = std::get_if<std::int64_t>(&v)) return *i != 0;
    if (auto s = std::get_if<std::string>(&v)) {
        if (SameText(*s, "True") || *s == "1") return true;
        if (s->empty() || SameText(*s, "False") || *s == "0") return false;
    }
    if (IsNull()) return false;
    throw Invalid("Boolean");
}

TDateTime TValueField::AsDateTime() const {
    const TFieldValue& v = Value();
    if (auto d = std::get_if<double>(&v)) return *d;
    if (auto i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
    if (auto s = std::get_if<std::string>(&v)) return s->empty() ? 0.0 : StrToDateTime(*s);
    if (IsNull()) return 0.0;
    throw Invalid("DateTime");
}

EDatabaseError TValueField::Invalid(const char* type) const {
    return EDatabaseError("Cannot access field '" + FieldName() + "' as type " + type);
}

}  // namespace qx
