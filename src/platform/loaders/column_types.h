// What the file and database loaders share: their error form, the names of
// field types a user may give, and reading a column's type from its values
// when the source declares none.
#pragma once

#include <cstdint>
#include <functional>
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

// How the loaders read the columns whose type is not given.
struct TGuessOptions {
    // Numbers may also be written with this decimal separator, the
    // locale's ("249,00" under a German locale); "." is always one.
    char decimalSeparator = '.';
    // Told of each column read as text because a few of its values do not
    // fit the type the others have, with the file and the warning text.
    std::function<void(const std::string& file, const std::string& message)> warn;
};

// How many values of a column fit each type a column may be guessed to
// have, and the first that does not, so that a column given up as text
// because of a few odd values can say which.
class TTypeVotes {
  public:
    enum TKind { vkNumber, vkBoolean, vkDate };
    // Whether a vote for `kind` can still matter: once too many values do
    // not fit it, the column is no column of that type with a few odd
    // values, and its values need not be tried any more.
    bool Wants(TKind kind) const { return FCounts[kind].misfits <= kMaxMisfits; }
    void Fit(TKind kind) { ++FCounts[kind].fits; }
    // A value at `place` (a record or line number) that does not fit
    // `kind`; `shown` is the value as the warning quotes it.
    void Misfit(TKind kind, std::int64_t place, std::string_view shown);
    // Takes in the votes of values seen elsewhere, whose places count from
    // `placeBase` + 1.
    void Merge(const TTypeVotes& other, std::int64_t placeBase);
    // For a column read as text: "PLACE_WORD N, field F: VALUE is not a
    // number; the column is read as text" when most of its values (and no
    // more than 1000 besides) fit one type; empty otherwise.
    std::string GivenUpWarning(const std::string& placeWord, const std::string& field) const;

  private:
    static constexpr std::int64_t kMaxMisfits = 1000;
    struct TCount {
        std::int64_t fits = 0;
        std::int64_t misfits = 0;
        std::int64_t firstMisfit = 0;  // its place
        std::string shown;
    };
    TCount FCounts[3];
};

// Decides a column's type from the text of its non-empty values: integer
// (any number of digits, no leading zero), float, boolean (true/false), date,
// date-time, else string.
class TTextTypeGuess {
  public:
    explicit TTextTypeGuess(char decimalSeparator = '.') : FDecimalSeparator(decimalSeparator) {}
    // `place`: the record or line the value is in.
    void See(std::string_view text, std::int64_t place = 0);
    // Takes in what `other` saw, as if its values had been seen here too;
    // its places count from `placeBase` + 1.
    void Merge(const TTextTypeGuess& other, std::int64_t placeBase = 0);
    TFieldType Type() const;
    const TTypeVotes& Votes() const { return FVotes; }

  private:
    char FDecimalSeparator;
    bool FSeen = false;
    bool FInteger = true;
    bool FFloat = true;
    bool FBoolean = true;
    bool FDate = true;       // every value an ISO date or date-time
    bool FWithTime = false;  // some value has a time of day
    TTypeVotes FVotes;
};

// True when `text` is a number: "." or `decimalSeparator` before the
// fraction, no leading zero, no "inf" or "nan".
bool ParseNumber(std::string_view text, double& out, char decimalSeparator = '.');

// Reads `text` as a value of `type` ("." or `decimalSeparator` is the
// decimal separator, dates are ISO). False when the text is not one.
bool ValueFromText(std::string_view text, TFieldType type, TFieldValue& out,
                   char decimalSeparator = '.');

// `out` becomes `text`, in the string it already holds if it holds one:
// a record's values are read into the storage of an earlier record's.
void AssignText(TFieldValue& out, std::string_view text);

}  // namespace qx
