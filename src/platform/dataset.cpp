#include "platform/dataset.h"

#include "platform/unicode.h"

namespace qx {

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

TField* TDataSet::FieldByName(const std::string& fieldName) const {
    TField* field = FindField(fieldName);
    if (field == nullptr) throw EDatabaseError("Field '" + fieldName + "' not found");
    return field;
}

}  // namespace qx
