// Dataset, variable and control functions: EOF, BOF, NEXT, PRIOR, FIRST,
// LAST, SET, the conditions IF, WHILE and ELSIF, IIF with its test, the
// bracket pseudo-function and the aggregates SUM, CTN and CTS.
#include "conscom/exceptions.h"
#include "conscom/internal/tables.h"
#include "platform/internal/unicode.h"
#include "qxbasereport/internal/lang_text.h"
#include "qxrtf/internal/builtins.h"
#include "qxrtf/internal/field_values.h"
#include "qxrtf/qxrtf.h"

namespace qx {

namespace {

// ---- datasets ------------------------------------------------------------------

enum class Move { Eof, Bof, Next, Prior, First, Last };

template <Move M>
void DataSetFunction(TQxBuiltinCall& call) {
    static constexpr const char* kNames[] = {"EOF", "BOF", "NEXT", "PRIOR", "FIRST", "LAST"};
    const std::string name = kNames[static_cast<int>(M)];
    const auto fail = [&](const std::string& tail) {
        throw EIllegalFunctionUse("Illegal function use: " + call.expr + tail);
    };
    const TObject* arg = call.Arg(0);
    if (ArgVariable(arg) == nullptr)
        fail(" - dataset identifier expected as argument of function \"" + name + "\"");
    if (!IsNamedVariable(arg))
        fail(" - dataset identifier expected as a first argument of function \"" + name + "\"");
    const std::string alias = Trim(static_cast<const TQxReportVariable*>(arg)->Name());
    TDataSet* ds = call.report.DataSetOfAlias(alias);
    if (ds == nullptr) fail(" - dataset alias not found: " + alias);
    TQxReportVariable* result = call.Result();
    switch (M) {
        case Move::Eof:
            if (result != nullptr) result->SetAsBoolean(ds->Eof());
            break;
        case Move::Bof:
            if (result != nullptr) result->SetAsBoolean(ds->Bof());
            break;
        case Move::Next:
            ds->Next();
            break;
        case Move::Prior:
            ds->Prior();
            break;
        case Move::First:
            ds->First();
            break;
        case Move::Last:
            ds->Last();
            break;
    }
}

// ---- variables -------------------------------------------------------------------

void Set(TQxBuiltinCall& call) {
    const TObject* target = call.Arg(0);
    if (ArgVariable(target) == nullptr)
        throw EIllegalFunctionUse("Illegal function use: " + call.expr +
                                  " - variable expected as a first argument of function \"SET\"");
    if (!IsNamedVariable(target))
        throw EIllegalFunctionUse(
            "Illegal function use: " + call.expr +
            " - variable identifier expected as a first argument of function \"SET\"");
    const TObject* value = call.Arg(1);
    if (!IsOperand(value))
        throw Exception("Second operand type unknown. Function \"SET\", expression " + call.expr);
    const TQxDataType t = OperandType(value);
    if (t == qxdtUnknown)
        throw Exception("Operand type unknown. Function \"SET\", expression " + call.expr);
    auto& variable = *static_cast<TQxReportVariable*>(call.args[0]);
    // A number goes across without a copy where its value allows it; the
    // digits of a long whole number go across through the copy.
    const auto* valueVar = ArgVariable(value);
    const bool heldAsDigits = valueVar != nullptr && !valueVar->IntegerText().empty();
    if (double number = 0;
        t == qxdtNumber && !heldAsDigits && CopiedNumber(call.report, value, number)) {
        variable.SetAsFloat(number);
        return;
    }
    const TQxReportVariable copy = CopyOperand(call.report, value, t);
    call.report.AssignTyped(variable, copy, t);
}

// ---- conditions --------------------------------------------------------------------

void Condition(TQxBuiltinCall& call) {
    bool value = false;
    if (const auto* field = ArgField(call.Arg(0))) {
        value = !field->DataSet()->Eof() && field->AsBoolean();
    } else if (const auto* var = ArgVariable(call.Arg(0))) {
        value = var->AsBoolean();
    }
    if (TQxReportVariable* result = call.Result()) result->SetAsBoolean(value);
}

void IifTest(TQxBuiltinCall& call) {
    const TObject* c = call.Arg(0);
    if (!IsOperand(c))
        throw Exception("First operand type unknown. Function \"IIF\", expression " + call.expr);
    if (OperandType(c) != qxdtBoolean)
        throw Exception("First operand of boolean type expected in function \"IIF\", expression " +
                        call.expr);
    const TQxReportVariable copy = CopyOperand(call.report, c, qxdtBoolean);
    if (TQxReportVariable* result = call.Result()) result->SetAsBoolean(copy.AsBoolean());
}

void Iif(TQxBuiltinCall& call) {
    const auto* test = ArgVariable(call.Arg(0));
    const std::size_t k = test != nullptr && test->AsBoolean() ? 1 : 2;
    TQxReportVariable* result = call.Result();
    const TObject* chosen = call.Arg(k);
    if (chosen == nullptr) {  // the branch's place held no value
        if (result != nullptr) {
            result->SetAsString(std::string());
            result->SetDataType(qxdtUnknown);
        }
        return;
    }
    if (!IsOperand(chosen))
        throw Exception(std::string(k == 1 ? "Second" : "Third") +
                        " operand type unknown. Function \"IIF\", expression " + call.expr);
    const TQxDataType t = OperandType(chosen);
    const TQxReportVariable copy = CopyOperand(call.report, chosen, t);
    if (result != nullptr) call.report.AssignTyped(*result, copy, t);
}

void Brackets(TQxBuiltinCall& call) {
    const auto* var = ArgVariable(call.Arg(0));
    if (TQxReportVariable* result = call.Result(); result != nullptr && var != nullptr)
        result->SetAsString(var->AsString());
}

// ---- aggregates ----------------------------------------------------------------------

enum class Aggregate { Sum, Ctn, Cts };

template <Aggregate A>
void AggregateFunction(TQxBuiltinCall& call) {
    auto* acc = ArgVariable(call.Arg(1));
    if (acc == nullptr) throw EInvalidCast("Invalid class typecast");
    double total = acc->AsFloat();
    const TObject* value = call.Arg(0);
    if (const auto* field = ArgField(value)) {
        if (field->DataSet()->Eof()) return;  // nothing is counted at the end of data
        const TFormatSettings& fs = call.report.FmtSettings();
        if (A == Aggregate::Sum) total += FieldFloatIn(*field, fs);
        if (A == Aggregate::Ctn && FieldFloatIn(*field, fs) != 0) total += 1;
        if (A == Aggregate::Cts && !Trim(field->AsString()).empty()) total += 1;
    } else if (const auto* var = ArgVariable(value)) {
        if (A == Aggregate::Sum) total += var->AsFloat();
        if (A == Aggregate::Ctn && var->AsFloat() != 0) total += 1;
        if (A == Aggregate::Cts && !Trim(var->AsString()).empty()) total += 1;
    } else {
        throw Exception("Operand type unknown. Function \"" +
                        std::string(A == Aggregate::Sum   ? "SUM"
                                    : A == Aggregate::Ctn ? "CTN"
                                                          : "CTS") +
                        "\", expression " + call.expr);
    }
    acc->SetAsFloat(total);
}

}  // namespace

TDataSet* TQxRTF::DataSetOfAlias(const std::string& alias) const {
    const std::int32_t i = CtoN(alias);
    if (i < 0 || static_cast<std::size_t>(i) >= FDFiles.size()) return nullptr;
    return FDFiles[static_cast<std::size_t>(i)];
}

void RegisterControlBuiltins(TQxBuiltinTable& table) {
    SetBuiltin(table, -33, DataSetFunction<Move::Eof>);
    SetBuiltin(table, -34, DataSetFunction<Move::Bof>);
    SetBuiltin(table, -35, DataSetFunction<Move::Next>);
    SetBuiltin(table, -36, DataSetFunction<Move::Prior>);
    SetBuiltin(table, -37, DataSetFunction<Move::First>);
    SetBuiltin(table, -38, DataSetFunction<Move::Last>);
    SetBuiltin(table, QxFn::Set, Set);
    SetBuiltin(table, QxFn::If, Condition);
    SetBuiltin(table, QxFn::While, Condition);
    SetBuiltin(table, QxFn::ElsIf, Condition);
    SetBuiltin(table, QxFn::SysIifTest, IifTest);
    SetBuiltin(table, QxFn::Iif, Iif);
    SetBuiltin(table, QxFn::Brackets, Brackets);
    SetBuiltin(table, QxFn::Sum, AggregateFunction<Aggregate::Sum>);
    SetBuiltin(table, QxFn::Ctn, AggregateFunction<Aggregate::Ctn>);
    SetBuiltin(table, QxFn::Cts, AggregateFunction<Aggregate::Cts>);
}

}  // namespace qx
