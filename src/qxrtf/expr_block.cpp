// Expression blocks: the postfix items between ExprBegin and ExprEnd run on
// a value stack; only the chosen branch of each IIF is evaluated, and the
// result is written into the report or becomes the condition result.
#include <algorithm>
#include <memory>

#include "conscom/exceptions.h"
#include "conscom/internal/tables.h"
#include "platform/internal/unicode.h"
#include "platform/picture.h"
#include "platform/sysutils.h"
#include "qxbasereport/internal/command_stream.h"
#include "qxbasereport/internal/lang_text.h"
#include "qxrtf/internal/builtins.h"
#include "qxrtf/internal/expr_state.h"
#include "qxrtf/qxrtf.h"

namespace qx {

namespace {

bool IsRtfDocument(TMemoryStream& stream) {
    static constexpr std::string_view kHeader = "{\\rtf";
    return stream.Size() >= static_cast<std::int64_t>(kHeader.size()) &&
           std::string_view(reinterpret_cast<const char*>(stream.Memory()), kHeader.size()) ==
               kHeader;
}

bool IsAggregate(std::int32_t id) {
    return id == QxFn::Sum || id == QxFn::Ctn || id == QxFn::Cts;
}

}  // namespace

TQxReportVariable* TQxRTF::NewLocalVariable(TQxExprState& state) {
    TQxReportVariable* var = state.NextVariable(this);
    var->SetLocal(true);
    return var;
}

void TQxRTF::PushVariable(TQxExprState& state, const std::string& name) {
    // A named variable: the evaluator looks it up by name when it reads it.
    TQxReportVariable* var = state.NextVariable(this);
    var->SetVarName(name);
    state.stack.push_back(var);
}

void TQxRTF::PushConstant(TQxExprState& state, std::int32_t kind, const std::string& text,
                          bool setValue) {
    TQxReportVariable* var = NewLocalVariable(state);
    state.stack.push_back(var);
    if (!setValue) return;
    if (kind == CmKind::Date) {
        // {yyyy-mm-dd}: year from characters 2-5, month 7-8, day 10-11.
        var->SetAsDate(EncodeDate(static_cast<int>(StrToInt64(text.substr(1, 4))),
                                  static_cast<int>(StrToInt64(text.substr(6, 2))),
                                  static_cast<int>(StrToInt64(text.substr(9, 2)))));
        return;
    }
    static constexpr TQxDataType kTypes[] = {qxdtNumber, qxdtString, qxdtBoolean};
    var->SetAsString(text);
    var->SetDataType(kTypes[kind - 2]);
}

// SUM, CTN and CTS take the keyword NORESET as a Boolean false in its place.
void TQxRTF::ReplaceNoReset(TQxExprState& state, std::int32_t id, TQxUDFArgs& args) {
    if (!IsAggregate(id) || args.size() != 3) return;
    const auto* third = ArgVariable(args[2]);
    if (third == nullptr || UpperCase(Trim(third->Name())) != "NORESET") return;
    // The holder keeps the keyword as its name, so the reset rule still
    // sees NORESET after the replacement.
    TQxReportVariable* flag = state.NextVariable(this);
    flag->SetVarName(third->Name());
    flag->SetLocal(true);
    flag->SetAsBoolean(false);
    args[2] = flag;
}

void TQxRTF::CountEvaluationStep(const TObject* holder) {
    if (FMaxEvaluationSteps != 0 && ++FEvaluationSteps > FMaxEvaluationSteps)
        throw EIllegalFunctionUse("Report evaluation took more than the " +
                                  std::to_string(FMaxEvaluationSteps) +
                                  " steps a run may take (MaxEvaluationSteps)");
    if (const auto* value = ArgVariable(holder)) CheckValueSize(value->LocalTextSize(), "Value");
}

TObject* TQxRTF::NewResultHolder(TQxExprState& state, std::int32_t id) {
    switch (GetUDFResultType(id)) {
        case udfrNil:
            return nullptr;
        case udfrTQxReportVariable:
            return NewLocalVariable(state);
        case udfrTPicture:
            return state.Own(std::make_unique<TPicture>());
        case udfrTMemoryStream:
            return state.Own(std::make_unique<TMemoryStream>());
        default:
            throw EIllegalFunctionUse("Result type defined in function" + FunctionName(id) +
                                      " is not supported");
    }
}

std::string TQxRTF::FunctionName(std::int32_t id) const {
    if (id < 0) {
        const TQXBaseFunctionIDs* row = FindBaseFunction(id);
        return row != nullptr ? std::string(row->name) : std::to_string(id);
    }
    if (FUDFList != nullptr && id < FUDFList->Functions().Count())
        return FUDFList->Functions().Items(id)->Name();
    return std::to_string(id);
}

// Reads the ExprBegin item whose header was just read and makes its block
// current.
TQxRTF::TExprStateLease::TExprStateLease(TQxRTF& report) : FReport(report) {
    auto& states = report.FExprStates;
    if (report.FExprDepth == states.size()) states.push_back(std::make_unique<TQxExprState>());
    FState = states[report.FExprDepth++].get();
    FState->Clear();
}

TQxRTF::TExprStateLease::~TExprStateLease() {
    FState->Clear();
    --FReport.FExprDepth;
}

void TQxRTF::BeginExprBlock(TQxExprState& state, bool& output, bool& manage) {
    std::uint16_t block = 0;
    CmReadExprBeginItem(state.row, output, manage, block);
    FScs->SetCurrentScan(block);
    state.expr = state.row.Field;
}

void TQxRTF::EvaluateExprBlock() {
    TExprStateLease lease(*this);
    TQxExprState& state = lease.State();
    const TDecodedRow& begin = ReadDecodedRow();
    FScs->SetCurrentScan(begin.block);
    state.expr = begin.rc.Field;
    const TQxRowContent& row = begin.rc;
    const bool output = begin.output, manage = begin.manage;
    std::int32_t lastId = 0;
    TObject* lastHolder = nullptr;
    for (;;) {
        CmReadItemInfo();
        const std::int32_t kind = FCmLastId;
        if (kind == CmKind::ExprEnd) {
            CmReadExprEndItem();
            break;
        }
        if (IsFieldKind(kind) && kind != CmKind::DotField && kind != CmKind::ColonField) {
            const TQxRowContent& rc = ReadDecodedRow().rc;
            if (kind == CmKind::Variable)
                PushVariable(state, rc.Field);
            else
                PushConstant(state, kind, rc.Field, true);
        } else if (kind == CmKind::DotField || kind == CmKind::ColonField) {
            TDecodedRow& item = ReadDecodedRow();
            TField* field = ResolveDecodedField(item);
            if (field == nullptr)
                throw EIllegalFunctionUse("Illegal function use: " + state.expr +
                                          " - dataset field " + item.rc.Field + " not found");
            state.stack.push_back(field);
        } else if (kind == CmKind::ExecuteUDF) {
            std::int32_t id = 0, n = 0, iif = 0, pos = 0, parent = 0;
            CmReadExecuteUDFItem(id, n, iif, pos, parent);
            TQxUDFArgs& args = state.TopArgs(n);
            TObject* holder = NewResultHolder(state, id);
            ReplaceNoReset(state, id, args);
            ExecUDF(id, args, n, holder, state.expr);
            CountEvaluationStep(holder);
            lastId = id;
            lastHolder = holder;
            if (id != QxFn::SysIifTrue && id != QxFn::SysIifFalse) {
                state.Pop(n);
                state.stack.push_back(holder);
            }
            // Only the parts of an IIF (numbered) pick a branch; a call by
            // name has no branch to pass over and is just its value.
            if (iif == 0) continue;
            if (id == QxFn::SysIifTest) {
                const auto* test = ArgVariable(holder);
                if (test != nullptr && test->AsBoolean())
                    state.taken.push_back(iif);
                else
                    ReplayItems(state, QxFn::SysIifTrue, iif);
            } else if (id == QxFn::SysIifTrue && state.Taken(iif)) {
                ReplayItems(state, QxFn::SysIifFalse, iif);
            }
        } else {
            throw EIOError("Undefined argument in UDF");
        }
    }
    if (output) WriteExprResult(row, GetUDFResultType(lastId), lastHolder);
    if (manage) {
        const auto* result = ArgVariable(lastHolder);
        if (result == nullptr) throw EInvalidCast("Invalid class typecast");
        FManageResult = result->AsBoolean();
    }
}

void TQxRTF::WriteExprResult(const TQxRowContent& row, TQxUDFResultType kind, TObject* holder) {
    switch (kind) {
        case udfrTQxReportVariable: {
            const auto* var = ArgVariable(holder);
            if (var != nullptr)
                WriteVariableValue(*var, row.fmt, row.sout);
            else
                WriteTextValue(std::string(), row.fmt, row.sout);
            return;
        }
        case udfrTPicture:
            WritePicture(*static_cast<TPicture*>(holder), row.fmt);
            wr(row.sout);
            return;
        case udfrTMemoryStream: {
            auto* stream = static_cast<TMemoryStream*>(holder);
            // A whole RTF document cannot stand inside another: it is merged.
            // Anything else is RTF meant for this place and goes as it is.
            if (IsRtfDocument(*stream)) {
                WriteRtfFragmentStream(*stream, row.sout);
                return;
            }
            if (stream->Size() != 0) {
                stream->SetPosition(0);
                CountOutput(stream->Size());
                FOutf->CopyFrom(*stream, stream->Size());
            }
            wr(row.sout);
            return;
        }
        default:
            wr(row.sout);
            return;
    }
}

void TQxRTF::ReplayItems(TQxExprState& state, std::int32_t targetId, std::int32_t targetIif) {
    for (;;) {
        CmReadItemInfo();
        const std::int32_t kind = FCmLastId;
        if (kind == CmKind::End) return;
        if (kind == CmKind::ExprEnd) {
            CmReadExprEndItem();
            return;
        }
        if (IsFieldKind(kind)) {
            TQxRowContent& rc = state.item;
            CmReadField(rc);
            if (kind == CmKind::Variable)
                PushVariable(state, rc.Field);
            else if (kind >= 2)
                PushConstant(state, kind, rc.Field, false);
            else
                state.stack.push_back(nullptr);
            continue;
        }
        if (kind != CmKind::ExecuteUDF) {
            CmSkipItem();
            continue;
        }
        std::int32_t id = 0, n = 0, iif = 0, pos = 0, parent = 0;
        CmReadExecuteUDFItem(id, n, iif, pos, parent);
        TQxUDFArgs& args = state.TopArgs(n);
        if (id < 0) {
            ReplaceNoReset(state, id, args);
            InitFunctions(id, args, n, state.expr);
        }
        state.Pop(n);
        state.stack.push_back(nullptr);
        if (id == targetId && iif == targetIif) return;
    }
}

void TQxRTF::ReplayExprBlock() {
    bool output = false, manage = false;
    TExprStateLease lease(*this);
    TQxExprState& state = lease.State();
    BeginExprBlock(state, output, manage);
    ReplayItems(state, 0, -1);  // to the block's end: no call matches
}

}  // namespace qx
