// The compile pass: walks the template with the scanner and records every
// field it finds in the command stream: simple fields, expressions as
// postfix call sequences, and the scan and if commands with their nesting.
#include "conscom/exceptions.h"
#include "conscom/internal/tables.h"
#include "platform/internal/codepage.h"
#include "platform/internal/unicode.h"
#include "qxbasereport/internal/command_stream.h"
#include "qxbasereport/internal/lang_text.h"
#include "qxrtf/qxrtf.h"

namespace qx {

namespace {

bool StartsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

// Whether the first ")" of `u` stands at 1-based position `minPos` or later.
bool CloseParenFrom(const std::string& u, std::size_t minPos) {
    const auto p = u.find(')');
    return p != std::string::npos && p + 1 >= minPos;
}

}  // namespace

// ---- classification ----------------------------------------------------------

std::int32_t TQxRTF::ClassifyField(std::string& text, TQxFieldFormat& fmt) {
    const std::string u = UpperCase(text);
    if (StartsWith(u, "SCAN(") && CloseParenFrom(u, 6)) return CmKind::Scan;
    if (StartsWith(u, "SCANENTRY")) return CmKind::ScanEntry;
    if (StartsWith(u, "SCANFOOTER")) return CmKind::ScanFooter;
    if (StartsWith(u, "ENDSCAN")) return CmKind::EndScan;
    if (StartsWith(u, "IF(") && CloseParenFrom(u, 5)) return CmKind::If;
    if (StartsWith(u, "ENDIF")) return CmKind::EndIf;
    // ELSEIF( is the spelling the block messages use; it must never read
    // as ELSE by its prefix, which would silently change the result.
    if (StartsWith(u, "ELSEIF(")) {
        if (CloseParenFrom(u, 9)) return CmKind::ElsIf;
    } else if (StartsWith(u, "ELSE")) {
        return CmKind::Else;
    }
    if (StartsWith(u, "ELSIF(") && CloseParenFrom(u, 8)) return CmKind::ElsIf;

    fmt = CheckFormat(text);
    text = Trim(text);
    std::string work = text, element, rest;
    std::int32_t code = GetNextExprField(work, element, rest, FOptions.Contains(eoDotAsColon));
    if (!Trim(rest).empty() && code != CmKind::NotAField) code = CmKind::Expression;
    if (code != CmKind::NotAField && code != CmKind::Expression) text = element;
    return code;
}

TQxRowContent TQxRTF::SimpleFieldRow(std::int32_t code, const std::string& element,
                                     const std::string& stestf, const std::string& markup,
                                     const TQxFieldFormat& fmt) {
    TQxRowContent rc;
    rc.stestf = stestf;
    rc.sout = markup;
    rc.fmt = fmt;
    rc.ftype = rcsimple;
    rc.DefinedType = rcsimple;
    rc.Defined = false;
    rc.NField = -1;
    if (code == CmKind::DotField || code == CmKind::ColonField) {
        const auto sep = element.find(code == CmKind::DotField ? '.' : ':');
        const std::string alias = element.substr(0, sep);
        // A one-letter alias stays as typed: it may name a dataset or a position.
        rc.Dalias = Utf8Length(alias) == 1 ? alias : UpperCase(alias);
        rc.Field = sep == std::string::npos ? std::string() : element.substr(sep + 1);
    } else if (code == CmKind::String && IsQuoted(element)) {
        const std::u32string chars = Utf8ToUtf32(element);
        rc.Field = Utf32ToUtf8(chars.substr(1, chars.size() - 2));
    } else {
        rc.Field = element;
    }
    return rc;
}

bool TQxRTF::IsSimpleCode(std::int32_t code) {
    return IsFieldKind(code);
}

// ---- the pass ------------------------------------------------------------------

void TQxRTF::CompilePass() {
    ResetScanner();
    // A run that failed inside an if chain leaves its levels behind.
    FElsIfChain.clear();
    FRowBlocks.clear();
    FRowEndCommands.clear();
    FRowEnds.clear();
    std::string raw;
    while (!FileEof()) {
        if (!GetNextReportField(raw)) continue;
        const auto cmBegin = static_cast<std::int32_t>(FCmStream->Size());
        const std::int32_t kwdPnt = FKwdPnt, endPnt = Fpnt;
        // As typed, blanks included: what a message shows the author.
        const std::string typed = TypedFieldText(raw);
        FFieldBeingCompiled = {cmBegin, cmBegin, kwdPnt, endPnt, typed};
        FFieldSpanNoted = false;
        try {
            CompileField(raw);
        } catch (Exception& e) {
            e.SetPosIfNone(FieldErrorPos(kwdPnt, typed));
            throw;
        }
        NoteFieldSpan();
        FCmFieldSpans.back().valueCodePage = FieldCodePage(kwdPnt);
    }
}

void TQxRTF::NoteFieldSpan() {
    if (FFieldSpanNoted) return;
    FFieldSpanNoted = true;
    const TQxFieldSpan& f = FFieldBeingCompiled;
    CmNoteFieldSpan(f.cmBegin, f.kwdPnt, f.endPnt, f.text);
}

void TQxRTF::CompileField(const std::string& raw) {
    std::string text, markup;
    CutRtString(raw, text, markup);
    // The field exactly as the template has it, delimiters included.
    const std::string stestf =
        Codec().Decode(std::string_view(reinterpret_cast<const char*>(FPFile) + FKwdPnt - 1,
                                        static_cast<std::size_t>(Fpnt - FKwdPnt)));
    TQxFieldFormat fmt;
    const std::string typed = text;
    const std::int32_t code = ClassifyField(text, fmt);
    if (IsSimpleCode(code)) {
        CmSaveField(code, SimpleFieldRow(code, text, stestf, markup, fmt));
        return;
    }
    if (const TRowRole* role = BlockCommandRole(code)) {
        TRowCommand command;
        command.place = CurrentRowPlace();
        command.cmFrom = FCmPos;
        CompileBlockCommand(code, typed, markup);
        command.cmLength = FCmPos - command.cmFrom;
        // Before the records move to a row boundary, so that the field's
        // span follows them there.
        NoteFieldSpan();
        command.placeholder = markup + FKillParMarkup;
        command.pntAfter = Fpnt;
        PlaceRowCommand(command, *role);
        return;
    }
    switch (code) {
        case CmKind::Call:
            CompileExpression(text, text, fmt, markup);
            return;
        case CmKind::Expression:
            CompileOperatorExpression(text, fmt, markup);
            return;
        default:  // not a report field: it stays as typed
            CmSaveBlocItem();
            return;
    }
}

const TQxRTF::TRowRole* TQxRTF::BlockCommandRole(std::int32_t code) {
    static constexpr TRowRole kOpens = TRowRole::Opens;
    static constexpr TRowRole kContinues = TRowRole::Continues;
    static constexpr TRowRole kCloses = TRowRole::Closes;
    switch (code) {
        case CmKind::Scan:
        case CmKind::If:
            return &kOpens;
        case CmKind::ScanEntry:
        case CmKind::ScanFooter:
        case CmKind::Else:
        case CmKind::ElsIf:
            return &kContinues;
        case CmKind::EndScan:
        case CmKind::EndIf:
            return &kCloses;
        default:
            return nullptr;
    }
}

void TQxRTF::CompileBlockCommand(std::int32_t code, const std::string& typed,
                                 const std::string& markup) {
    using Compile = void (TQxRTF::*)(const std::string&, const std::string&);
    struct Entry {
        std::int32_t code;
        Compile compile;
    };
    static constexpr Entry kCommands[] = {
        {CmKind::Scan, &TQxRTF::CompileScan},
        {CmKind::ScanEntry, &TQxRTF::CompileScanEntry},
        {CmKind::ScanFooter, &TQxRTF::CompileScanFooter},
        {CmKind::EndScan, &TQxRTF::CompileEndScan},
        {CmKind::If, &TQxRTF::CompileIf},
        {CmKind::Else, &TQxRTF::CompileElse},
        {CmKind::ElsIf, &TQxRTF::CompileElsIf},
        {CmKind::EndIf, &TQxRTF::CompileEndIf},
    };
    for (const Entry& e : kCommands)
        if (e.code == code) (this->*e.compile)(typed, markup);
}

// ---- expressions -------------------------------------------------------------

void TQxRTF::CompileExpression(const std::string& callText, const std::string& fieldText,
                               const TQxFieldFormat& fmt, const std::string& markup) {
    std::vector<std::string> args;
    std::int32_t id = 0;
    if (!ProcessUDFName(callText, args, id)) {
        if (FOptions.Contains(eoClearMissedFields))
            CmSaveRawItem(markup);
        else
            CmSaveBlocItem();
        return;
    }
    CompileValueBlock(
        id, fieldText, fmt, markup, [&] { return callText; },
        [&] { CompileCall(id, args, 0, 0, 0); });
}

void TQxRTF::CompileOperatorExpression(const std::string& fieldText, const TQxFieldFormat& fmt,
                                       const std::string& markup) {
    std::string expr = fieldText;
    const TQxCallTree tree = ExpressionCallTree(expr, FOptions.Contains(eoDotAsColon));
    const auto callText = [&] { return tree.Text(tree.root); };
    std::int32_t id = 0;
    if (!GetUDFNumber(tree.nodes[tree.root].text, id))
        throw EIllegalFunctionUse("Function not found: " + callText());
    CompileValueBlock(id, fieldText, fmt, markup, callText,
                      [&] { CompileTreeCall(tree, tree.root, 0, 0, 0); });
}

void TQxRTF::CompileValueBlock(std::int32_t id, const std::string& fieldText,
                               const TQxFieldFormat& fmt, const std::string& markup,
                               const std::function<std::string()>& callText,
                               const std::function<void()>& compileCalls) {
    if (!CheckUdfFormat(id, fmt))
        throw EIllegalFunctionUse("Format function " + FormatFunctionName(fmt.fmtnumber) +
                                  " doesn't conform to it's expression: " + callText());
    TQxRowContent rc;
    rc.Field = fieldText;
    rc.sout = markup;
    rc.NField = id;
    rc.fmt = fmt;
    rc.ftype = rcdata;
    rc.DefinedType = rcdata;
    rc.Defined = true;
    CompileExprBlock(rc, true, false, static_cast<std::uint16_t>(FScs->CurrentScanNum()),
                     compileCalls);
}

// Writes a condition or an extra call as an expression block whose value
// is not written: `manage` makes it drive the enclosing scan or if.
void TQxRTF::CompileBlockExpression(const std::string& callText, std::int32_t id,
                                    const std::vector<std::string>& args, bool manage,
                                    std::uint16_t block) {
    TQxRowContent rc;
    rc.Field = callText;
    rc.NField = id;
    rc.ftype = rcdata;
    rc.DefinedType = rcdata;
    rc.Defined = true;
    CompileExprBlock(rc, false, manage, block, [&] { CompileCall(id, args, 0, 0, 0); });
}

void TQxRTF::CompileExprBlock(const TQxRowContent& rc, bool output, bool manage,
                              std::uint16_t block, const std::function<void()>& compileCalls) {
    CmSaveExprBeginItem(rc, output, manage, block);
    FExprBlock = block;
    compileCalls();
    CmSaveExprEndItem();
}

void TQxRTF::NoteScanTotal(std::int32_t id, const std::vector<std::string>& args) {
    if (id != QxFn::Sum && id != QxFn::Ctn && id != QxFn::Cts) return;
    if (args.size() < 2 || (args.size() > 2 && UpperCase(Trim(args[2])) == "NORESET")) return;
    std::string accumulator = args[1];
    TQxFieldFormat fmt;
    if (ClassifyField(accumulator, fmt) != CmKind::Variable) return;
    if (TQxScanInfo* scan = FScs->ScanAround(FExprBlock)) scan->AddTotal(accumulator);
}

TQxRTF::TCallLevel::TCallLevel(TQxRTF& report, std::int32_t id) : FDepth(report.FCallDepth) {
    // Each nested call is one more frame: a hostile template must not be
    // able to exhaust the stack.
    static constexpr int kMaxCallDepth = 1000;
    if (FDepth >= kMaxCallDepth)
        throw EIllegalFunctionUse("Expression nested deeper than " + std::to_string(kMaxCallDepth) +
                                  " calls: " + report.FunctionName(id));
    ++FDepth;
}

void TQxRTF::CompileCall(std::int32_t id, const std::vector<std::string>& args, std::int32_t parent,
                         std::int32_t position, std::int32_t iifNumber) {
    const TCallLevel level(*this, id);
    const std::int32_t argIif = id == QxFn::Iif ? GetNextIifNumber() : 0;
    static constexpr std::int32_t kIifCompanions[] = {QxFn::SysIifTest, QxFn::SysIifTrue,
                                                      QxFn::SysIifFalse};
    for (std::size_t i = 0; i < args.size(); ++i) {
        const auto pos = static_cast<std::int32_t>(i);
        CompileArg(args[i], id, pos, argIif);
        if (id == QxFn::Iif && i < 3)
            CmSaveExecuteUDFItem(kIifCompanions[i], 1, argIif, pos, QxFn::Iif);
    }
    NoteScanTotal(id, args);
    // SYS_IIF_TEST, SYS_IIF_TRUE and SYS_IIF_FALSE written by name belong to
    // no IIF: without a number they select no branch, also inside an IIF.
    const bool iifPartByName =
        id == QxFn::SysIifTest || id == QxFn::SysIifTrue || id == QxFn::SysIifFalse;
    CmSaveExecuteUDFItem(id, static_cast<std::int32_t>(args.size()), iifPartByName ? 0 : iifNumber,
                         position, parent);
}

void TQxRTF::CompileTreeCall(const TQxCallTree& tree, std::size_t node, std::int32_t parent,
                             std::int32_t position, std::int32_t iifNumber) {
    // An operator's function: never an IIF, its parts or a total, which
    // CompileCall has to look after.
    const TQxCallTree::TNode& call = tree.nodes[node];
    std::int32_t id = 0;
    if (!GetUDFNumber(call.text, id))
        throw EIllegalFunctionUse("Function not found: " + tree.Text(node));
    CheckArgCount(id, static_cast<std::int64_t>(call.args.size()), [&] { return tree.Text(node); });
    const TCallLevel level(*this, id);
    for (std::size_t i = 0; i < call.args.size(); ++i) {
        const std::size_t arg = call.args[i];
        const auto pos = static_cast<std::int32_t>(i);
        if (tree.nodes[arg].call)
            CompileTreeCall(tree, arg, id, pos, 0);
        else
            CompileArg(tree.nodes[arg].text, id, pos, 0);
    }
    CmSaveExecuteUDFItem(id, static_cast<std::int32_t>(call.args.size()), iifNumber, position,
                         parent);
}

void TQxRTF::CompileArg(const std::string& arg, std::int32_t id, std::int32_t pos,
                        std::int32_t iifNumber) {
    std::string text = arg;
    TQxFieldFormat fmt;
    const std::int32_t code = ClassifyField(text, fmt);
    if (fmt.fmtnumber > 0)
        throw EIllegalFunctionUse("Illegal function use: expression " + arg +
                                  " has format function " + FormatFunctionName(fmt.fmtnumber) +
                                  ", which is not allowed within another expression");
    if (IsSimpleCode(code)) {
        CmSaveField(code,
                    SimpleFieldRow(code, text, std::string(), std::string(), TQxFieldFormat{}));
    } else if (code == CmKind::Call) {
        std::vector<std::string> inner;
        std::int32_t innerId = 0;
        if (!ProcessUDFName(text, inner, innerId))
            throw EIllegalFunctionUse("Function not found: " + arg);
        CompileCall(innerId, inner, id, pos, iifNumber);
    } else if (code == CmKind::Expression) {
        const TQxCallTree tree = ExpressionCallTree(text, FOptions.Contains(eoDotAsColon));
        CompileTreeCall(tree, tree.root, id, pos, iifNumber);
    } else {
        throw EIllegalFunctionUse("Cannot use " +
                                  (arg.empty() ? std::string("empty string") : arg) +
                                  " as argument for another expression");
    }
}

std::string TQxRTF::FormatFunctionName(std::int32_t fmtnumber) {
    if (fmtnumber < 0 || fmtnumber >= kQxBaseFormatCount) return std::to_string(fmtnumber);
    return std::string(QxBaseFormatsArr[static_cast<std::size_t>(fmtnumber)].name);
}

}  // namespace qx
