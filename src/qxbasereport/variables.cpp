// Report variables: the typed accessor, the variable strings of numbers,
// booleans and dates, and the report's variable list operations.
#include "qxbasereport/variables.h"

#include <cstdio>
#include <typeinfo>

#include "conscom/exceptions.h"
#include "platform/internal/conv.h"
#include "platform/internal/unicode.h"
#include "qxbasereport/base_report.h"
#include "qxbasereport/internal/lang_text.h"

namespace qx {

// ---- data types ---------------------------------------------------------------

std::string DataTypeToText(TQxDataType t) {
    switch (t) {
        case qxdtString:
            return "String";
        case qxdtNumber:
            return "Number";
        case qxdtBoolean:
            return "Boolean";
        case qxdtDateTime:
            return "DateTime";
        default:
            return "Unknown";
    }
}

std::int32_t DataTypeToNumber(TQxDataType t) {
    switch (t) {
        case qxdtString:
            return 0;
        case qxdtNumber:
            return 1;
        case qxdtBoolean:
            return 2;
        case qxdtDateTime:
            return 3;
        default:
            return -1;
    }
}

TQxDataType DataTypeFromNumber(std::int32_t n) {
    switch (n) {
        case 0:
            return qxdtString;
        case 1:
            return qxdtNumber;
        case 2:
            return qxdtBoolean;
        case 3:
            return qxdtDateTime;
        default:
            return qxdtUnknown;
    }
}

// ---- TQxVarList -------------------------------------------------------------------

void TQxVarList::Assign(const TQxVarList& source) {
    if (&source == this) return;
    Clear();
    for (int i = 0; i < source.Count(); ++i)
        AddObject(source.Strings(i), new TQxVarListObject(source.DataTypes(i)));
}

namespace {

// The entry's type object; the list makes them all, so the exact type is
// checked first.
TQxVarListObject* TypeObject(const TQxVarList& list, int index) {
    TObject* object = list.Objects(index);
    if (object != nullptr && typeid(*object) == typeid(TQxVarListObject))
        return static_cast<TQxVarListObject*>(object);
    return dynamic_cast<TQxVarListObject*>(object);
}

// True when a number's variable string is the same whether made under these
// settings or with ".": a one-character separator that no number text uses
// for anything else.
bool SeparatorKeepsNumberText(const TFormatSettings& fs) {
    if (fs.DecimalSeparator.size() != 1) return false;
    const char c = fs.DecimalSeparator[0];
    return !(c >= '0' && c <= '9') && c != '-' && c != '+' && c != 'E' && c != 'e';
}

}  // namespace

TQxDataType TQxVarList::DataTypes(int index) const {
    const TQxVarListObject* object = TypeObject(*this, index);
    return object != nullptr ? object->FDataType : qxdtUnknown;
}

void TQxVarList::SetDataTypes(int index, TQxDataType t) {
    if (TQxVarListObject* object = TypeObject(*this, index))
        object->FDataType = t;
    else
        SetObjects(index, new TQxVarListObject(t));
}

std::string_view TQxVarList::EntryName(int index) const {
    const std::string& line = StoredText(index);
    const auto eq = line.find('=');
    return eq == std::string::npos ? std::string_view() : std::string_view(line).substr(0, eq);
}

void TQxVarList::SetPendingNumber(int index, double number, double rounded) {
    TQxVarListObject* object = TypeObject(*this, index);
    object->FDataType = qxdtNumber;
    // FNumber no longer belongs to the entry's old text.
    object->FNumberEntry.clear();
    object->FNumber = rounded;
    object->FPendingNumber = number;
    SetValuePending(index);
}

void TQxVarList::MakeValue(int index, std::string& line) const {
    // Only numbers are left pending; their text is the same under every
    // decimal separator that cannot be mistaken for part of a number.
    static const TFormatSettings kDotSettings;
    TQxVarListObject* object = TypeObject(*this, index);
    line.erase(line.find('=') + 1);
    line += FloatToVarStr(object->FPendingNumber, kDotSettings);
    object->FNumberEntry = line;
}

// ---- variable strings ----------------------------------------------------------

namespace {

std::string Pad(int value, int width) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", width, value);
    return buf;
}

// Characters `from`..`to` (1-based, inclusive) of `u` as a decimal integer.
int Part(const std::u32string& u, std::size_t from, std::size_t to) {
    return static_cast<int>(StrToInt64(Utf32ToUtf8(u.substr(from - 1, to - from + 1))));
}

TDateTime VarStrDatePart(const std::u32string& u) {
    return EncodeDate(Part(u, 2, 5), Part(u, 7, 8), Part(u, 10, 11));
}

std::string ReplaceFirst(std::string s, const std::string& from, const std::string& to) {
    const auto pos = s.find(from);
    if (pos != std::string::npos && from != to) s.replace(pos, from.size(), to);
    return s;
}

bool IsBlank(const std::string& s) {
    return Trim(s).empty();
}

}  // namespace

std::string FloatToVarStr(double value, const TFormatSettings& fs) {
    if (fs.DecimalSeparator == ".") return FloatToStr(value, fs);
    return ReplaceFirst(FloatToStr(value, fs), fs.DecimalSeparator, ".");
}

std::string BoolToVarStr(bool value, const std::string& trueText, const std::string& falseText) {
    if (trueText == falseText) return value ? "True" : "False";
    return value ? trueText : falseText;
}

std::string DateToVarStr(TDateTime date) {
    int y = 0, m = 0, d = 0;
    DecodeDate(date, y, m, d);
    return "{" + Pad(y, 4) + "-" + Pad(m, 2) + "-" + Pad(d, 2) + "}";
}

std::string DateTimeToVarStr(TDateTime dateTime) {
    int h = 0, n = 0, s = 0, ms = 0;
    DecodeTime(dateTime, h, n, s, ms);
    std::string text = DateToVarStr(dateTime);
    text.pop_back();
    return text + "," + Pad(h, 2) + ":" + Pad(n, 2) + ":" + Pad(s, 2) + ":" + Pad(ms, 3) + "}";
}

TDateTime VarStrToDate(const std::string& s) {
    const std::u32string u = Utf8ToUtf32(s);
    if (u.size() < 12) throw Exception(s + " is not a valid date value");
    return VarStrDatePart(u);
}

TDateTime VarStrToDateTime(const std::string& s) {
    const std::u32string u = Utf8ToUtf32(s);
    if (u.size() < 12) throw Exception(s + " is not a valid datetime value");
    const TDateTime date = VarStrDatePart(u);
    if (u.size() != 25 || u[11] != U',') return date;
    const TDateTime time =
        EncodeTime(Part(u, 13, 14), Part(u, 16, 17), Part(u, 19, 20), Part(u, 22, 24));
    // Before 1899-12-30 the day count runs backwards but the time of day
    // still runs forwards, so the time moves the value towards -infinity.
    return date < 0 ? date - time : date + time;
}

// ---- TQxReportVariable ----------------------------------------------------------

TQxReportVariable::TQxReportVariable(TQxBaseReport* VarOwner)
    : FOwnerBaseReport(VarOwner),
      FLocal(VarOwner == nullptr),
      FFmtSett(VarOwner != nullptr ? &VarOwner->FmtSettings() : &FormatSettings()) {}

void TQxReportVariable::SetFmtSett(const TFormatSettings& fs) {
    ReadText();  // a pending number text takes the settings it was set with
    FOwnFmtSett = std::make_shared<const TFormatSettings>(fs);
    FFmtSett = FOwnFmtSett.get();
}

void TQxReportVariable::Renew() {
    FVarName.clear();
    FLocal = FOwnerBaseReport == nullptr;
    FLocalValue.clear();
    FLocalType = qxdtUnknown;
    FLocalNumber = 0;
    FLocalNumberIntegral = false;
    DropLocalNumber();
    FOwnFmtSett.reset();
    FFmtSett = FOwnerBaseReport != nullptr ? &FOwnerBaseReport->FmtSettings() : &FormatSettings();
}

void TQxReportVariable::SetLocal(bool value) {
    if (value == FLocal) return;
    FLocal = value;
    FLocalValue.clear();
    FLocalType = qxdtUnknown;
    DropLocalNumber();
}

bool TQxReportVariable::KeepLocalNumber(double value, bool integral) {
    // The text of a number uses the decimal separator of the settings and
    // is read back with them; one character keeps that exact.
    if (!FLocal || FFmtSett->DecimalSeparator.size() != 1) return false;
    FLocalNumber = value;
    FLocalNumberIntegral = integral;
    FHasLocalNumber = true;
    FLocalTextPending = true;
    FLocalType = qxdtNumber;
    return true;
}

std::int32_t TQxReportVariable::FindVar(const char* label) const {
    // A variable without a report has no list to find its name in.
    const std::int32_t n =
        FOwnerBaseReport != nullptr ? FOwnerBaseReport->GetVarNumber(FVarName) : 0;
    if (n == 0) throw EIOError(std::string(label) + ": report variable not found: " + FVarName);
    return n;
}

std::string TQxReportVariable::ReadText() const {
    if (FLocal) {
        if (FLocalTextPending) {
            FLocalValue = FLocalNumberIntegral
                              ? std::to_string(static_cast<std::int64_t>(FLocalNumber))
                              : FloatToVarStr(FLocalNumber, *FFmtSett);
            FLocalTextPending = false;
        }
        return FLocalValue;
    }
    return FOwnerBaseReport->GetVarByNumber(FindVar("Get variable"));
}

void TQxReportVariable::WriteText(const std::string& text, TQxDataType type) {
    if (FLocal) {
        DropLocalNumber();
        FLocalValue = text;
        FLocalType = type;
        return;
    }
    WriteEntry(FindVar("Set variable"), text, type);
}

void TQxReportVariable::WriteEntry(std::int32_t n, const std::string& text, TQxDataType type) {
    TQxVarList& list = *FOwnerBaseReport->VarList();
    // Built in a buffer that keeps its storage: the list entry copied into
    // keeps its own.
    thread_local std::string entry;
    entry.assign(FVarName).append(1, '=').append(text);
    FOwnerBaseReport->CountVariableWrite(FVarName, list.CountedSize(n - 1),
                                         type == qxdtString ? entry.size() : FVarName.size() + 1);
    list.SetStrings(n - 1, entry);
    list.SetDataTypes(n - 1, type);
}

// A variable without a report falls back to the default boolean texts.
const std::string& TQxReportVariable::TrueText() const {
    static const std::string kTrue = "True";
    return FOwnerBaseReport != nullptr ? FOwnerBaseReport->TrueValue() : kTrue;
}

const std::string& TQxReportVariable::FalseText() const {
    static const std::string kFalse = "False";
    return FOwnerBaseReport != nullptr ? FOwnerBaseReport->FalseValue() : kFalse;
}

void TQxReportVariable::ChangeVarName(const std::string& NewVarName) {
    if (!FLocal) {
        const std::int32_t n =
            FOwnerBaseReport != nullptr ? FOwnerBaseReport->GetVarNumber(FVarName) : 0;
        if (n == 0) throw EIOError("Report variable not found: " + FVarName);
        if (FOwnerBaseReport->GetVarNumber(NewVarName) != 0)
            throw EIOError("Can't set variable name to " + NewVarName +
                           ", because variable with the same name already exists");
        FOwnerBaseReport->VarList()->SetStrings(
            n - 1, NewVarName + "=" + FOwnerBaseReport->GetVarByNumber(n));
    }
    FVarName = NewVarName;
}

std::string TQxReportVariable::AsString() const {
    const std::string text = ReadText();
    const TQxDataType type = DataType();
    if (type == qxdtNumber) return ReplaceFirst(text, ".", FFmtSett->DecimalSeparator);
    if (type == qxdtDateTime) {
        const std::u32string u = Utf8ToUtf32(text);
        if (u.size() > 11) {
            if (u[11] == U',') return DateTimeToStr(VarStrToDateTime(text), *FFmtSett);
            return DateToStr(VarStrToDate(text), *FFmtSett);
        }
    }
    return text;
}

void TQxReportVariable::SetAsString(const std::string& value) {
    WriteText(value, qxdtString);
}

TQxVarListObject* TQxReportVariable::EntryObject(std::int32_t n) const {
    // The text form is read the same way whatever the separator, as long as
    // it is one character.
    if (FFmtSett->DecimalSeparator.size() != 1) return nullptr;
    return TypeObject(*FOwnerBaseReport->VarList(), n - 1);
}

double TQxReportVariable::AsFloat() const {
    if (FLocal) {
        if (FHasLocalNumber) return FLocalNumber;
        std::string text = ReadText();
        if (IsBlank(text)) text = "0";
        return StrToFloat(ReplaceFirst(text, ".", FFmtSett->DecimalSeparator), *FFmtSett);
    }
    const std::int32_t n = FindVar("Get variable");
    const TQxVarList& list = *FOwnerBaseReport->VarList();
    TQxVarListObject* cache = EntryObject(n);
    if (cache != nullptr && list.NumberPending(n - 1)) return cache->FNumber;
    const std::string& entry = list.Strings(n - 1);
    if (cache != nullptr && !cache->FNumberEntry.empty() && cache->FNumberEntry == entry)
        return cache->FNumber;
    std::string text = FOwnerBaseReport->GetVarByNumber(n);
    if (IsBlank(text)) text = "0";
    const double value = StrToFloat(ReplaceFirst(text, ".", FFmtSett->DecimalSeparator), *FFmtSett);
    if (cache != nullptr) {
        cache->FNumberEntry = entry;
        cache->FNumber = value;
    }
    return value;
}

void TQxReportVariable::SetAsFloat(double value) {
    // Kept as what its text reads back as: the value rounded to 15 digits.
    double rounded = 0;
    const bool decided = conv::RoundTo15Digits(value, rounded);
    if (decided && KeepLocalNumber(rounded, false)) return;
    if (FLocal) {
        WriteText(FloatToVarStr(value, *FFmtSett), qxdtNumber);
        return;
    }
    const std::int32_t n = FindVar("Set variable");
    if (decided && EntryObject(n) != nullptr && SeparatorKeepsNumberText(*FFmtSett)) {
        // An accumulator is set once per record and read as a number: its
        // text is made only if something reads it as text.
        TQxVarList& list = *FOwnerBaseReport->VarList();
        FOwnerBaseReport->CountVariableWrite(FVarName, list.CountedSize(n - 1),
                                             FVarName.size() + 1);
        list.SetPendingNumber(n - 1, value, rounded);
        return;
    }
    WriteEntry(n, FloatToVarStr(value, *FFmtSett), qxdtNumber);
    if (!decided) return;
    if (TQxVarListObject* cache = EntryObject(n)) {
        cache->FNumberEntry = FOwnerBaseReport->VarList()->Strings(n - 1);
        cache->FNumber = rounded;
    }
}

std::int64_t TQxReportVariable::AsInteger() const {
    const std::string text = ReadText();
    return IsBlank(text) ? 0 : StrToInt64(text);
}

void TQxReportVariable::SetAsInteger(std::int64_t value) {
    if (value >= -kExactIntegerLimit && value <= kExactIntegerLimit &&
        KeepLocalNumber(static_cast<double>(value), true))
        return;
    WriteText(std::to_string(value), qxdtNumber);
}

void TQxReportVariable::SetAsIntegerText(const std::string& digits) {
    WriteText(digits, qxdtNumber);
}

namespace {

// Fifteen digits and fewer read back from a double unchanged.
bool IsLongIntegerText(std::string_view text) {
    constexpr std::size_t kExactDigits = 15;
    return text.size() > kExactDigits && IsIntegerText(text);
}

}  // namespace

std::string_view TQxReportVariable::IntegerText() const {
    if (FLocal) {
        if (FHasLocalNumber || FLocalType != qxdtNumber || FLocalTextPending ||
            !IsLongIntegerText(FLocalValue))
            return {};
        return FLocalValue;
    }
    const std::int32_t n = FindVar("Get variable");
    const TQxVarList& list = *FOwnerBaseReport->VarList();
    // A pending number was set as a double: it has no digits of its own,
    // and reading the entry would make its text.
    if (list.DataTypes(n - 1) != qxdtNumber || list.NumberPending(n - 1)) return {};
    const std::string& entry = list.Strings(n - 1);
    const auto eq = entry.find('=');
    if (eq == std::string::npos) return {};
    const std::string_view value = std::string_view(entry).substr(eq + 1);
    return IsLongIntegerText(value) ? value : std::string_view();
}

TDateTime TQxReportVariable::AsDate() const {
    return VarStrToDate(ReadText());
}
void TQxReportVariable::SetAsDate(TDateTime value) {
    WriteText(DateToVarStr(value), qxdtDateTime);
}
TDateTime TQxReportVariable::AsDateTime() const {
    return VarStrToDateTime(ReadText());
}
void TQxReportVariable::SetAsDateTime(TDateTime value) {
    WriteText(DateTimeToVarStr(value), qxdtDateTime);
}

bool TQxReportVariable::AsBoolean() const {
    const std::string text = ReadText();
    return text == TrueText() || UpperCase(text) == "TRUE";
}

void TQxReportVariable::SetAsBoolean(bool value) {
    WriteText(BoolToVarStr(value, TrueText(), FalseText()), qxdtBoolean);
}

TQxDataType TQxReportVariable::DataType() const {
    if (FLocal) return FLocalType;
    return FOwnerBaseReport->GetVarTypeByNumber(FindVar("Get variable"));
}

void TQxReportVariable::SetDataType(TQxDataType value) {
    if (FLocal) {
        FLocalType = value;
        return;
    }
    FOwnerBaseReport->VarList()->SetDataTypes(FindVar("Set variable") - 1, value);
}

}  // namespace qx
