#include "platform/loaders/keyed_detail.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/loaders/column_types.h"

namespace qx {

namespace {

// Exactly representable whole numbers of a double.
constexpr double kExactInteger = 9007199254740992.0;  // 2^53

// The key of the current record of `field`'s dataset; false for NULL.
bool KeyOf(const TField& field, std::string& key) {
    if (field.IsNull()) return false;
    const TFieldType type = field.DataType();
    if (IsIntegerType(type)) {
        key = std::to_string(field.AsLargeInt());
    } else if (type == ftBoolean) {
        key = field.AsBoolean() ? "true" : "false";
    } else if (!IsTextType(type)) {
        // Numbers and dates by value: 7.0 is the key 7 of an integer field.
        const double value = field.AsFloat();
        if (value == std::floor(value) && std::fabs(value) < kExactInteger) {
            key = std::to_string(static_cast<std::int64_t>(value));
        } else {
            char text[32];
            std::snprintf(text, sizeof text, "%.17g", value);
            key = text;
        }
    } else {
        key = field.AsString();
    }
    return true;
}

const TFieldValue kNoValue;

}  // namespace

std::string KeyText(const TField& field) {
    std::string key;
    return KeyOf(field, key) ? key : std::string();
}

TKeyedDetail::TKeyedDetail(std::unique_ptr<TStreamDataSet> records, const std::string& keyField,
                           const std::string& masterField)
    : FRecords(std::move(records)), FKeyField(keyField), FMasterField(masterField) {
    SetName(FRecords->Name());
    if (FRecords->FindField(keyField) == nullptr)
        FailDataSet(Name(), "no field " + keyField + " to link it to its master by");
    for (int i = 0; i < FRecords->FieldCount(); ++i) {
        const TField* f = FRecords->Fields(i);
        FFields.push_back(std::make_unique<TValueField>(
            this, static_cast<const TValueSource*>(this), f->FieldName(), f->DataType(), i));
    }
    Index();
}

TKeyedDetail::~TKeyedDetail() = default;

void TKeyedDetail::Index() {
    const TField& key = *FRecords->FieldByName(FKeyField);
    std::string text, last;
    bool hasLast = false;
    std::int64_t record = 0;
    for (FRecords->First(); !FRecords->Eof(); FRecords->Next(), ++record) {
        if (!KeyOf(key, text)) {
            hasLast = false;
            continue;
        }
        if (FGrouped) {
            if (hasLast && text == last) {
                ++FRuns[text].count;
                continue;
            }
            const auto [it, fresh] = FRuns.try_emplace(text, Run{record, 1});
            if (fresh) {
                last = text;
                hasLast = true;
                continue;
            }
            // A key met again after others: the records are not grouped,
            // so every key keeps the list of its records instead.
            FGrouped = false;
            for (const auto& [k, run] : FRuns) {
                std::vector<std::int64_t>& list = FLists[k];
                for (std::int64_t r = run.first; r < run.first + run.count; ++r) list.push_back(r);
            }
            FRuns.clear();
        }
        FLists[text].push_back(record);
    }
}

void TKeyedDetail::SetMaster(TDataSet* master) {
    if (master != nullptr && master->FindField(FMasterField) == nullptr)
        FailDataSet(Name(), "master dataset " + master->Name() + " has no field " + FMasterField +
                                " to link it by");
    TDataSet::SetMaster(master);
}

TField* TKeyedDetail::Fields(int index) const {
    if (index < 0 || index >= FieldCount())
        throw EDatabaseError("Field index out of range: " + std::to_string(index));
    return FFields[static_cast<std::size_t>(index)].get();
}

const TFieldValue& TKeyedDetail::CurrentValue(int field) const {
    if (FPosition < 0) return kNoValue;
    return static_cast<const TValueField*>(FRecords->Fields(field))->Value();
}

std::int64_t TKeyedDetail::RecordOf(std::int64_t position) const {
    return FRun != nullptr ? FRun->first + position : (*FList)[static_cast<std::size_t>(position)];
}

void TKeyedDetail::Show(std::int64_t position) {
    FRecords->GotoBookmark(std::to_string(RecordOf(position)));
    FPosition = position;
}

void TKeyedDetail::First() {
    FRun = nullptr;
    FList = nullptr;
    FCount = 0;
    FPosition = -1;
    std::string key;
    const TDataSet* master = Master();
    const TField* field = master != nullptr ? master->FindField(FMasterField) : nullptr;
    if (field != nullptr && !master->Eof() && KeyOf(*field, key)) {
        if (FGrouped) {
            const auto it = FRuns.find(key);
            if (it != FRuns.end()) FRun = &it->second, FCount = it->second.count;
        } else {
            const auto it = FLists.find(key);
            if (it != FLists.end())
                FList = &it->second, FCount = static_cast<std::int64_t>(it->second.size());
        }
    }
    if (FCount > 0) Show(0);
    FEof = FCount == 0;
    FBof = true;
    Moved();
}

void TKeyedDetail::Next() {
    if (FPosition >= 0 && FPosition + 1 < FCount) {
        Show(FPosition + 1);
        FEof = FBof = false;
        Moved();
    } else {
        FEof = true;
    }
}

void TKeyedDetail::Prior() {
    if (FPosition > 0) {
        Show(FPosition - 1);
        FEof = FBof = false;
        Moved();
    } else {
        FBof = true;
    }
}

void TKeyedDetail::Last() {
    if (FCount > 0) Show(FCount - 1);
    FEof = true;
    FBof = FCount == 0;
    Moved();
}

// A bookmark is the record's number in the file, so that it keeps naming
// the same record; only records of the master's current record are found.
TBookmark TKeyedDetail::GetBookmark() const {
    return FPosition < 0 ? TBookmark() : std::to_string(RecordOf(FPosition));
}

void TKeyedDetail::GotoBookmark(const TBookmark& bookmark) {
    const std::int64_t record = RowOfBookmark(bookmark);
    std::int64_t position = -1;
    if (record >= 0) {
        if (FRun != nullptr && record >= FRun->first && record < FRun->first + FRun->count) {
            position = record - FRun->first;
        } else if (FList != nullptr) {
            const auto it = std::lower_bound(FList->begin(), FList->end(), record);
            if (it != FList->end() && *it == record) position = it - FList->begin();
        }
    }
    if (position < 0) throw EDatabaseError("Record not found");
    Show(position);
    FEof = FBof = false;
    Moved();
}

}  // namespace qx
