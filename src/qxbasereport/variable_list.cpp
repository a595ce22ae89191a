// The report's variable list: defining, deleting and finding variables,
// the shared accessor, and dataset aliases.
#include "conscom/exceptions.h"
#include "platform/internal/unicode.h"
#include "qxbasereport/base_report.h"
#include "qxbasereport/internal/lang_text.h"

namespace qx {

namespace {

// The entry text of a new variable (trimmed name) after checking that the
// name is free. The check uses the trimmed name too, so that " X " cannot
// be defined a second time beside "X".
std::string NewEntry(const TQxBaseReport& report, const std::string& name,
                     const std::string& value) {
    const std::string trimmed = Trim(name);
    if (report.GetVarNumber(trimmed) != 0)
        throw EIOError("Can't add report variable " + name + " - variable already exists");
    return trimmed + "=" + value;
}

}  // namespace

void TQxBaseReport::CreateVar(const std::string& name, const std::string& value) {
    const std::string entry = NewEntry(*this, name, value);
    FVarList->AddObject(entry, new TQxVarListObject(qxdtString));
}

void TQxBaseReport::CreateVar(const std::string& name, double value) {
    const std::string entry = NewEntry(*this, name, FloatToVarStr(value, FmtSett));
    FVarList->AddObject(entry, new TQxVarListObject(qxdtNumber));
}

void TQxBaseReport::CreateVar(const std::string& name, TDateTime value, bool ignoreTime) {
    const std::string text = ignoreTime ? DateToVarStr(value) : DateTimeToVarStr(value);
    const std::string entry = NewEntry(*this, name, text);
    FVarList->AddObject(entry, new TQxVarListObject(qxdtDateTime));
}

void TQxBaseReport::CreateVar(const std::string& name, bool value) {
    const std::string entry = NewEntry(*this, name, BoolToVarStr(value, FTrueValue, FFalseValue));
    FVarList->AddObject(entry, new TQxVarListObject(qxdtBoolean));
}

void TQxBaseReport::FreeVar(const std::string& name) {
    const std::int32_t n = GetVarNumber(name);
    if (n != 0) FVarList->Delete(n - 1);
}

void TQxBaseReport::ClearVars() {
    FVarList->Clear();
    FReportVariable->SetVarName("");
}

TQxReportVariable& TQxBaseReport::VarByName(const std::string& name) {
    FReportVariable->SetVarName(name);
    return *FReportVariable;
}

std::int32_t TQxBaseReport::GetVarNumber(const std::string& ident) const {
    if (!FVarList)
        throw Exception("Incorrect using report variable (or variable doesn't exist):" + ident);
    if (FVarLookupsList != FVarList.get() || FVarLookupsVersion != FVarList->NamesVersion()) {
        FVarLookups = {};
        FVarLookupsList = FVarList.get();
        FVarLookupsVersion = FVarList->NamesVersion();
    }
    for (const TVarLookup& known : FVarLookups)
        if (known.number != 0 && known.ident == ident) return known.number;
    for (int i = 0; i < FVarList->Count(); ++i) {
        // Names only: a value waiting to be written stays so.
        const std::string_view name = FVarList->EntryName(i);
        if (!name.empty() && SameTextAscii(name, ident)) {
            FVarLookups[FVarLookupsNext] = TVarLookup{ident, i + 1};
            FVarLookupsNext = (FVarLookupsNext + 1) % FVarLookups.size();
            return i + 1;
        }
    }
    return 0;
}

std::string TQxBaseReport::GetVarByNumber(std::int32_t n) const {
    const std::string& line = FVarList->Strings(n - 1);
    const auto eq = line.find('=');
    if (eq == std::string::npos || eq == 0) return {};
    return line.substr(eq + 1);
}

TQxDataType TQxBaseReport::GetVarTypeByNumber(std::int32_t n) const {
    return FVarList->DataTypes(n - 1);
}

void TQxBaseReport::SetFmtSettings(const TFormatSettings& fs) {
    FmtSett = fs;  // the report's variable reads them from here
}

std::int32_t TQxBaseReport::CtoN(const std::string& s) const {
    const std::string alias = UpperCase(Trim(s));
    if (alias.empty()) return -1;
    const std::u32string chars = Utf8ToUtf32(alias);
    const auto lookup = [this, &alias]() -> std::int32_t {
        if (!FInDList) return -1;
        const std::string value = FInDList->Values(alias);
        return value.empty() ? -1 : static_cast<std::int32_t>(StrToInt64(value));
    };
    if (chars.size() == 1) {
        if (FInDListOneCharExists) {
            if (const std::int32_t n = lookup(); n >= 0) return n;
        }
        if (chars[0] >= U'A' && chars[0] <= U'Z') return static_cast<std::int32_t>(chars[0] - U'A');
    }
    return lookup();
}

}  // namespace qx
