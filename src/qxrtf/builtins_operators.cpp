// The operator functions that infix operators compile to. Arguments come
// right operand first: element 0 is the right side, element 1 the left.
#include <cmath>

#include "conscom/exceptions.h"
#include "conscom/tables.h"
#include "qxrtf/builtins.h"
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
    {-5, "\"&&\"", OpKind::Logic},          {-6, "\"||\"", OpKind::Logic},
    {-7, "\"<=\"", OpKind::Compare},        {-8, "\">=\"", OpKind::Compare},
    {-9, "\"not equal\"", OpKind::Compare}, {-10, "unary \"-\"", OpKind::Unary},
    {-11, "unary \"+\"", OpKind::Unary},    {-12, "not \"!\"", OpKind::Unary},
    {-13, "\"*\"", OpKind::Arith},          {-14, "\"/\"", OpKind::Arith},
    {-15, "\"%\"", OpKind::Arith},          {-16, "\"+\"", OpKind::Arith},
    {-17, "\"-\"", OpKind::Arith},          {-18, "\">\"", OpKind::Compare},
    {-19, "\"<\"", OpKind::Compare},        {-23, "\"=\"", OpKind::Compare},
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
        case -5:
        case -6:
            return l == qxdtBoolean && r == qxdtBoolean;
        case -16:
            if (l == qxdtString && r == qxdtString) return true;
            [[fallthrough]];
        case -17:
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

void BinaryOperator(TQxBuiltinCall& call, std::int32_t id) {
    const OperatorRow& row = RowOf(id);
    TQxDataType l = qxdtUnknown, r = qxdtUnknown;
    CheckBinary(call, row, l, r);
    const TQxReportVariable right = CopyOperand(call.report, call.Arg(0), r);
    if ((id == -14 || id == -15) && right.AsFloat() == 0)
        throw Exception(std::string("Division by zero. Operation ") + row.operation +
                        ", expression " + call.expr);
    const TQxReportVariable left = CopyOperand(call.report, call.Arg(1), l);
    TQxReportVariable* result = call.Result();
    if (result == nullptr) return;
    if (row.kind == OpKind::Compare) {
        const int c = Compare(left, right, l);
        bool value = false;
        switch (id) {
            case -23:
                value = c == 0;
                break;
            case -9:
                value = c != 0;
                break;
            case -19:
                value = c < 0;
                break;
            case -18:
                value = c > 0;
                break;
            case -7:
                value = c <= 0;
                break;
            default:
                value = c >= 0;
                break;  // -8
        }
        result->SetAsBoolean(value);
        return;
    }
    switch (id) {
        case -5:
            result->SetAsBoolean(left.AsBoolean() && right.AsBoolean());
            return;
        case -6:
            result->SetAsBoolean(left.AsBoolean() || right.AsBoolean());
            return;
        case -13:
            result->SetAsFloat(left.AsFloat() * right.AsFloat());
            return;
        case -14:
            result->SetAsFloat(left.AsFloat() / right.AsFloat());
            return;
        case -15:
            result->SetAsFloat(std::fmod(left.AsFloat(), right.AsFloat()));
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
    const double value = id == -16 ? a + b : a - b;
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
    const TQxDataType wanted = Id == -12 ? qxdtBoolean : qxdtNumber;
    if (t != wanted) Mismatch(row, call.expr);
    const TQxReportVariable v = CopyOperand(call.report, call.Arg(0), t);
    TQxReportVariable* result = call.Result();
    if (result == nullptr) return;
    if (Id == -12)
        result->SetAsBoolean(!v.AsBoolean());
    else
        result->SetAsFloat(Id == -10 ? -v.AsFloat() : v.AsFloat());
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
    SetBuiltin(table, -5, Binary<-5>);
    SetBuiltin(table, -6, Binary<-6>);
    SetBuiltin(table, -7, Binary<-7>);
    SetBuiltin(table, -8, Binary<-8>);
    SetBuiltin(table, -9, Binary<-9>);
    SetBuiltin(table, -10, Unary<-10>);
    SetBuiltin(table, -11, Unary<-11>);
    SetBuiltin(table, -12, Unary<-12>);
    SetBuiltin(table, -13, Binary<-13>);
    SetBuiltin(table, -14, Binary<-14>);
    SetBuiltin(table, -15, Binary<-15>);
    SetBuiltin(table, -16, Binary<-16>);
    SetBuiltin(table, -17, Binary<-17>);
    SetBuiltin(table, -18, Binary<-18>);
    SetBuiltin(table, -19, Binary<-19>);
    SetBuiltin(table, -23, Binary<-23>);
    SetBuiltin(table, QxFn::SysLet, Let);
}

}  // namespace qx
