// The evaluator's entry points: ExecUDF for every call of a compiled
// expression, InitFunctions for the declaration and reset side of VAR and
// the aggregates, DoFunctions for the built-ins, and the value copy that
// built-ins and user handlers read their arguments through.
#include <algorithm>
#include <limits>
#include <new>

#include "conscom/exceptions.h"
#include "conscom/internal/tables.h"
#include "platform/internal/conv.h"
#include "platform/internal/unicode.h"
#include "qxbasereport/internal/lang_text.h"
#include "qxrtf/internal/builtins.h"
#include "qxrtf/internal/field_values.h"
#include "qxrtf/qxrtf.h"

namespace qx {

bool IsOperand(const TObject* arg) {
    return ArgField(arg) != nullptr || ArgVariable(arg) != nullptr;
}

TQxDataType OperandType(const TObject* arg) {
    if (const auto* field = ArgField(arg)) return TQxRTF::FieldType2VarType(field->DataType());
    if (const auto* var = ArgVariable(arg)) return var->DataType();
    return qxdtUnknown;
}

bool IsNamedVariable(const TObject* arg) {
    const auto* var = ArgVariable(arg);
    return var != nullptr && !var->Local() && !Trim(var->Name()).empty();
}

TQxReportVariable CopyOperand(TQxRTF& report, const TObject* arg, TQxDataType type) {
    TQxReportVariable copy(&report);
    copy.SetLocal(true);
    report.UDFArg2Var(arg, copy, type);
    return copy;
}

bool CopiedNumber(const TQxRTF& report, const TObject* arg, double& value) {
    // A local copy keeps a number as a number only under a one-character
    // decimal separator; under any other its value goes through text.
    if (report.FmtSettings().DecimalSeparator.size() != 1) return false;
    if (const auto* var = ArgVariable(arg)) return conv::RoundTo15Digits(var->AsFloat(), value);
    const auto* field = ArgField(arg);
    if (field == nullptr) return false;
    if (!IsIntegerType(field->DataType())) return conv::RoundTo15Digits(field->AsFloat(), value);
    // An integer beyond 64 bits is held as its digits: it goes through text.
    if (field->HeldText() != nullptr) return false;
    // Held exactly as far as SetAsInteger keeps an integer as a number.
    const std::int64_t n = field->AsLargeInt();
    if (n < -kExactIntegerLimit || n > kExactIntegerLimit) return false;
    value = static_cast<double>(n);
    return true;
}

void RequireArg(const TQxBuiltinCall& call, std::size_t i, TQxDataType type,
                const TQxArgMessages& messages) {
    const TObject* arg = call.Arg(i);
    // A field of a type with no value form (a blob, a time stamp) is as
    // unknown as a picture.
    const TQxDataType actual = OperandType(arg);
    if (!IsOperand(arg) || actual == qxdtUnknown) throw Exception(messages.unknown + call.expr);
    if (actual != type) throw Exception(messages.wrongType + call.expr);
}

TQxReportVariable ArgValue(const TQxBuiltinCall& call, std::size_t i, TQxDataType type) {
    return CopyOperand(call.report, call.Arg(i), type);
}

std::int32_t IntValue(const TQxReportVariable& copy) {
    // Saturating rather than wrapping: a start of 2^32 + 1 must not act as 1.
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(copy.AsInteger(), std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::int32_t>::max()));
}

const TQxBuiltinTable& BuiltinTable() {
    static const TQxBuiltinTable table = [] {
        TQxBuiltinTable t{};
        RegisterOperatorBuiltins(t);
        RegisterControlBuiltins(t);
        RegisterStringBuiltins(t);
        RegisterNumberBuiltins(t);
        RegisterDateBuiltins(t);
        return t;
    }();
    return table;
}

void TQxRTF::UDFArg2Var(const TObject* arg, TQxReportVariable& target, TQxDataType type) {
    if (const auto* var = ArgVariable(arg)) {
        switch (type) {
            case qxdtString:
                target.SetAsString(var->AsString());
                break;
            case qxdtNumber:
                // A long whole number goes across as its digits, as a
                // field's does; any other number as its value.
                if (const std::string_view digits = var->IntegerText(); !digits.empty())
                    target.SetAsIntegerText(std::string(digits));
                else
                    target.SetAsFloat(var->AsFloat());
                break;
            case qxdtBoolean:
                target.SetAsBoolean(var->AsBoolean());
                break;
            case qxdtDateTime:
                target.SetAsDateTime(var->AsDateTime());
                break;
            default:
                break;
        }
        return;
    }
    const auto* field = ArgField(arg);
    if (field == nullptr) return;
    switch (type) {
        case qxdtString:
            target.SetAsString(FieldTextIn(*field, FmtSett));
            break;
        case qxdtNumber:
            // An integer in full: a 32-bit copy would wrap values beyond it,
            // and one beyond 64 bits keeps the digits it is held as.
            if (const std::string* digits = field->HeldText();
                digits != nullptr && IsIntegerType(field->DataType()))
                target.SetAsIntegerText(*digits);
            else if (IsIntegerType(field->DataType()))
                target.SetAsInteger(field->AsLargeInt());
            else
                target.SetAsFloat(FieldFloatIn(*field, FmtSett));
            break;
        case qxdtBoolean:
            target.SetAsBoolean(field->AsBoolean());
            break;
        case qxdtDateTime:
            target.SetAsDateTime(FieldDateTimeIn(*field, FmtSett));
            break;
        default:
            break;
    }
}

void TQxRTF::ExecUDF(std::int32_t id, const TQxUDFArgs& args, std::int32_t argCount,
                     TObject* result, std::string& expr) {
    const auto requireDefined = [&](const TObject* arg, const std::string& prefix) {
        const auto* var = ArgVariable(arg);
        if (var != nullptr && !var->Local() && GetVarNumber(var->Name()) == 0)
            throw EIllegalFunctionUse(prefix + expr + " - report variable " + var->Name() +
                                      " not found");
    };
    if (id >= 0) {
        for (const TObject* arg : args) requireDefined(arg, "Illegal function use: ");
        TQxUDF* udf = FUDFList != nullptr && id < FUDFList->Functions().Count()
                          ? FUDFList->Functions().Items(id)
                          : nullptr;
        if (udf == nullptr || !udf->OnCalculate()) return;
        try {
            udf->OnCalculate()(this, args, argCount, result);
        } catch (const Exception&) {
            throw;
        } catch (const std::bad_alloc&) {
            throw;
        } catch (const std::exception& e) {
            // An application's own error becomes the engine's, so that it
            // gets the calling field's position like any other.
            throw Exception(e.what());
        }
        return;
    }
    if (id == QxFn::Brackets) {
        if (ArgVariable(args.empty() ? nullptr : args[0]) == nullptr)
            throw EIllegalFunctionUse(
                "Illegal brackets use in expression: " + expr +
                " - result type udfrTQxReportVariable expected inside the brackets");
        requireDefined(args[0], "Illegal expression: ");
    }
    if ((id == QxFn::Sum || id == QxFn::Ctn || id == QxFn::Cts) && !args.empty())
        requireDefined(args[0], "Illegal function use: ");
    InitFunctions(id, args, argCount, expr);
    DoFunctions(id, args, result, expr);
}

void TQxRTF::InitFunctions(std::int32_t id, const TQxUDFArgs& args, std::int32_t argCount,
                           std::string& expr) {
    if (id == QxFn::Var) {
        const std::size_t n =
            std::min(args.size(), static_cast<std::size_t>(std::max(argCount, 0)));
        for (std::size_t i = 0; i < n; ++i)
            if (!IsNamedVariable(args[i]))
                throw EIllegalFunctionUse(
                    "Illegal function use: " + expr +
                    " - VAR function may be used only with variable identifiers");
        for (std::size_t i = 0; i < n; ++i) {
            const std::string& name = static_cast<const TQxReportVariable*>(args[i])->Name();
            if (GetVarNumber(name) == 0) CreateVar(name, std::string());
        }
        return;
    }
    if (id != QxFn::Sum && id != QxFn::Ctn && id != QxFn::Cts) return;
    auto* acc = ArgVariable(args.size() > 1 ? args[1] : nullptr);
    if (acc == nullptr) throw EInvalidCast("Invalid class typecast");
    if (GetVarNumber(acc->Name()) == 0) CreateVar(acc->Name(), 0.0);
    bool reset = true;
    if (argCount == 3 && args.size() > 2) {
        const auto* third = ArgVariable(args[2]);
        reset = third == nullptr || UpperCase(Trim(third->Name())) != "NORESET";
    }
    // A total in a scan started when the scan was entered (StartScanTotals)
    // and accumulates over it; outside every scan it starts each time.
    const TQxScanInfo* current = FScs->CurrentScanInfo();
    const bool inScan = current != nullptr && FScs->ScanAround(current->Number()) != nullptr;
    if (reset && !inScan) acc->SetAsInteger(0);
}

void TQxRTF::DoFunctions(std::int32_t id, const TQxUDFArgs& args, TObject* result,
                         std::string& expr) {
    if (id >= 0 || id < -kQxBuiltinSlots) return;
    const TQxBuiltinHandler handler = BuiltinTable()[static_cast<std::size_t>(-id - 1)];
    if (handler == nullptr) {
        // VAR works in InitFunctions; the IIF branch markers pass their
        // argument on. Any other empty slot is a function this version does
        // not have: say so rather than write an empty value.
        if (id == QxFn::Var || id == QxFn::SysIifTrue || id == QxFn::SysIifFalse) return;
        throw EIllegalFunctionUse("Function " + FunctionName(id) +
                                  " is not available in this version");
    }
    TQxBuiltinCall call{*this, args, result, expr};
    handler(call);
}

}  // namespace qx
