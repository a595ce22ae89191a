// Expression blocks: the postfix items between ExprBegin and ExprEnd run on
// a value stack; only the chosen branch of each IIF is evaluated, and the
// result is written into the report or becomes the condition result.
#include <algorithm>
#include <memory>
#include <set>

#include "conscom/exceptions.h"
#include "conscom/internal/tables.h"
#include "platform/internal/unicode.h"
#include "platform/picture.h"
#include "platform/sysutils.h"
#include "qxbasereport/internal/command_stream.h"
#include "qxbasereport/internal/lang_text.h"
#include "qxrtf/internal/builtins.h"
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

// The state of one block: the value stack and the objects the block owns.
struct TQxExprState {
    std::vector<TObject*> stack;
    std::vector<std::unique_ptr<TObject>> owned;
    std::set<std::int32_t> taken;  // IIF numbers whose test came out true
    std::string expr;

    template <typename T>
    T* Own(std::unique_ptr<T> object) {
        T* raw = object.get();
        owned.push_back(std::move(object));
        return raw;
    }
    TQxUDFArgs TopArgs(std::int32_t n) const {
        const std::size_t count = std::min(stack.size(), static_cast<std::size_t>(std::max(n, 0)));
        return TQxUDFArgs(stack.end() - static_cast<std::ptrdiff_t>(count), stack.end());
    }
    void Pop(std::int32_t n) {
        const std::size_t count = std::min(stack.size(), static_cast<std::size_t>(std::max(n, 0)));
        stack.resize(stack.size() - count);
    }
};

TQxReportVariable* TQxRTF::NewLocalVariable(TQxExprState& state) {
    auto var = std::make_unique<TQxReportVariable>(this);
    var->SetLocal(true);
    return state.Own(std::move(var));
}

void TQxRTF::PushVariable(TQxExprState& state, const std::string& name) {
    // A named variable: the evaluator looks it up by name when it reads it.
    auto var = std::make_unique<TQxReportVariable>(this);
    var->SetVarName(name);
    state.stack.push_back(state.Own(std::move(var)));
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
    auto flag = std::make_unique<TQxReportVariable>(this);
    flag->SetVarName(third->Name());
    flag->SetLocal(true);
    flag->SetAsBoolean(false);
    args[2] = state.Own(std::move(flag));
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
TQxRowContent TQxRTF::BeginExprBlock(bool& output, bool& manage) {
    TQxRowContent row;
    std::uint16_t block = 0;
    CmReadExprBeginItem(row, output, manage, block);
    FScs->SetCurrentScan(block);
    return row;
}

void TQxRTF::EvaluateExprBlock() {
    bool output = false, manage = false;
    const TQxRowContent row = BeginExprBlock(output, manage);
    TQxExprState state;
    state.expr = row.Field;
    std::int32_t lastId = 0;
    TObject* lastHolder = nullptr;
    TQxRowContent rc;  // one for the block's items: their texts reuse its storage
    for (;;) {
        CmReadItemInfo();
        const std::int32_t kind = FCmLastId;
        if (kind == CmKind::ExprEnd) {
            CmReadExprEndItem();
            break;
        }
        if (IsFieldKind(kind) && kind != CmKind::DotField && kind != CmKind::ColonField) {
            CmReadField(rc);
            if (kind == CmKind::Variable)
                PushVariable(state, rc.Field);
            else
                PushConstant(state, kind, rc.Field, true);
        } else if (kind == CmKind::DotField || kind == CmKind::ColonField) {
            CmReadField(rc);
            TField* field = ResolveDataSetField(rc);
            if (field == nullptr)
                throw EIllegalFunctionUse("Illegal function use: " + state.expr +
                                          " - dataset field " + rc.Field + " not found");
            state.stack.push_back(field);
        } else if (kind == CmKind::ExecuteUDF) {
            std::int32_t id = 0, n = 0, iif = 0, pos = 0, parent = 0;
            CmReadExecuteUDFItem(id, n, iif, pos, parent);
            TQxUDFArgs args = state.TopArgs(n);
            TObject* holder = NewResultHolder(state, id);
            ReplaceNoReset(state, id, args);
            ExecUDF(id, args, n, holder, state.expr);
            lastId = id;
            lastHolder = holder;
            if (id != QxFn::SysIifTrue && id != QxFn::SysIifFalse) {
                state.Pop(n);
                state.stack.push_back(holder);
            }
            if (id == QxFn::SysIifTest) {
                const auto* test = ArgVariable(holder);
                if (test != nullptr && test->AsBoolean())
                    state.taken.insert(iif);
                else
                    ReplayItems(state, QxFn::SysIifTrue, iif);
            } else if (id == QxFn::SysIifTrue && state.taken.count(iif) != 0) {
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
            TQxRowContent rc;
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
        TQxUDFArgs args = state.TopArgs(n);
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
    const TQxRowContent row = BeginExprBlock(output, manage);
    TQxExprState state;
    state.expr = row.Field;
    ReplayItems(state, 0, -1);  // to the block's end: no call matches
}

}  // namespace qx
