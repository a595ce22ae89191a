// The vocabulary of the report language: built-in functions, operators,
// format functions, result kinds, language identifiers and which block
// command may follow which open block. All of it is constant data shared by
// the compiler, the compile pass, the evaluator and the field output.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

#include "qxfunc/result_types.h"

namespace qx {

// One row of an identifier map: a value and its name.
struct TIdentMapEntry {
    std::int32_t Value;
    std::string_view Name;
};

// Name to value and value to name over an identifier map; false when absent.
bool IdentToInt(std::string_view name, std::int32_t& value, std::span<const TIdentMapEntry> map);
bool IntToIdent(std::int32_t value, std::string_view& name, std::span<const TIdentMapEntry> map);

// One built-in function: ids are negative, the row for id n is row -n-1.
struct TQXBaseFunctionIDs {
    std::int32_t id;
    std::string_view name;
    std::int32_t argmin;
    std::int32_t argmax;
    TQxUDFResultType ResultType;
};

// One format function. `floatformat` is the float format number used when
// `isfloat` holds: 0 general, 1 exponent, 2 fixed, 3 number, 4 currency.
struct TQxBaseFormatIDs {
    std::int32_t id;
    std::string_view name;
    std::int32_t argmin;
    std::int32_t argmax;
    TQxUDFResultTypes argtype;
    bool isfloat;
    std::uint8_t floatformat;
};

inline constexpr int kQxBaseFunctionCount = 68;
inline constexpr int kQxOperatorCount = 19;
inline constexpr int kQxBaseFormatCount = 12;
inline constexpr int kQxLanguageCount = 173;

extern const std::array<TQXBaseFunctionIDs, kQxBaseFunctionCount> QxBaseFunctionsArr;
// Operator symbol to number, and number to the system function it calls.
extern const std::array<TIdentMapEntry, kQxOperatorCount> QxMathIDs;
extern const std::array<TIdentMapEntry, kQxOperatorCount> QxSysIDs;
extern const std::array<TIdentMapEntry, 4> QxUDFResultTypeIDs;
extern const std::array<TQxBaseFormatIDs, kQxBaseFormatCount> QxBaseFormatsArr;
extern const std::array<TIdentMapEntry, kQxLanguageCount> QxLanguageIDs;

// Block kinds (rows) against the command that follows (columns).
enum TQxLangCommand : int {
    lcScan,
    lcScanEntry,
    lcScanFooter,
    lcEndScan,
    lcIf,
    lcElse,
    lcEndIf,
    lcElsIf
};
extern const std::array<std::array<bool, 8>, 8> QxBaseLangControl;

// Ids of the built-ins that other code names directly.
namespace QxFn {
inline constexpr std::int32_t Sum = -1;
inline constexpr std::int32_t Ctn = -2;
inline constexpr std::int32_t Cts = -3;
inline constexpr std::int32_t Var = -4;
// The operator functions infix operators compile to.
inline constexpr std::int32_t SysAnd = -5;
inline constexpr std::int32_t SysOr = -6;
inline constexpr std::int32_t SysLtEq = -7;
inline constexpr std::int32_t SysGtEq = -8;
inline constexpr std::int32_t SysNotEq = -9;
inline constexpr std::int32_t SysUMinus = -10;
inline constexpr std::int32_t SysUPlus = -11;
inline constexpr std::int32_t SysNot = -12;
inline constexpr std::int32_t SysMult = -13;
inline constexpr std::int32_t SysDiv = -14;
inline constexpr std::int32_t SysPercent = -15;
inline constexpr std::int32_t SysAdd = -16;
inline constexpr std::int32_t SysSub = -17;
inline constexpr std::int32_t SysGt = -18;
inline constexpr std::int32_t SysLt = -19;
inline constexpr std::int32_t SysEq = -23;
inline constexpr std::int32_t If = -20;
inline constexpr std::int32_t While = -21;
inline constexpr std::int32_t Brackets = -22;
inline constexpr std::int32_t Set = -24;
inline constexpr std::int32_t Iif = -62;
inline constexpr std::int32_t ElsIf = -63;
inline constexpr std::int32_t SysLet = -65;
inline constexpr std::int32_t SysIifTest = -66;
inline constexpr std::int32_t SysIifTrue = -67;
inline constexpr std::int32_t SysIifFalse = -68;
}  // namespace QxFn

// Format numbers (`fmtnumber`).
namespace QxFmt {
inline constexpr std::int32_t NoFormat = 0;
inline constexpr std::int32_t FExp = 1;
inline constexpr std::int32_t FFix = 2;
inline constexpr std::int32_t FNum = 3;
inline constexpr std::int32_t FCur = 4;
inline constexpr std::int32_t FImg = 5;
inline constexpr std::int32_t FLnk = 6;
inline constexpr std::int32_t FFixR = 7;
inline constexpr std::int32_t FNumR = 8;
inline constexpr std::int32_t FDtm = 9;
inline constexpr std::int32_t FBool = 10;
inline constexpr std::int32_t FRtf = 11;
}  // namespace QxFmt

// The built-in row holding `id`, or nullptr.
const TQXBaseFunctionIDs* FindBaseFunction(std::int32_t id);
// The first built-in row whose name equals `upperName` exactly, or nullptr.
const TQXBaseFunctionIDs* FindBaseFunctionByName(std::string_view upperName);
// The system function name an operator symbol is rewritten to ("" if none).
std::string_view OperatorFunctionName(std::string_view symbol);

}  // namespace qx
