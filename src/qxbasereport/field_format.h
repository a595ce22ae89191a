// A report field as the compile pass describes it: its format wrapper, its
// content class and what it writes, and where it stands in the template.
// The run pass and the template check read these; the record layout they
// are stored in stays internal.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qx {

// The content class of a field, stored in one byte.
enum TQxRcTypes : std::uint8_t { rcdata = 0, rcsimple = 1, rcnottext = 2 };

// The format function wrapped around a field.
struct TQxFieldFormat {
    std::int32_t fmtnumber = 0;
    std::int32_t precision = 0;
    std::int32_t decimals = 0;
    bool operator==(const TQxFieldFormat&) const = default;
};

// One field as the command stream describes it.
struct TQxRowContent {
    std::string stestf;        // source text with delimiters, written back when unfilled
    std::string Dalias;        // dataset alias (upper case), empty for non-dataset fields
    std::string Field;         // field, variable or expression text
    std::string sout;          // markup to write after (or instead of) the value
    std::int32_t NField = -1;  // index in the dataset once resolved; function number for ExprBegin
    TQxFieldFormat fmt;
    TQxRcTypes ftype = rcdata;
    TQxRcTypes DefinedType = rcdata;
    bool Defined = false;
    bool operator==(const TQxRowContent&) const = default;
};

// One report field of the compiled template, in the side table that maps
// records back to the template.
struct TQxFieldSpan {
    std::int32_t cmBegin = 0;  // stream offset of the field's first record
    std::int32_t cmEnd = 0;    // stream offset just after its last record
    std::int32_t kwdPnt = 0;   // 1-based template position of its opening delimiter
    std::int32_t endPnt = 0;   // 1-based template position just after its closing one
    std::string text;          // the field text as typed, markup removed
    // The code page its values are written in when the font at the field
    // has a character set of another code page than the run's; 0: the run's.
    std::int32_t valueCodePage = 0;
};

// The span whose records include stream offset `offset`, or nullptr.
// `spans` is in stream order.
const TQxFieldSpan* FindFieldSpan(const std::vector<TQxFieldSpan>& spans, std::int64_t offset);

}  // namespace qx
