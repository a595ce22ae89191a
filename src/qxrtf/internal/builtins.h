// The built-in functions: one handler per function, in one file per family,
// found through a table indexed by the function's id (-1 to -68).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <typeinfo>

#include "conscom/internal/tables.h"
#include "platform/value_field.h"
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
    // Writes a String result; a call without a result holder drops it.
    void ReturnString(const std::string& value) const {
        if (TQxReportVariable* r = Result()) r->SetAsString(value);
    }
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
void RegisterStringBuiltins(TQxBuiltinTable& table);
void RegisterNumberBuiltins(TQxBuiltinTable& table);
void RegisterDateBuiltins(TQxBuiltinTable& table);
// The table of every family, built once; an empty slot does nothing.
const TQxBuiltinTable& BuiltinTable();

// ---- operands shared by the families ----------------------------------------

// What an argument is, asked several times per value: the exact types the
// engine itself makes (Exact, Other) are told apart without a walk of the
// class hierarchy; anything else takes the dynamic cast to Wanted. The type
// records are compared by address, without the name comparison that a
// mismatch costs: where one type has two records (across shared objects)
// the dynamic cast still gives the right answer, Other being no Wanted.
template <typename Wanted, typename Exact, typename Other>
const Wanted* ArgOfKind(const TObject* arg) {
    if (arg == nullptr) return nullptr;
    const std::type_info& type = typeid(*arg);
    if (&type == &typeid(Exact)) return static_cast<const Exact*>(arg);
    if (&type == &typeid(Other)) return nullptr;
    return dynamic_cast<const Wanted*>(arg);
}
inline const TQxReportVariable* ArgVariable(const TObject* arg) {
    return ArgOfKind<TQxReportVariable, TQxReportVariable, TValueField>(arg);
}
inline TQxReportVariable* ArgVariable(TObject* arg) {
    return const_cast<TQxReportVariable*>(ArgVariable(static_cast<const TObject*>(arg)));
}
inline const TField* ArgField(const TObject* arg) {
    return ArgOfKind<TField, TValueField, TQxReportVariable>(arg);
}

// A dataset field or a report variable: something with a value.
bool IsOperand(const TObject* arg);
// A field's type through FieldType2VarType, a variable's DataType; anything
// else has no type (qxdtUnknown).
TQxDataType OperandType(const TObject* arg);
// A fresh local variable of the report holding a copy of the argument's
// value with the given type.
TQxReportVariable CopyOperand(TQxRTF& report, const TObject* arg, TQxDataType type);
// What CopyOperand(..., qxdtNumber).AsFloat() gives, without making the
// copy; false where only the copy's text would tell (the caller then makes
// the copy).
bool CopiedNumber(const TQxRTF& report, const TObject* arg, double& value);
// A named report variable: not local, name not blank.
bool IsNamedVariable(const TObject* arg);

// The two messages of one argument check, each followed by the expression:
// the argument is no field or report variable (or of no known type), or it
// is not of its type.
struct TQxArgMessages {
    const char* unknown;
    const char* wrongType;
};
// Checks argument i (kind first, then type) and answers nothing; raises
// the platform's base exception with the matching message.
void RequireArg(const TQxBuiltinCall& call, std::size_t i, TQxDataType type,
                const TQxArgMessages& messages);
// Argument i copied as a value of `type` (after RequireArg).
TQxReportVariable ArgValue(const TQxBuiltinCall& call, std::size_t i, TQxDataType type);
// The integer an argument copy holds, through its 64-bit integer view (a
// Number with a fraction fails there), held to the 32-bit range.
std::int32_t IntValue(const TQxReportVariable& copy);

}  // namespace qx
