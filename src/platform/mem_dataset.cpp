#include "platform/mem_dataset.h"

#include <cmath>

#include "platform/sysutils.h"
#include "platform/unicode.h"

namespace qx {

namespace {

const TFieldValue kNull{};

bool IsDateType(TFieldType t) {
    return t == ftDate || t == ftTime || t == ftDateTime || t == ftTimeStamp;
}

// A field of a TMemDataSet: reads the dataset's current record and
// converts the stored value the way a typed field of that kind does.
class TMemField : public TField {
  public:
    TMemField(TMemDataSet* ds, std::string name, TFieldType type, int index)
        : TField(ds, std::move(name), type), FMem(ds), FIndex(index) {}

    bool IsNull() const override { return std::holds_alternative<std::monostate>(V()); }

    std::string AsString() const override {
        const TFieldValue& v = V();
        if (auto s = std::get_if<std::string>(&v)) return *s;
        if (auto i = std::get_if<std::int64_t>(&v)) return std::to_string(*i);
        if (auto b = std::get_if<bool>(&v)) return *b ? "True" : "False";
        if (auto d = std::get_if<double>(&v)) {
            switch (DataType()) {
                case ftDate:
                    return DateToStr(*d);
                case ftTime:
                    return TimeToStr(*d);
                case ftDateTime:
                case ftTimeStamp:
                    return DateTimeToStr(*d);
                default:
                    return FloatToStr(*d);
            }
        }
        return {};
    }

    std::int64_t AsLargeInt() const override {
        const TFieldValue& v = V();
        if (auto i = std::get_if<std::int64_t>(&v)) return *i;
        if (auto d = std::get_if<double>(&v)) return static_cast<std::int64_t>(std::llround(*d));
        if (auto b = std::get_if<bool>(&v)) return *b ? 1 : 0;
        if (auto s = std::get_if<std::string>(&v)) return StrToInt64(*s);
        return 0;
    }

    double AsFloat() const override {
        const TFieldValue& v = V();
        if (auto d = std::get_if<double>(&v)) return *d;
        if (auto i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
        if (auto s = std::get_if<std::string>(&v)) return s->empty() ? 0.0 : StrToFloat(*s);
        if (std::holds_alternative<bool>(v)) throw Invalid("Float");
        return 0.0;
    }

    bool AsBoolean() const override {
        const TFieldValue& v = V();
        if (auto b = std::get_if<bool>(&v)) return *b;
        if (auto i = std::get_if<std::int64_t>(&v)) return *i != 0;
        if (auto s = std::get_if<std::string>(&v)) {
            if (SameText(*s, "True") || *s == "1") return true;
            if (s->empty() || SameText(*s, "False") || *s == "0") return false;
        }
        if (IsNull()) return false;
        throw Invalid("Boolean");
    }

    TDateTime AsDateTime() const override {
        const TFieldValue& v = V();
        if (auto d = std::get_if<double>(&v)) return *d;
        if (auto i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
        if (auto s = std::get_if<std::string>(&v)) return s->empty() ? 0.0 : StrToDateTime(*s);
        if (IsNull()) return 0.0;
        throw Invalid("DateTime");
    }

    std::string AsBytes() const override { return AsString(); }

  private:
    const TFieldValue& V() const { return FMem->CurrentValue(FIndex); }
    EDatabaseError Invalid(const char* type) const {
        return EDatabaseError("Cannot access field '" + FieldName() + "' as type " + type);
    }
    TMemDataSet* FMem;
    int FIndex;
};

}  // namespace

TMemDataSet::TMemDataSet(const std::string& name, TComponent* owner) : TDataSet(owner) {
    SetName(name);
}

TMemDataSet::~TMemDataSet() = default;

TField* TMemDataSet::AddField(const std::string& fieldName, TFieldType dataType) {
    if (!FRows.empty())
        throw EDatabaseError("Cannot add field '" + fieldName + "' to a filled dataset");
    if (FindField(fieldName) != nullptr)
        throw EDatabaseError("Duplicate field name '" + fieldName + "'");
    FFields.push_back(std::make_unique<TMemField>(this, fieldName, dataType, FieldCount()));
    return FFields.back().get();
}

void TMemDataSet::AppendRecord(std::vector<TFieldValue> values) {
    if (static_cast<int>(values.size()) != FieldCount())
        throw EDatabaseError("Record of " + std::to_string(values.size()) + " values for " +
                             std::to_string(FieldCount()) + " fields");
    for (std::size_t i = 0; i < values.size(); ++i) {
        // A date written as an integer day count is still a date.
        if (IsDateType(FFields[i]->DataType()))
            if (auto n = std::get_if<std::int64_t>(&values[i])) values[i] = static_cast<double>(*n);
    }
    FRows.push_back(std::move(values));
    if (FRows.size() == 1) First();
}

void TMemDataSet::Clear() {
    FRows.clear();
    FCurrent = 0;
    FEof = FBof = true;
}

const TFieldValue& TMemDataSet::Value(int record, int field) const {
    return FRows.at(static_cast<std::size_t>(record)).at(static_cast<std::size_t>(field));
}

const TFieldValue& TMemDataSet::CurrentValue(int field) const {
    if (FRows.empty()) return kNull;
    return Value(FCurrent, field);
}

void TMemDataSet::First() {
    FCurrent = 0;
    FBof = true;
    FEof = FRows.empty();
}

void TMemDataSet::Next() {
    if (FCurrent + 1 < RecordCount()) {
        ++FCurrent;
        FBof = false;
        FEof = false;
    } else {
        FEof = true;
    }
}

void TMemDataSet::Prior() {
    if (FCurrent > 0 && !FRows.empty()) {
        --FCurrent;
        FBof = false;
        FEof = false;
    } else {
        FBof = true;
    }
}

void TMemDataSet::Last() {
    FCurrent = FRows.empty() ? 0 : RecordCount() - 1;
    FEof = true;
    FBof = FRows.empty();
}

TField* TMemDataSet::Fields(int index) const {
    if (index < 0 || index >= FieldCount())
        throw EDatabaseError("Field index out of range: " + std::to_string(index));
    return FFields[static_cast<std::size_t>(index)].get();
}

TBookmark TMemDataSet::GetBookmark() const {
    return FRows.empty() ? TBookmark() : std::to_string(FCurrent);
}

void TMemDataSet::GotoBookmark(const TBookmark& bookmark) {
    std::size_t used = 0;
    int row = -1;
    try {
        row = std::stoi(bookmark, &used);
    } catch (const std::exception&) {
        row = -1;
    }
    if (used != bookmark.size() || row < 0 || row >= RecordCount())
        throw EDatabaseError("Record not found");
    FCurrent = row;
    FEof = FBof = false;
}

}  // namespace qx
