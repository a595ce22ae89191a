#include "platform/mem_dataset.h"

namespace qx {

namespace {

const TFieldValue kNull{};

bool IsDateType(TFieldType t) {
    return t == ftDate || t == ftTime || t == ftDateTime || t == ftTimeStamp;
}

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
    FFields.push_back(std::make_unique<TValueField>(this, static_cast<const TValueSource*>(this),
                                                    fieldName, dataType, FieldCount()));
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
    Moved();
}

void TMemDataSet::Next() {
    if (FCurrent + 1 < RecordCount()) {
        ++FCurrent;
        FBof = false;
        FEof = false;
        Moved();
    } else {
        FEof = true;
    }
}

void TMemDataSet::Prior() {
    if (FCurrent > 0 && !FRows.empty()) {
        --FCurrent;
        FBof = false;
        FEof = false;
        Moved();
    } else {
        FBof = true;
    }
}

void TMemDataSet::Last() {
    FCurrent = FRows.empty() ? 0 : RecordCount() - 1;
    FEof = true;
    FBof = FRows.empty();
    Moved();
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
    Moved();
}

}  // namespace qx
