#include "platform/loaders/stream_dataset.h"

#include <algorithm>
#include <limits>

#include "platform/internal/unicode.h"

namespace qx {

namespace {

// Records kept besides the current one: enough for the usual look at the
// previous record, small enough not to matter.
constexpr std::size_t kRecentRecords = 8;

const TFieldValue kNull{};

}  // namespace

void TRecordReader::SeekRecord(std::int64_t index) {
    Rewind();
    std::vector<TFieldValue> skipped;
    for (std::int64_t i = 0; i < index && ReadNext(skipped); ++i) {
    }
}

TStreamDataSet::TStreamDataSet(const std::string& name) {
    SetName(name);
}

TStreamDataSet::~TStreamDataSet() = default;

TField* TStreamDataSet::AddField(const std::string& fieldName, TFieldType dataType) {
    if (!FFoldedNames.insert(UpperCase(fieldName)).second)
        throw EDatabaseError("Dataset " + Name() + ": duplicate field name '" + fieldName + "'");
    FFields.push_back(std::make_unique<TValueField>(this, static_cast<const TValueSource*>(this),
                                                    fieldName, dataType, FieldCount()));
    return FFields.back().get();
}

void TStreamDataSet::SetReader(std::unique_ptr<TRecordReader> reader) {
    FReader = std::move(reader);
    ForgetRecords();
}

void TStreamDataSet::ForgetRecords() {
    FValues.clear();
    FRecent.clear();
    FCurrent = -1;
    FCount = FReader ? FReader->KnownCount() : 0;
    FReadNext = 0;
    if (FReader) FReader->Rewind();
    FEof = FBof = true;
}

const TFieldValue& TStreamDataSet::CurrentValue(int field) const {
    if (FCurrent < 0 || static_cast<std::size_t>(field) >= FValues.size()) return kNull;
    return FValues[static_cast<std::size_t>(field)];
}

bool TStreamDataSet::ReadRecord(std::int64_t index, std::vector<TFieldValue>& values) {
    if (FCount >= 0 && index >= FCount) return false;
    if (index < FReadNext) {
        FReader->SeekRecord(index);
        FReadNext = index;
    }
    while (FReadNext <= index) {
        if (!FReader->ReadNext(values)) {
            FCount = FReadNext;
            return false;
        }
        ++FReadNext;
    }
    return true;
}

bool TStreamDataSet::Fetch(std::int64_t index) {
    if (index < 0) return false;
    if (index == FCurrent) return true;
    // Records move between the current one and the recent ones rather than
    // being copied, and the oldest recent record lends its storage to the
    // one read next.
    std::vector<TFieldValue> values;
    const auto recent = std::find_if(FRecent.begin(), FRecent.end(),
                                     [&](const auto& r) { return r.first == index; });
    if (recent != FRecent.end()) {
        values = std::move(recent->second);
        FRecent.erase(recent);
    } else {
        if (FRecent.size() >= kRecentRecords) {
            values = std::move(FRecent.front().second);
            FRecent.pop_front();
        }
        if (!ReadRecord(index, values)) return false;
    }
    if (FCurrent >= 0) FRecent.emplace_back(FCurrent, std::move(FValues));
    FValues = std::move(values);
    FCurrent = index;
    return true;
}

void TStreamDataSet::First() {
    if (Fetch(0)) {
        FEof = false;
    } else {
        FCurrent = -1;
        FValues.clear();
        FEof = true;
    }
    FBof = true;
    Moved();
}

void TStreamDataSet::Next() {
    if (FCurrent >= 0 && Fetch(FCurrent + 1)) {
        FEof = FBof = false;
        Moved();
    } else {
        FEof = true;
    }
}

void TStreamDataSet::Prior() {
    if (FCurrent > 0 && Fetch(FCurrent - 1)) {
        FEof = FBof = false;
        Moved();
    } else {
        FBof = true;
    }
}

void TStreamDataSet::Last() {
    if (FCount < 0) {
        if (FCurrent < 0 && !Fetch(0)) FCount = 0;
        while (FCount < 0 && Fetch(FCurrent + 1)) {
        }
    }
    if (FCount > 0) Fetch(FCount - 1);
    FEof = true;
    FBof = FCurrent < 0;
    Moved();
}

int TStreamDataSet::RecordCount() const {
    return static_cast<int>(std::min<std::int64_t>(FCount, std::numeric_limits<int>::max()));
}

TField* TStreamDataSet::Fields(int index) const {
    if (index < 0 || index >= FieldCount())
        throw EDatabaseError("Field index out of range: " + std::to_string(index));
    return FFields[static_cast<std::size_t>(index)].get();
}

TBookmark TStreamDataSet::GetBookmark() const {
    return FCurrent < 0 ? TBookmark() : std::to_string(FCurrent);
}

void TStreamDataSet::GotoBookmark(const TBookmark& bookmark) {
    const std::int64_t row = RowOfBookmark(bookmark);
    if (row < 0 || !Fetch(row)) throw EDatabaseError("Record not found");
    FEof = FBof = false;
    Moved();
}

}  // namespace qx
