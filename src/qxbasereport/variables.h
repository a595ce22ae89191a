// Report variables: named, typed values kept as text in the report's
// variable list, and the accessor that converts them. The same accessor,
// switched to local, holds a free-standing typed value for the evaluator.
//
// Values are kept in "variable strings", a locale-independent text form:
// numbers with "." as decimal separator (15 significant digits), booleans as
// the report's TrueValue/FalseValue, dates as {yyyy-mm-dd} and date-times as
// {yyyy-mm-dd,hh:nn:ss:zzz}.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/component.h"
#include "platform/stringlist.h"
#include "platform/sysutils.h"

namespace qx {

class TQxBaseReport;

// Type of a value; stored in one byte.
enum TQxDataType : std::uint8_t {
    qxdtUnknown = 0,
    qxdtString = 1,
    qxdtNumber = 2,
    qxdtBoolean = 3,
    qxdtDateTime = 4,
};

// "Unknown", "String", "Number", "Boolean", "DateTime".
std::string DataTypeToText(TQxDataType t);
// The persisted number: String 0, Number 1, Boolean 2, DateTime 3, Unknown -1.
std::int32_t DataTypeToNumber(TQxDataType t);
// The reverse; every number other than 0..3 gives qxdtUnknown.
TQxDataType DataTypeFromNumber(std::int32_t n);

// The type attached to one entry of the variable list.
class TQxVarListObject : public TObject {
  public:
    explicit TQxVarListObject(TQxDataType t = qxdtUnknown) : FDataType(t) {}
    TQxDataType FDataType;
    // The entry ("name=text") whose number was last read or written, and
    // that number: an accumulator read once per record is not parsed again.
    // Tied to the entry's text, so any change of the entry invalidates it.
    std::string FNumberEntry;
    double FNumber = 0;
    // While the list holds the entry's value as pending: the number as set,
    // which the entry's text is made from when read (FNumber is what that
    // text reads back as).
    double FPendingNumber = 0;
};

// One "name=value" entry per variable, in creation order, each owning its
// type object.
class TQxVarList : public TStringList {
  public:
    TQxVarList() { SetOwnsObjects(true); }

    using TStringList::Assign;
    // Copies the source's entries with their types.
    void Assign(const TQxVarList& source);
    // The entry's type (qxdtUnknown when it has none); 0-based index.
    TQxDataType DataTypes(int index) const;
    // Sets the entry's type, creating its type object when missing.
    void SetDataTypes(int index, TQxDataType t);

    // The entry's name (empty when it has no "="), without making a
    // pending value.
    std::string_view EntryName(int index) const;
    // Makes the entry a number (`rounded` being what its text reads back
    // as) whose text is written only when something reads the entry. Only
    // for entries that have their type object.
    void SetPendingNumber(int index, double number, double rounded);
    bool NumberPending(int index) const { return ValuePending(index); }
    // The bytes an entry counts against the report's variable limits: a
    // text its whole entry, any other value (a few bytes, a number's text
    // perhaps not made yet) its name and "=".
    std::size_t CountedSize(int index) const {
        return DataTypes(index) == qxdtString ? Strings(index).size() : EntryName(index).size() + 1;
    }

  protected:
    void MakeValue(int index, std::string& line) const override;
};

// Integers up to this size convert to a double and back unchanged, so a
// variable keeps them as numbers.
inline constexpr std::int64_t kExactIntegerLimit = std::int64_t{1} << 53;

// The number form: the general float text with "." as decimal separator.
std::string FloatToVarStr(double value, const TFormatSettings& fs);
// The boolean form: the report's texts, or "True"/"False" when they are
// equal (so that the two values stay apart).
std::string BoolToVarStr(bool value, const std::string& trueText, const std::string& falseText);
// Variable strings of dates and date-times.
std::string DateToVarStr(TDateTime date);
std::string DateTimeToVarStr(TDateTime dateTime);
// Raise qx::Exception (text + " is not a valid date value") for a text of
// fewer than 12 characters, EConvertError for non-numeric or impossible parts.
TDateTime VarStrToDate(const std::string& s);
// As VarStrToDate; the time is read when the text is the 25-character form,
// midnight otherwise.
TDateTime VarStrToDateTime(const std::string& s);

class TQxReportVariable : public TObject {
  public:
    // A variable without an owner report is local; one with an owner reads
    // and writes the report's variable list until SetLocal(true).
    explicit TQxReportVariable(TQxBaseReport* VarOwner);

    bool Local() const { return FLocal; }
    // A change clears the local value and type.
    void SetLocal(bool value);
    // As newly made for the same owner: no name, not local, no value, the
    // owner's settings. The evaluator reuses its variables this way.
    void Renew();
    const std::string& Name() const { return FVarName; }
    // Re-targets the accessor; no lookup happens here.
    void SetVarName(const std::string& VarName) { FVarName = VarName; }
    // Renames the report variable (the accessor follows the new name).
    void ChangeVarName(const std::string& NewVarName);

    // Reads give the value in the accessor's locale; writes store the
    // variable string and set the type.
    std::string AsString() const;
    void SetAsString(const std::string& value);
    double AsFloat() const;
    void SetAsFloat(double value);
    std::int64_t AsInteger() const;
    void SetAsInteger(std::int64_t value);
    // A whole number of any size, given as its digits (an optional "-"
    // first): kept as that text, so that every digit is written.
    void SetAsIntegerText(const std::string& digits);
    // Of a number held as the digits of a whole number longer than a double
    // keeps exactly (a local value or a report variable's), those digits;
    // empty for any other value. A copy of the value through them keeps
    // every digit. The view lasts until the value changes.
    std::string_view IntegerText() const;
    TDateTime AsDate() const;
    void SetAsDate(TDateTime value);
    TDateTime AsDateTime() const;
    void SetAsDateTime(TDateTime value);
    bool AsBoolean() const;
    void SetAsBoolean(bool value);
    // A local number kept as a number (set from a number whose text reads
    // back as itself): AsFloat gives it without going through text.
    bool HoldsNumber() const { return FLocal && FHasLocalNumber; }
    // The bytes of a local value's text as held (0 for a number whose text
    // is not made yet: it is short).
    std::size_t LocalTextSize() const { return FLocal ? FLocalValue.size() : 0; }
    TQxDataType DataType() const;
    void SetDataType(TQxDataType value);
    std::string DataTypeText() const { return DataTypeToText(DataType()); }
    std::int32_t DataTypeNumber() const { return DataTypeToNumber(DataType()); }

    const TFormatSettings& FmtSett() const { return *FFmtSett; }
    void SetFmtSett(const TFormatSettings& fs);

  private:
    // The list entry's type object, where the number cache lives.
    TQxVarListObject* EntryObject(std::int32_t n) const;
    // The entry number of a report variable; EIOError "<label>: report
    // variable not found: <name>" when there is none.
    std::int32_t FindVar(const char* label) const;
    std::string ReadText() const;
    void WriteText(const std::string& text, TQxDataType type);
    // Writes list entry `n` (1-based) of the owner report's variables.
    void WriteEntry(std::int32_t n, const std::string& text, TQxDataType type);
    const std::string& TrueText() const;
    const std::string& FalseText() const;

    // Keeps a local number as a number when its text reads back as exactly
    // that number, so that the evaluator's next step skips the round trip
    // through text; the text is made only when something reads it.
    bool KeepLocalNumber(double value, bool integral);
    void DropLocalNumber() {
        FHasLocalNumber = false;
        FLocalTextPending = false;
    }

    TQxBaseReport* FOwnerBaseReport;
    std::string FVarName;
    bool FLocal;
    mutable std::string FLocalValue;
    TQxDataType FLocalType = qxdtUnknown;
    double FLocalNumber = 0;
    bool FHasLocalNumber = false;
    bool FLocalNumberIntegral = false;  // its text is the integer form
    mutable bool FLocalTextPending = false;
    // The settings values are read and written with: the owner report's own,
    // referred to rather than copied (the evaluator makes a variable per
    // value), unless SetFmtSett gave this variable settings of its own.
    const TFormatSettings* FFmtSett;
    std::shared_ptr<const TFormatSettings> FOwnFmtSett;
};

}  // namespace qx
