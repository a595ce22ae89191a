// The built-in functions: one handler per function, in one file per family,
// found through a table indexed by the function's id (-1 to -68).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "qxbasereport/variables.h"
#include "qxfunc/udf_list.h"

namespace qx {

class TQxRTF;

// One call of a built-in: the evaluated arguments in written order (for an
// operator the right operand first), the result holder (none for functions
// without a result) and the expression text for messages.
struct TQxBuiltinCall {
    TQxRTF& report;
    const TQxUDFArgs& args;
    TObject* result;
    std::string& expr;

    TQxReportVariable* Result() const { return dynamic_cast<TQxReportVariable*>(result); }
    std::size_t Count() const { return args.size(); }
    TObject* Arg(std::size_t i) const { return i < args.size() ? args[i] : nullptr; }
};

using TQxBuiltinHandler = void (*)(TQxBuiltinCall& call);
inline constexpr int kQxBuiltinSlots = 68;
using TQxBuiltinTable = std::array<TQxBuiltinHandler, kQxBuiltinSlots>;

inline void SetBuiltin(TQxBuiltinTable& table, std::int32_t id, TQxBuiltinHandler handler) {
    table[static_cast<std::size_t>(-id - 1)] = handler;
}

// Each family adds its handlers.
void RegisterOperatorBuiltins(TQxBuiltinTable& table);
void RegisterControlBuiltins(TQxBuiltinTable& table);
// The table of every family, built once; an empty slot does nothing.
const TQxBuiltinTable& BuiltinTable();

// ---- operands shared by the families ----------------------------------------

// A dataset field or a report variable: something with a value.
bool IsOperand(const TObject* arg);
// A field's type through FieldType2VarType, a variable's DataType; anything
// else has no type (qxdtUnknown).
TQxDataType OperandType(const TObject* arg);
// A fresh local variable of the report holding a copy of the argument's
// value with the given type.
TQxReportVariable CopyOperand(TQxRTF& report, const TObject* arg, TQxDataType type);
// A named report variable: not local, name not blank.
bool IsNamedVariable(const TObject* arg);

}  // namespace qx
