// The template lint: compiles a template without running it and reads the
// command stream back, field by field, to list what the template holds and
// which of its names the given datasets and variables do not have.
#include "qxrtf/template_check.h"

#include <algorithm>
#include <map>
#include <set>

#include "conscom/exceptions.h"
#include "conscom/internal/tables.h"
#include "platform/internal/unicode.h"
#include "qxbasereport/internal/command_stream.h"
#include "qxrtf/qxrtf.h"

namespace qx {

namespace {

const char* SimpleFieldKind(std::int32_t kind) {
    switch (kind) {
        case CmKind::Variable:
            return "variable";
        case CmKind::DotField:
        case CmKind::ColonField:
            return "dataset field";
        default:
            return "constant";
    }
}

bool IsIifCompanion(std::int32_t id) {
    return id == QxFn::SysIifTest || id == QxFn::SysIifTrue || id == QxFn::SysIifFalse;
}

// The wrappers a command's condition compiles to: the block list shows them.
bool IsConditionWrapper(std::int32_t id) {
    return id == QxFn::If || id == QxFn::While || id == QxFn::ElsIf;
}

}  // namespace

// What one field's records say, gathered while reading them.
struct TQxRTF::TQxCheckState {
    TQxTemplateCheck result;
    std::map<int, TQxCheckBlock> blocks;
    // Variables the template declares itself (VAR, the accumulator of an
    // aggregate), upper case.
    std::set<std::string> declared;
    // The place of each field read, kept once: a field of a thousand
    // operands must not copy its text a thousand times.
    std::vector<TQxErrorPos> places;
    struct Use {
        std::size_t place;  // in `places`
        std::string name;
        bool exempt = false;  // the NORESET keyword of an aggregate
    };
    std::vector<Use> uses;
    // The operands of the calls being read: the index of a variable's use,
    // or -1 for anything else.
    std::vector<int> operands;
};

TQxTemplateCheck TQxRTF::CheckTemplate(const arrdataset& ds) {
    TQxTemplateCheck result;
    CompileOnly(ds, [&] {
        CheckBlocksClosed();
        result = InspectCompiled();
    });
    return result;
}

void TQxRTF::WarnOfCompiledFields() {
    // All of them before a strict sink stops the run: the author fixes
    // them in one go.
    TQxWarningSink& sink = WarningSink();
    for (TQxCheckWarning& w : InspectCompiled().warnings)
        sink.Add({std::string(), std::move(w.pos), w.message});
    sink.CheckStrict();
}

void TQxRTF::Warn(std::optional<TQxErrorPos> pos, const std::string& message) {
    TQxWarningSink& sink = WarningSink();
    sink.Add({std::string(), std::move(pos), message});
    sink.CheckStrict();
}

TQxTemplateCheck TQxRTF::InspectCompiled() {
    TQxCheckState state;
    for (const TQxFieldSpan& span : FCmFieldSpans) CheckFieldSpan(span, state);
    for (auto& [number, block] : state.blocks) state.result.blocks.push_back(block);
    for (const TQxCheckState::Use& use : state.uses) {
        if (use.exempt || state.declared.count(UpperCase(use.name)) != 0 ||
            GetVarNumber(use.name) != 0)
            continue;
        state.result.warnings.push_back(
            {state.places[use.place], "variable " + use.name + " is not defined"});
    }
    return state.result;
}

void TQxRTF::CheckFieldSpan(const TQxFieldSpan& span, TQxCheckState& state) {
    state.places.push_back(FieldErrorPos(span.kwdPnt, span.text));
    const TQxErrorPos& pos = state.places.back();
    bool command = false, expression = false;
    std::string simpleKind;
    state.operands.clear();
    FCmStream->SetPosition(span.cmBegin);
    while (FCmStream->Position() < span.cmEnd) {
        CmReadItemInfo();
        const std::int32_t kind = FCmLastId;
        if (IsFieldKind(kind)) {
            CheckFieldRecord(kind, pos, state);
            if (simpleKind.empty()) simpleKind = SimpleFieldKind(kind);
        } else if (kind == CmKind::ExprBegin) {
            bool output = false, manage = false;
            std::uint16_t block = 0;
            TQxRowContent rc;
            CmReadExprBeginItem(rc, output, manage, block);
            expression = expression || output;
            state.operands.clear();
        } else if (kind == CmKind::ExecuteUDF) {
            CheckCallRecord(pos, state);
        } else if (IsBlockItemKind(kind) || kind == CmKind::ScanSkip) {
            command = true;
            CheckBlockRecord(kind, pos, state);
        } else {
            CmSkipItem();
        }
    }
    std::string what = command ? "command" : expression ? "expression" : simpleKind;
    if (what.empty()) {
        // No record of its own: not a report field, a call of a function
        // that does not exist, or a field whose brackets do not balance,
        // all of which the run leaves as typed.
        std::string text = span.text;
        TQxFieldFormat fmt;
        const std::int32_t code = ClassifyField(text, fmt);
        std::vector<std::string> items;
        if (!SplitArgs(span.text, items)) {
            state.result.warnings.push_back(
                {pos, "the brackets of this field do not balance; the field is left as typed"});
        } else if (code == CmKind::Call || code == CmKind::Expression) {
            state.result.warnings.push_back(
                {pos, "no function of this name exists; the field is left as typed"});
        } else {
            return;
        }
        what = "expression";
    }
    state.result.fields.push_back({pos, what});
}

void TQxRTF::CheckFieldRecord(std::int32_t kind, const TQxErrorPos& pos, TQxCheckState& state) {
    TQxRowContent rc;
    CmReadField(rc);
    int use = -1;
    if (kind == CmKind::Variable) {
        use = static_cast<int>(state.uses.size());
        state.uses.push_back({state.places.size() - 1, rc.Field});
    } else if (kind == CmKind::DotField || kind == CmKind::ColonField) {
        if (DataSetOfAlias(rc.Dalias) == nullptr) {
            state.result.warnings.push_back({pos, "no dataset is named " + rc.Dalias});
        } else {
            DefineFieldNumber(rc);
            if (rc.DefinedType != rcdata)
                state.result.warnings.push_back(
                    {pos, "dataset " + rc.Dalias + " has no field " + rc.Field});
        }
    }
    state.operands.push_back(use);
}

void TQxRTF::CheckCallRecord(const TQxErrorPos& pos, TQxCheckState& state) {
    std::int32_t id = 0, argCount = 0, iif = 0, argPos = 0, parent = 0;
    CmReadExecuteUDFItem(id, argCount, iif, argPos, parent);
    // A branch marker of IIF passes its argument on.
    if (IsIifCompanion(id)) return;
    const std::size_t n = std::min(state.operands.size(), static_cast<std::size_t>(argCount));
    const std::vector<int> args(state.operands.end() - static_cast<std::ptrdiff_t>(n),
                                state.operands.end());
    state.operands.resize(state.operands.size() - n);
    const auto declare = [&](int use) {
        if (use >= 0) state.declared.insert(UpperCase(state.uses[use].name));
    };
    if (id == QxFn::Var) {
        for (int use : args) declare(use);
    } else if (id == QxFn::Sum || id == QxFn::Ctn || id == QxFn::Cts) {
        if (args.size() > 1) declare(args[1]);
        if (args.size() > 2 && args[2] >= 0) state.uses[args[2]].exempt = true;
    }
    state.operands.push_back(-1);
    const std::string name = FunctionName(id);
    // Operators compile to calls of their own; the list shows what was typed.
    if (name.rfind("SYS_", 0) != 0 && !IsConditionWrapper(id))
        state.result.functions.push_back({pos, name});
}

void TQxRTF::CheckBlockRecord(std::int32_t kind, const TQxErrorPos& pos, TQxCheckState& state) {
    std::uint16_t number = 0;
    if (kind == CmKind::ScanSkip) {
        CmReadScanSkipItem(number);
        return;
    }
    number = ReadBlockItem().block;
    TQxCheckBlock& block = state.blocks[number];
    if (kind == CmKind::EndScan || kind == CmKind::EndIf) {
        block.close = pos;
        return;
    }
    if (block.number != 0) return;  // already opened
    block.number = number;
    block.open = pos;
    const TQxScanInfo* info = FScs->ScanInfo(number);
    if (info == nullptr) return;
    switch (info->QxLngId()) {
        case lcScan:
            block.kind = info->IsWhile() ? "while scan" : "scan";
            block.detail = info->DataSet() != nullptr ? info->DataSet()->Name() : std::string();
            if (info->IsWhile())
                block.detail += (block.detail.empty() ? "" : " ") + info->WhileString();
            break;
        case lcIf:
            block.kind = "if";
            block.detail = info->WhileString();
            break;
        case lcElsIf:
            block.kind = "elsif";
            block.detail = info->WhileString();
            break;
        default:
            block.kind = "else";
            break;
    }
}

}  // namespace qx
