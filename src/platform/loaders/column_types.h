// What the file and database loaders share: their error form, the names of
// field types a user may give, and reading a column's type from its values
// when the source declares none.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/value_field.h"

namespace qx {

// Every loader error reads "Dataset NAME: " and the reason, which names the
// file and the place in it.
[[noreturn]] void FailDataSet(const std::string& dataSetName, const std::string& why);

// The field of `master` that a detail query's parameter ":MASTER_FIELD"
// names; raises EDatabaseError naming the detail `dataSetName` when it
// names none.
TField* MasterFieldOfParameter(const std::string& dataSetName, TDataSet& master,
                               const std::string& param);

// Field types given by the user, by field name (case-insensitive).
using TColumnTypes = std::vector<std::pair<std::string, TFieldType>>;
// The type given for `fieldName`, or ftUnknown.
TFieldType GivenType(const TColumnTypes& types, const std::string& fieldName);

// "string" -> ftString, ...; false for an unknown name.
bool FieldTypeFromName(const std::string& typeName, TFieldType& type);
// The names FieldTypeFromName knows, for help texts: "string, memo, ...".
std::string FieldTypeNames();

bool IsDateTimeType(TFieldType type);
// Types whose values are text or bytes as read (ValueFromText keeps them).
bool IsTextType(TFieldType type);

// A strict ISO-8601 date or date-time: yyyy-mm-dd, optionally followed by
// "T" or a blank and hh:mm, hh:mm:ss or hh:mm:ss.fff, then optionally "Z" or
// an offset (+hh:mm), which is read past: the wall time as written is kept.
// With `timeOnly` allowed, hh:mm[:ss] alone is a time of day.
struct TIsoValue {
    TDateTime value = 0;
    bool hasDate = false;
    bool hasTime = false;
};
bool ParseIso(std::string_view text, TIsoValue& out, bool timeOnly = false);

// A date, time or date-time as ISO text for a database ("yyyy-mm-dd",
// "hh:mm:ss", "yyyy-mm-dd hh:mm:ss"), by the type of its field; with
// `milliseconds`, ".fff" follows the seconds when they have a fraction.
std::string IsoText(TFieldType type, TDateTime value, bool milliseconds = false);

// Decides a column's type from the text of its non-empty values: integer
// (within 64 bits, no leading zero), float, boolean (true/false), date,
// date-time, else string.
class TTextTypeGuess {
  public:
    void See(std::string_view text);
    // Takes in what `other` saw, as if its values had been seen here too.
    void Merge(const TTextTypeGuess& other);
    TFieldType Type() const;

  private:
    bool FSeen = false;
    bool FInteger = true;
    bool FFloat = true;
    bool FBoolean = true;
    bool FDate = true;       // every value an ISO date or date-time
    bool FWithTime = false;  // some value has a time of day
};

// Reads `text` as a value of `type` ("." is the decimal separator, dates
// are ISO). False when the text is not one.
bool ValueFromText(std::string_view text, TFieldType type, TFieldValue& out);

// `out` becomes `text`, in the string it already holds if it holds one:
// a record's values are read into the storage of an earlier record's.
void AssignText(TFieldValue& out, std::string_view text);

}  // namespace qx
