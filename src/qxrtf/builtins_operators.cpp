// The operator functions that infix operators compile to. Arguments come
// right operand first: element 0 is the right side, element 1 the left.
#include <cmath>

#include "conscom/exceptions.h"
#include "conscom/internal/tables.h"
#include "qxrtf/internal/builtins.h"
#include "qxrtf/qxrtf.h"

namespace qx {

namespace {

enum class OpKind { Logic, Arith, Compare, Unary };

struct OperatorRow {
    std::int32_t id;
    const char* operation;  // as the messages name it
    OpKind kind;
};

constexpr OperatorRow kOperators[] = {
    {QxFn::SysAnd, "\"&&\"", OpKind::Logic},
    {QxFn::SysOr, "\"||\"", OpKind::Logic},
    {QxFn::SysLtEq, "\"<=\"", OpKind::Compare},
    {QxFn::SysGtEq, "\">=\"", OpKind::Compare},
    {QxFn::SysNotEq, "\"not equal\"", OpKind::Compare},
    {QxFn::SysUMinus, "unary \"-\"", OpKind::Unary},
    {QxFn::SysUPlus, "unary \"+\"", OpKind::Unary},
    {QxFn::SysNot, "not \"!\"", OpKind::Unary},
    {QxFn::SysMult, "\"*\"", OpKind::Arith},
    {QxFn::SysDiv, "\"/\"", OpKind::Arith},
    {QxFn::SysPercent, "\"%\"", OpKind::Arith},
    {QxFn::SysAdd, "\"+\"", OpKind::Arith},
    {QxFn::SysSub, "\"-\"", OpKind::Arith},
    {QxFn::SysGt, "\">\"", OpKind::Compare},
    {QxFn::SysLt, "\"<\"", OpKind::Compare},
    {QxFn::SysEq, "\"=\"", OpKind::Compare},
};

const OperatorRow& RowOf(std::int32_t id) {
    for (const OperatorRow& row : kOperators)
        if (row.id == id) return row;
    return kOperators[0];
}

[[noreturn]] void TypeUnknown(const OperatorRow& row, const std::string& expr) {
    throw Exception(std::string("Operand type unknown. Operation ") + row.operation +
                    ", expression " + expr);
}

[[noreturn]] void Mismatch(const OperatorRow& row, const std::string& expr) {
    throw Exception(std::string("Operator/operand type mismatch. Operation ") + row.operation +
                    ", expression " + expr);
}

bool IsDateOrNumber(TQxDataType t) {
    return t == qxdtNumber || t == qxdtDateTime;
}

// Whether the arithmetic or logic operator accepts (left, right).
bool Allowed(std::int32_t id, TQxDataType l, TQxDataType r) {
    switch (id) {
        case QxFn::SysAnd:
        case QxFn::SysOr:
            return l == qxdtBoolean && r == qxdtBoolean;
        case QxFn::SysAdd:
            if (l == qxdtString && r == qxdtString) return true;
            [[fallthrough]];
        case QxFn::SysSub:
            return (l == qxdtNumber && r == qxdtNumber) ||
                   (IsDateOrNumber(l) && IsDateOrNumber(r) &&
                    (l == qxdtDateTime || r == qxdtDateTime));
        default:  // * / %
            return l == qxdtNumber && r == qxdtNumber;
    }
}

// Checks the kinds, then the types, in the order each group fixes.
void CheckBinary(const TQxBuiltinCall& call, const OperatorRow& row, TQxDataType& l,
                 TQxDataType& r) {
    if (!IsOperand(call.Arg(0)) || !IsOperand(call.Arg(1))) TypeUnknown(row, call.expr);
    r = OperandType(call.Arg(0));
    l = OperandType(call.Arg(1));
    if (row.kind == OpKind::Compare) {
        if (l != r) Mismatch(row, call.expr);
        if (l == qxdtUnknown) TypeUnknown(row, call.expr);
        return;
    }
    if (l == qxdtUnknown || r == qxdtUnknown) TypeUnknown(row, call.expr);
    if (!Allowed(row.id, l, r)) Mismatch(row, call.expr);
}

// -1, 0 or 1 for left against right of one type.
int Compare(const TQxReportVariable& left, const TQxReportVariable& right, TQxDataType type) {
    const auto order = [](auto a, auto b) { return a < b ? -1 : (b < a ? 1 : 0); };
    switch (type) {
        case qxdtString:
            // UTF-8 byte order is code point order; case counts.
            return order(left.AsString(), right.AsString());
        case qxdtBoolean:
            return order(left.AsBoolean(), right.AsBoolean());
        case qxdtDateTime:
            return order(left.AsDateTime(), right.AsDateTime());
        default:
            return order(left.AsFloat(), right.AsFloat());
    }
}

// Whether a comparison that came out as c (-1, 0, 1) holds.
bool ComparisonHolds(std::int32_t id, int c) {
    switch (id) {
        case QxFn::SysEq:
            return c == 0;
        case QxFn::SysNotEq:
            return c != 0;
        case QxFn::SysLt:
            return c < 0;
        case QxFn::SysGt:
            return c > 0;
        case QxFn::SysLtEq:
            return c <= 0;
        default:
            return c >= 0;  // SysGtEq
    }
}

// * / % + - of two numbers.
double Arithmetic(std::int32_t id, double a, double b) {
    switch (id) {
        case QxFn::SysMult:
            return a * b;
        case QxFn::SysDiv:
            return a / b;
        case QxFn::SysPercent:
            return std::fmod(a, b);
        case QxFn::SysAdd:
            return a + b;
        default:
            return a - b;  // SysSub
    }
}

bool IsDivision(std::int32_t id) {
    return id == QxFn::SysDiv || id == QxFn::SysPercent;
}

[[noreturn]] void DivisionByZero(const TQxBuiltinCall& call, const OperatorRow& row) {
    throw Exception(std::string("Division by zero. Operation ") + row.operation + ", expression " +
                    call.expr);
}

// Two numbers, read without copying them into variables when their values
// allow it (the common case in every record). False leaves the operation to
// the copies.
bool NumberOperator(TQxBuiltinCall& call, const OperatorRow& row, std::int32_t id) {
    double a = 0, b = 0;
    if (!CopiedNumber(call.report, call.Arg(0), b)) return false;
    if (IsDivision(id) && b == 0) DivisionByZero(call, row);
    if (!CopiedNumber(call.report, call.Arg(1), a)) return false;
    TQxReportVariable* result = call.Result();
    if (result == nullptr) return true;
    if (row.kind == OpKind::Compare)
        result->SetAsBoolean(ComparisonHolds(id, a < b ? -1 : (b < a ? 1 : 0)));
    else
        result->SetAsFloat(Arithmetic(id, a, b));
    return true;
}

void BinaryOperator(TQxBuiltinCall& call, std::int32_t id) {
    const OperatorRow& row = RowOf(id);
    TQxDataType l = qxdtUnknown, r = qxdtUnknown;
    CheckBinary(call, row, l, r);
    if (l == qxdtNumber && r == qxdtNumber && NumberOperator(call, row, id)) return;
    const TQxReportVariable right = CopyOperand(call.report, call.Arg(0), r);
    if (IsDivision(id) && right.AsFloat() == 0) DivisionByZero(call, row);
    const TQxReportVariable left = CopyOperand(call.report, call.Arg(1), l);
    TQxReportVariable* result = call.Result();
    if (result == nullptr) return;
    if (row.kind == OpKind::Compare) {
        result->SetAsBoolean(ComparisonHolds(id, Compare(left, right, l)));
        return;
    }
    switch (id) {
        case QxFn::SysAnd:
            result->SetAsBoolean(left.AsBoolean() && right.AsBoolean());
            return;
        case QxFn::SysOr:
            result->SetAsBoolean(left.AsBoolean() || right.AsBoolean());
            return;
        case QxFn::SysMult:
        case QxFn::SysDiv:
        case QxFn::SysPercent:
            result->SetAsFloat(Arithmetic(id, left.AsFloat(), right.AsFloat()));
            return;
        default:
            break;
    }
    // + and -: strings join; a date on either side makes a date-time.
    if (l == qxdtString) {
        result->SetAsString(left.AsString() + right.AsString());
        return;
    }
    const double a = l == qxdtDateTime ? left.AsDateTime() : left.AsFloat();
    const double b = r == qxdtDateTime ? right.AsDateTime() : right.AsFloat();
    const double value = Arithmetic(id, a, b);
    if (l == qxdtDateTime || r == qxdtDateTime)
        result->SetAsDateTime(value);
    else
        result->SetAsFloat(value);
}

template <std::int32_t Id>
void Binary(TQxBuiltinCall& call) {
    BinaryOperator(call, Id);
}

template <std::int32_t Id>
void Unary(TQxBuiltinCall& call) {
    const OperatorRow& row = RowOf(Id);
    if (!IsOperand(call.Arg(0))) TypeUnknown(row, call.expr);
    const TQxDataType t = OperandType(call.Arg(0));
    if (t == qxdtUnknown) TypeUnknown(row, call.expr);
    const TQxDataType wanted = Id == QxFn::SysNot ? qxdtBoolean : qxdtNumber;
    if (t != wanted) Mismatch(row, call.expr);
    const TQxReportVariable v = CopyOperand(call.report, call.Arg(0), t);
    TQxReportVariable* result = call.Result();
    if (result == nullptr) return;
    if (Id == QxFn::SysNot)
        result->SetAsBoolean(!v.AsBoolean());
    else if (Id == QxFn::SysUPlus)
        call.report.AssignTyped(*result, v, t);  // the value as it is, every digit kept
    else
        result->SetAsFloat(-v.AsFloat());
}

// x := value: element 1 is the target, element 0 the value.
void Let(TQxBuiltinCall& call) {
    const TObject* target = call.Arg(1);
    if (ArgVariable(target) == nullptr)
        throw EIllegalFunctionUse("Illegal expression: " + call.expr +
                                  " - variable expected as a left argument of operation \":=\"");
    if (!IsNamedVariable(target))
        throw EIllegalFunctionUse(
            "Illegal expression: " + call.expr +
            " - variable identifier expected as a left argument of operation \":=\"");
    const TQxDataType t = OperandType(call.Arg(0));
    if (!IsOperand(call.Arg(0)) || t == qxdtUnknown)
        throw Exception("Right argument type unknown. Operation \":=\", expression " + call.expr);
    const TQxReportVariable value = CopyOperand(call.report, call.Arg(0), t);
    call.report.AssignTyped(*static_cast<TQxReportVariable*>(call.args[1]), value, t);
}

}  // namespace

void TQxRTF::AssignTyped(TQxReportVariable& target, const TQxReportVariable& value,
                         TQxDataType type) {
    switch (type) {
        case qxdtString:
            target.SetAsString(value.AsString());
            break;
        case qxdtNumber:
            if (const std::string_view digits = value.IntegerText(); !digits.empty())
                target.SetAsIntegerText(std::string(digits));
            else
                target.SetAsFloat(value.AsFloat());
            break;
        case qxdtBoolean:
            target.SetAsBoolean(value.AsBoolean());
            break;
        case qxdtDateTime:
            target.SetAsDateTime(value.AsDateTime());
            break;
        default:
            break;
    }
}

void RegisterOperatorBuiltins(TQxBuiltinTable& table) {
    SetBuiltin(table, QxFn::SysAnd, Binary<QxFn::SysAnd>);
    SetBuiltin(table, QxFn::SysOr, Binary<QxFn::SysOr>);
    SetBuiltin(table, QxFn::SysLtEq, Binary<QxFn::SysLtEq>);
    SetBuiltin(table, QxFn::SysGtEq, Binary<QxFn::SysGtEq>);
    SetBuiltin(table, QxFn::SysNotEq, Binary<QxFn::SysNotEq>);
    SetBuiltin(table, QxFn::SysUMinus, Unary<QxFn::SysUMinus>);
    SetBuiltin(table, QxFn::SysUPlus, Unary<QxFn::SysUPlus>);
    SetBuiltin(table, QxFn::SysNot, Unary<QxFn::SysNot>);
    SetBuiltin(table, QxFn::SysMult, Binary<QxFn::SysMult>);
    SetBuiltin(table, QxFn::SysDiv, Binary<QxFn::SysDiv>);
    SetBuiltin(table, QxFn::SysPercent, Binary<QxFn::SysPercent>);
    SetBuiltin(table, QxFn::SysAdd, Binary<QxFn::SysAdd>);
    SetBuiltin(table, QxFn::SysSub, Binary<QxFn::SysSub>);
    SetBuiltin(table, QxFn::SysGt, Binary<QxFn::SysGt>);
    SetBuiltin(table, QxFn::SysLt, Binary<QxFn::SysLt>);
    SetBuiltin(table, QxFn::SysEq, Binary<QxFn::SysEq>);
    SetBuiltin(table, QxFn::SysLet, Let);
}

}  // namespace qx
