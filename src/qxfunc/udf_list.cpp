// The user-defined function registry: items, their name and limit rules,
// lookup by name, and the settings-document form of a list.
#include "qxfunc/udf_list.h"

#include <nlohmann/json.hpp>

#include "conscom/exceptions.h"
#include "platform/internal/unicode.h"
#include "qxbasereport/internal/lang_text.h"

namespace qx {

// ---- TQxUDF ------------------------------------------------------------------

TQxUDF::TQxUDF(TQxUDFCollection* collection) : FCollection(collection) {}

std::string TQxUDF::GetDisplayName() const {
    return FName.empty() ? "TQxUDF" : FName;
}

bool TQxUDF::CheckName(const std::string& name) {
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
        const bool digit = c >= '0' && c <= '9';
        if (!letter && !(digit && i > 0)) return false;
    }
    return true;
}

void TQxUDF::SetName(const std::string& value) {
    if (value == FName) return;
    const std::string trimmed = Trim(value);
    const TQxUDFList* list = FCollection != nullptr ? FCollection->GetOwner() : nullptr;
    if (list != nullptr && list->FindFunction(trimmed) >= 0)
        throw EIllegalFunctionUse("User defined function with name " + trimmed + " already exists");
    if (!trimmed.empty() && !CheckName(trimmed))
        throw EIllegalFunctionUse("Illegal function name " + trimmed);
    FName = trimmed;
}

void TQxUDF::SetArgMaxCount(std::uint16_t value) {
    if (value == FArgMaxCount) return;
    FArgMaxCount = value;
    if (FArgMaxCount < FArgMinCount) FArgMinCount = value;
}

void TQxUDF::SetArgMinCount(std::uint16_t value) {
    if (value == FArgMinCount) return;
    FArgMinCount = value;
    if (FArgMaxCount < FArgMinCount) FArgMaxCount = value;
}

void TQxUDF::Assign(const TQxUDF& source) {
    if (&source == this) return;
    FOnCalculate = source.FOnCalculate;
    FName = source.FName;
    FArgMinCount = source.FArgMinCount;
    FArgMaxCount = source.FArgMaxCount;
    FResultType = source.FResultType;
}

// ---- TQxUDFCollection --------------------------------------------------------

TQxUDF* TQxUDFCollection::Add() {
    FItems.push_back(std::make_unique<TQxUDF>(this));
    return FItems.back().get();
}

TQxUDF* TQxUDFCollection::Items(std::int32_t index) const {
    if (index < 0 || index >= Count())
        throw Exception("List index out of bounds (" + std::to_string(index) + ")");
    return FItems[static_cast<std::size_t>(index)].get();
}

void TQxUDFCollection::Delete(std::int32_t index) {
    Items(index);
    FItems.erase(FItems.begin() + index);
}

void TQxUDFCollection::Assign(const TQxUDFCollection& source) {
    if (&source == this) return;
    Clear();
    for (const auto& item : source.FItems) Add()->Assign(*item);
}

// ---- TQxUDFList --------------------------------------------------------------

TQxUDFList::TQxUDFList(TComponent* owner)
    : TComponent(owner), FFunctions(std::make_unique<TQxUDFCollection>(this)) {}

TQxUDFList::~TQxUDFList() = default;

std::int32_t TQxUDFList::FindFunction(const std::string& name) const {
    const std::string key = UpperCase(Trim(name));
    for (std::int32_t i = 0; i < FFunctions->Count(); ++i)
        if (UpperCase(Trim(FFunctions->Items(i)->Name())) == key) return i;
    return -1;
}

void TQxUDFList::SaveSettings(nlohmann::json& doc) const {
    doc["Name"] = Name();
    nlohmann::json functions = nlohmann::json::array();
    for (std::int32_t i = 0; i < FFunctions->Count(); ++i) {
        const TQxUDF& f = *FFunctions->Items(i);
        functions.push_back({{"Name", f.Name()},
                             {"ArgMinCount", f.ArgMinCount()},
                             {"ArgMaxCount", f.ArgMaxCount()},
                             {"ResultType", f.ResultType()}});
    }
    doc["Functions"] = std::move(functions);
}

void TQxUDFList::LoadSettings(const nlohmann::json& doc) {
    // Build the new items aside so that a refused document leaves the list
    // as it was.
    TQxUDFList loaded;
    const nlohmann::json noFunctions = nlohmann::json::array();
    for (const nlohmann::json& f : doc.contains("Functions") ? doc.at("Functions") : noFunctions) {
        TQxUDF* item = loaded.Functions().Add();
        item->SetName(f.value("Name", std::string()));
        item->SetArgMinCount(f.value("ArgMinCount", std::uint16_t{0}));
        item->SetArgMaxCount(f.value("ArgMaxCount", std::uint16_t{0}));
        item->SetResultType(f.value("ResultType", udfrTQxReportVariable));
    }
    if (doc.contains("Functions")) FFunctions->Assign(loaded.Functions());
    if (doc.contains("Name")) SetName(doc.at("Name").get<std::string>());
}

}  // namespace qx
