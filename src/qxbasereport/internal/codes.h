// One set of names for the codes the compiler, the compile pass and the
// command stream share. They are one number space on purpose: a field the
// compile pass classifies as a variable, a constant or a dataset field
// becomes a Field record whose kind is that class, and a block command
// becomes the record of the same code.
#pragma once

#include <cstdint>

namespace qx::CmKind {

// Record kinds (the layout of each is documented in command_stream.h).
inline constexpr std::int32_t Begin = -9999;
inline constexpr std::int32_t End = -10000;
inline constexpr std::int32_t Bloc = -5;
inline constexpr std::int32_t BalancedBloc = -10;
inline constexpr std::int32_t TableBegin = -6;
inline constexpr std::int32_t TableEnd = -7;
inline constexpr std::int32_t Raw = -16;
inline constexpr std::int32_t FontTable = -17;
inline constexpr std::int32_t ColorTable = -18;
inline constexpr std::int32_t StyleSheet = -19;
inline constexpr std::int32_t DocInfo = -20;
inline constexpr std::int32_t Scan = -3;
inline constexpr std::int32_t ScanWhile = -21;
inline constexpr std::int32_t ScanEntry = -11;
inline constexpr std::int32_t ScanFooter = -12;
inline constexpr std::int32_t EndScan = -4;
inline constexpr std::int32_t EndIf = -24;
inline constexpr std::int32_t If = -23;
inline constexpr std::int32_t ScanSkip = -22;
inline constexpr std::int32_t ScanFirst = -26;
inline constexpr std::int32_t ExprBegin = -13;
inline constexpr std::int32_t ExprEnd = -14;
inline constexpr std::int32_t ExecuteUDF = -15;

// Field classes: what the expression reader finds at the start of a text
// and what the compile pass makes of a field text. The simple ones are the
// kinds of the Field records such fields become.
inline constexpr std::int32_t Variable = 0;  // variable or field name, or a ":=" target
inline constexpr std::int32_t Call = 1;      // name(arguments)
inline constexpr std::int32_t Number = 2;
inline constexpr std::int32_t String = 3;       // quotes included
inline constexpr std::int32_t Boolean = 4;      // TRUE or FALSE
inline constexpr std::int32_t Date = 5;         // {yyyy-mm-dd}
inline constexpr std::int32_t DotField = -1;    // alias.field
inline constexpr std::int32_t ColonField = -2;  // alias:field
// An expression (starts with "(", "-", "+" or "!"): compiled to ExprBegin.
inline constexpr std::int32_t Expression = ExprBegin;
// Nothing the reader knows; shares Bloc's number, which no field text gets.
inline constexpr std::int32_t NotAField = Bloc;
// Block commands that write no record of their own code.
inline constexpr std::int32_t Else = -25;
inline constexpr std::int32_t ElsIf = -27;

}  // namespace qx::CmKind
