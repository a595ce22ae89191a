#include "platform/dataset.h"

#include "platform/internal/unicode.h"

namespace qx {

std::int64_t RowOfBookmark(const TBookmark& bookmark) {
    std::size_t used = 0;
    std::int64_t row = -1;
    try {
        row = std::stoll(bookmark, &used);
    } catch (const std::exception&) {
        return -1;
    }
    return used == bookmark.size() && row >= 0 ? row : -1;
}

bool TField::IsBlob() const {
    switch (FDataType) {
        case ftBlob:
        case ftMemo:
        case ftGraphic:
        case ftWideMemo:
            return true;
        default:
            return false;
    }
}

int TField::AsInteger() const {
    return static_cast<int>(AsLargeInt());
}

TField* TDataSet::FindField(const std::string& fieldName) const {
    for (int i = 0; i < FieldCount(); ++i)
        if (SameText(Fields(i)->FieldName(), fieldName)) return Fields(i);
    return nullptr;
}

TDataSet::~TDataSet() {
    SetMaster(nullptr);
    for (TDataSet* detail : FDetails) detail->FMaster = nullptr;
}

void TDataSet::SetMaster(TDataSet* master) {
    for (const TDataSet* m = master; m != nullptr; m = m->FMaster)
        if (m == this) throw EDatabaseError("Dataset " + Name() + " cannot be a detail of itself");
    if (FMaster != nullptr) std::erase(FMaster->FDetails, this);
    FMaster = master;
    if (FMaster != nullptr) FMaster->FDetails.push_back(this);
}

void TDataSet::Moved() {
    // A detail may unlink itself while it follows; walk a copy.
    const std::vector<TDataSet*> details = FDetails;
    for (TDataSet* detail : details) detail->MasterMoved();
}

TField* TDataSet::FieldByName(const std::string& fieldName) const {
    TField* field = FindField(fieldName);
    if (field == nullptr) throw EDatabaseError("Field '" + fieldName + "' not found");
    return field;
}

}  // namespace qx
