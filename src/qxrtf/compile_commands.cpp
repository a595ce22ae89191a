// Compiling the block commands: SCAN, SCANENTRY, SCANFOOTER, ENDSCAN and
// IF, ELSIF, ELSE, ENDIF, with their nesting checks and options.
#include "conscom/exceptions.h"
#include "conscom/internal/tables.h"
#include "platform/internal/unicode.h"
#include "qxbasereport/internal/codes.h"
#include "qxbasereport/internal/lang_text.h"
#include "qxrtf/qxrtf.h"

namespace qx {

namespace {

bool EndsWithParen(const std::string& s) {
    const std::string t = Trim(s);
    return !t.empty() && t.back() == ')';
}

}  // namespace

namespace {

bool KindAllows(int kind, int column) {
    return kind >= 0 && kind < 8 &&
           QxBaseLangControl[static_cast<std::size_t>(kind)][static_cast<std::size_t>(column)];
}

// The command that opened a block, as the author typed its keyword.
const char* OpeningKeyword(const TQxScanInfo& block) {
    switch (block.QxLngId()) {
        case lcScan:
            return "SCAN";
        case lcIf:
            return "IF";
        case lcElsIf:
            return "ELSIF";
        default:
            return "ELSE";
    }
}

}  // namespace

bool TQxRTF::CommandAllowed(int column) const {
    return KindAllows(FScs->CurrentTopScanInfo()->QxLngId(), column);
}

void TQxRTF::CheckInnerBlockClosed(int column, const char* command) const {
    const TQxScanInfo* top = FScs->CurrentTopScanInfo();
    if (top == nullptr || CommandAllowed(column)) return;
    bool fitsOuter = false;
    for (int depth = 1; !fitsOuter && FScs->OpenBlock(depth) != nullptr; ++depth)
        fitsOuter = KindAllows(FScs->OpenBlock(depth)->QxLngId(), column);
    // A command that fits no open block is simply not expected.
    if (!fitsOuter) return;
    const TQxErrorPos here = FieldErrorPos(FKwdPnt, std::string());
    const std::string message = std::string(OpeningKeyword(*top)) + " is not closed before " +
                                command + " at " + std::to_string(here.line) + ":" +
                                std::to_string(here.column);
    // The error stands at the command that left its block open.
    const auto attach = [&](auto e) {
        if (const auto pos = ErrorPosAtCm(top->CmPosition())) e.SetPosIfNone(*pos);
        return e;
    };
    if (top->IsScan()) throw attach(EIllegalScanUse(message));
    throw attach(EIllegalIFUse(message));
}

std::uint16_t TQxRTF::CurrentBlock() const {
    return static_cast<std::uint16_t>(FScs->CurrentScanNum());
}
std::uint16_t TQxRTF::NextBlock() const {
    return static_cast<std::uint16_t>(FScs->ScCount() + 1);
}

// ---- scans ---------------------------------------------------------------------

void TQxRTF::CompileScan(const std::string& fieldText, const std::string& markup) {
    std::vector<std::string> items;
    SplitArgs(fieldText, items);
    if (items.empty()) items.push_back(fieldText);
    const std::string& head = items[0];
    if (!EndsWithParen(head)) throw EIllegalScanUse("Illegal using of \"scan\" keyword: " + head);
    const std::string headTrim = Trim(head);
    const auto open = headTrim.find('(');
    const std::string aliasTyped = headTrim.substr(open + 1, headTrim.size() - open - 2);
    const std::string alias = Trim(aliasTyped);
    TDataSet* ds = nullptr;
    if (!alias.empty()) {
        const std::int32_t index = CtoN(alias);
        if (index < 0 || static_cast<std::size_t>(index) >= FDFiles.size())
            throw EIllegalScanUse("Scan Alias not found: " + aliasTyped);
        ds = FDFiles[static_cast<std::size_t>(index)];
    }

    bool page = false, noEof = false;
    std::string whileText;
    std::vector<std::string> calls;
    for (std::size_t i = 1; i < items.size(); ++i) {
        const std::string option = LowerCase(Trim(items[i]));
        if (option == "page") {
            page = true;
        } else if (option == "noeof") {
            noEof = true;
        } else if (option.size() > 7 && option.rfind("while(", 0) == 0 && option.back() == ')') {
            if (!whileText.empty())
                throw EIllegalScanUse(
                    "More than one \"while\" function is not allowed in command " + fieldText);
            whileText = Trim(items[i]);
        } else {
            calls.push_back(items[i]);
        }
    }
    if (!whileText.empty()) CompileCondition(whileText, CurrentBlock());
    const std::int32_t cmPos = FCmPos;
    std::string remainder;
    KillPar(remainder);
    if (alias.empty() && whileText.empty())
        throw EIllegalScanUse(
            "Either \"scan\" with DataSet or \"while\" function must be present in command " +
            fieldText);
    if (whileText.empty())
        CmSaveScanItem(markup, remainder, NextBlock());
    else
        CmSaveScanWhileItem(markup, remainder, NextBlock());
    FScs->EnterScan(cmPos, Fpnt, {lcScan, whileText, ds, page, noEof});
    FScs->CurrentTopScanInfo()->SetCommandText(Trim(fieldText));
    FScs->SetScanCalls(FCmPos, static_cast<int>(calls.size()));
    CompileExtraCalls(calls, fieldText);
}

void TQxRTF::CompileScanEntry(const std::string& fieldText, const std::string& markup) {
    std::vector<std::string> items;
    SplitArgs(fieldText, items);
    const TQxScanInfo* top = FScs->CurrentTopScanInfo();
    if (top == nullptr) throw EIllegalScanUse("Error: Scanentry must be after scan: " + fieldText);
    if (top->IsEntry())
        throw EIllegalScanUse("Error: Scanentry already exists for scan block: " + fieldText);
    if (top->IsFooter())
        throw EIllegalScanUse("Error: Scanentry not allowed after scanfooter: " + fieldText);
    CheckInnerBlockClosed(lcScanEntry, "SCANENTRY");
    if (!CommandAllowed(lcScanEntry))
        throw EIllegalScanUse("Error: Scanentry is not expected: " + fieldText);
    std::string remainder;
    KillPar(remainder);
    const std::int32_t cmPos = FCmPos;
    CmSaveScanEntryItem(markup, remainder, CurrentBlock());
    FScs->SetScanEntry(cmPos, Fpnt);
    CompileExtraCalls(
        std::vector<std::string>(items.begin() + (items.empty() ? 0 : 1), items.end()), fieldText);
}

void TQxRTF::CompileScanFooter(const std::string& fieldText, const std::string& markup) {
    std::vector<std::string> items;
    SplitArgs(fieldText, items);
    const TQxScanInfo* top = FScs->CurrentTopScanInfo();
    if (top == nullptr) throw EIllegalScanUse("Error: Scanfooter must be after Scan: " + fieldText);
    if (top->IsFooter())
        throw EIllegalScanUse("Error: Scanfooter already exists for scan block: " + fieldText);
    CheckInnerBlockClosed(lcScanFooter, "SCANFOOTER");
    if (!CommandAllowed(lcScanFooter))
        throw EIllegalScanUse("Error: Scanfooter is not expected: " + fieldText);
    CompileExtraCalls(
        std::vector<std::string>(items.begin() + (items.empty() ? 0 : 1), items.end()), fieldText);
    CmSaveScanSkipItem(CurrentBlock());
    if (top->IsWhile()) CompileCondition(top->WhileString(), CurrentBlock());
    std::string remainder;
    KillPar(remainder);
    const std::int32_t cmPos = FCmPos;
    CmSaveScanFooterItem(markup, remainder, CurrentBlock());
    FScs->SetScanFooter(cmPos, Fpnt);
}

void TQxRTF::CompileEndScan(const std::string& fieldText, const std::string& markup) {
    std::vector<std::string> items;
    SplitArgs(fieldText, items);
    const TQxScanInfo* top = FScs->CurrentTopScanInfo();
    if (top == nullptr) throw EIllegalScanUse("Error: Endscan must be after scan: " + fieldText);
    CheckInnerBlockClosed(lcEndScan, "ENDSCAN");
    if (!CommandAllowed(lcEndScan))
        throw EIllegalScanUse("Error: Endscan is not expected: " + fieldText);
    CompileExtraCalls(
        std::vector<std::string>(items.begin() + (items.empty() ? 0 : 1), items.end()), fieldText);
    if (!top->IsFooter()) {
        CmSaveScanSkipItem(CurrentBlock());
        if (top->IsWhile()) CompileCondition(top->WhileString(), CurrentBlock());
    }
    std::string remainder;
    KillPar(remainder);
    CmSaveEndScanItem(markup, remainder, CurrentBlock());
    FScs->ExitScan();
}

void TQxRTF::CompileExtraCalls(const std::vector<std::string>& calls,
                               const std::string& fieldText) {
    for (const std::string& call : calls) {
        std::string text = call;
        const std::string item = Trim(call);
        TQxFieldFormat fmt;
        if (ClassifyField(text, fmt) != CmKind::Call)
            throw EIllegalScanUse("Cannot process expression " + item + " in scan command " +
                                  fieldText);
        if (fmt.fmtnumber > 0)
            throw EIllegalScanUse("Format function " + item + " not allowed in scan command " +
                                  fieldText);
        std::vector<std::string> args;
        std::int32_t id = 0;
        if (!ProcessUDFName(text, args, id))
            throw EIllegalFunctionUse("Function not found: " + item);
        CheckAggregateArgs(id, args, item);
        CompileBlockExpression(item, id, args, false, CurrentBlock());
    }
}

void TQxRTF::CheckAggregateArgs(std::int32_t id, const std::vector<std::string>& args,
                                const std::string& item) {
    const auto fail = [&](const std::string& arg, const char* why) {
        throw EIllegalFunctionUse("Illegal function use: " + arg + why + item);
    };
    const auto classify = [&](const std::string& arg, TQxFieldFormat& fmt) {
        std::string text = arg;
        return ClassifyField(text, fmt);
    };
    if (id == QxFn::Var) {
        for (const std::string& arg : args) {
            TQxFieldFormat fmt;
            const std::int32_t code = classify(arg, fmt);
            if (fmt.fmtnumber > 0)
                fail(arg, " - format function not allowed in scan command in expression ");
            if (code != 0) fail(arg, " - report variable expected as argument in expression ");
        }
        return;
    }
    if (id != QxFn::Sum && id != QxFn::Ctn && id != QxFn::Cts) return;
    TQxFieldFormat fmt;
    if (!args.empty()) {
        const std::int32_t code = classify(args[0], fmt);
        if (code < -2 || code > 1)
            fail(args[0],
                 " - datafield, variable or UDF expected as first argument in expression ");
    }
    if (args.size() > 1 && classify(args[1], fmt) != 0)
        fail(args[1], " - report variable expected as second argument in expression ");
    if (args.size() > 2 && UpperCase(Trim(args[2])) != "NORESET")
        fail(args[2],
             " - symbol \")\" or keyword \"NORESET\" expected as third argument in expression ");
}

// ---- ifs -----------------------------------------------------------------------

void TQxRTF::CheckSingleItem(const std::string& fieldText, const char* command,
                             std::vector<std::string>& items) {
    SplitArgs(fieldText, items);
    if (items.size() > 1)
        throw EIllegalIFUse(std::string("Illegal using of \"") + command +
                            "\" command: " + fieldText);
    if (items.empty()) items.push_back(fieldText);
}

void TQxRTF::CompileIf(const std::string& fieldText, const std::string& markup) {
    std::vector<std::string> items;
    CheckSingleItem(fieldText, "if", items);
    if (!EndsWithParen(items[0]))
        throw EIllegalIFUse("Illegal using of \"if\" keyword: " + items[0]);
    const std::string condition = Trim(items[0]);
    CompileCondition(condition, CurrentBlock());
    const std::int32_t cmPos = FCmPos;
    std::string remainder;
    KillPar(remainder);
    CmSaveIfItem(markup, remainder, NextBlock(), false);
    FScs->EnterScan(cmPos, Fpnt, {lcIf, condition});
    FElsIfChain.push_back(0);
}

// The condition of an IF or ELSIF, or the WHILE(...) of a scan: compiled as
// the block's managed expression, evaluated each time the block is entered.
void TQxRTF::CompileCondition(const std::string& condition, std::uint16_t block) {
    std::vector<std::string> args;
    std::int32_t id = 0;
    if (!ProcessUDFName(condition, args, id))
        throw EIllegalFunctionUse("Function not found: " + condition);
    CompileBlockExpression(condition, id, args, true, block);
}

void TQxRTF::CompileElse(const std::string& fieldText, const std::string& markup) {
    std::vector<std::string> items;
    CheckSingleItem(fieldText, "Else", items);
    if (FScs->CurrentTopScanInfo() == nullptr)
        throw EIllegalIFUse("Error: \"else\" must be after \"if\": " + fieldText);
    CheckInnerBlockClosed(lcElse, "ELSE");
    if (!CommandAllowed(lcElse))
        throw EIllegalIFUse("Error: \"else\" is not expected: " + fieldText);
    std::string remainder;
    KillPar(remainder);
    CmSaveEndIfItem(markup, remainder, CurrentBlock());
    FScs->ExitScan();
    const std::int32_t cmPos = FCmPos;
    CmSaveIfItem(std::string(), std::string(), NextBlock(), true);
    FScs->EnterScan(cmPos, Fpnt, {lcElse, std::string()});
}

void TQxRTF::CompileElsIf(const std::string& fieldText, const std::string& markup) {
    std::vector<std::string> items;
    CheckSingleItem(fieldText, "elsif", items);
    if (!EndsWithParen(items[0]))
        throw EIllegalIFUse("Illegal using of \"elsif\" keyword: " + items[0]);
    if (FScs->CurrentTopScanInfo() == nullptr)
        throw EIllegalIFUse("Error: \"elseif\" must be after \"if\": " + fieldText);
    CheckInnerBlockClosed(lcElsIf, "ELSIF");
    if (!CommandAllowed(lcElsIf))
        throw EIllegalIFUse("Error: \"elseif\" is not expected: " + fieldText);
    std::string condition = Trim(items[0]);
    // ELSEIF(...) is resolved as the function ELSIF, like ELSIF(...).
    if (UpperCase(condition).rfind("ELSEIF", 0) == 0) condition = "ELSIF" + condition.substr(6);
    CmSaveEndIfItem(std::string(), std::string(), CurrentBlock());
    FScs->ExitScan();
    std::int32_t cmPos = FCmPos;
    CmSaveIfItem(markup, std::string(), NextBlock(), true);
    FScs->EnterScan(cmPos, Fpnt, {lcElse, std::string()});
    CompileCondition(condition, CurrentBlock());
    std::string remainder;
    KillPar(remainder);
    cmPos = FCmPos;
    CmSaveIfItem(markup, remainder, NextBlock(), false);
    FScs->EnterScan(cmPos, Fpnt, {lcElsIf, condition});
    if (!FElsIfChain.empty()) ++FElsIfChain.back();
}

void TQxRTF::CompileEndIf(const std::string& fieldText, const std::string& markup) {
    std::vector<std::string> items;
    CheckSingleItem(fieldText, "endif", items);
    if (FScs->CurrentTopScanInfo() == nullptr)
        throw EIllegalIFUse("Error: \"endif\" must be after \"if\": " + fieldText);
    CheckInnerBlockClosed(lcEndIf, "ENDIF");
    if (!CommandAllowed(lcEndIf))
        throw EIllegalIFUse("Error: \"endif\" is not expected: " + fieldText);
    // Each ELSIF of this chain left one more level open. The count is kept
    // per chain, so an if nested inside an elsif branch closes only its own.
    std::uint16_t levels = 0;
    if (!FElsIfChain.empty()) {
        levels = FElsIfChain.back();
        FElsIfChain.pop_back();
    }
    for (; levels > 0; --levels) {
        CmSaveEndIfItem(std::string(), std::string(), CurrentBlock());
        FScs->ExitScan();
    }
    std::string remainder;
    KillPar(remainder);
    CmSaveEndIfItem(markup, remainder, CurrentBlock());
    FScs->ExitScan();
}

}  // namespace qx
