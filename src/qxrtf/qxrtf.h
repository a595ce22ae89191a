// The header an application includes: TQxRTF, the report component, and
// everything its interface uses (datasets, user functions, streams,
// pictures, exceptions, conversions). An application sets InFile (or a
// template buffer) and OutFile, and calls Execute, ExecuteOpen or
// ExecuteStream with its datasets; the run compiles the template into the
// command stream, replays it into a temporary stream and assembles the
// final document.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "conscom/exceptions.h"
#include "platform/dataset.h"
#include "platform/mem_dataset.h"
#include "platform/picture.h"
#include "platform/streams.h"
#include "platform/sysutils.h"
#include "platform/warnings.h"
#include "qxbasereport/base_rtf_report.h"
#include "qxbasereport/image_format.h"
#include "qxfunc/udf_list.h"
#include "qxrtf/picture_sizing.h"
#include "qxrtf/scans.h"
#include "qxrtf/template_check.h"

namespace qx {

struct TQxExprState;
class TQxCompiledTemplate;

using TQxOnScanBefore = std::function<void(TQxScanInfo& scanInfo)>;
using TQxOnScanRecord = std::function<void(TQxScanInfo& scanInfo)>;
using TQxOnScanEof = std::function<void(TQxScanInfo& scanInfo)>;
using TQxOnImageFormat = std::function<void(int formatIndex, TQxImageFormat& imageFormat)>;

// How pictures are embedded: Native writes PNG and JPEG as they are and
// other bitmaps as PNG; Metafile wraps every bitmap in a metafile, for
// readers that take nothing else.
enum class TQxPictureForm : std::uint8_t { Native, Metafile };

// The payload of a scan or if item: the command's markup, the paragraph
// remainder, the block number and (If only) the else flag.
struct TQxBlockItem {
    std::string markup;
    std::string remainder;
    std::uint16_t block = 0;
    bool elseFlag = false;
};
using arrdataset = std::vector<TDataSet*>;

// Kept for applications that build their dataset list through it; it
// stores nothing and the run never reads it.
class TQxReportDataCollection {
  public:
    int Add(TDataSet* /*source*/, const std::string& /*alias*/) { return 0; }
};

class TQxRTF : public TQxBaseRTFReport {
  public:
    explicit TQxRTF(TComponent* owner = nullptr);
    ~TQxRTF() override;

    // Runs the report into the file named by OutFile.
    virtual void Execute(const arrdataset& ds);
    // As Execute, then opens the file with the desktop's default application.
    virtual void ExecuteOpen(const arrdataset& ds, std::int32_t showCmd);
    // Runs the report into `outStream` (not owned); the stream is left
    // positioned at its beginning.
    virtual void ExecuteStream(const arrdataset& ds, TStream* outStream);

    bool ExecuteSuccessful() const { return FExecuteSuccessful; }
    const std::string& LastErrMsg() const { return FLastErrMsg; }
    // Where in the template the last run's error came from: the field or
    // command being compiled or executed; none for errors of no field
    // (a template that is not RTF, an output that cannot be written).
    const std::optional<TQxErrorPos>& LastErrPos() const { return FLastErrPos; }

    // The most times one scan may repeat in a run (all its starts
    // together, so that an inner scan cannot begin its count afresh for
    // every pass of an outer one that never ends), so that a condition that
    // never turns false ends in an error; 0: no limit.
    std::int64_t MaxScanRepetitions() const { return FMaxScanRepetitions; }
    void SetMaxScanRepetitions(std::int64_t value) { FMaxScanRepetitions = value < 0 ? 0 : value; }
    // The most calls (functions and operators) a run may evaluate, so that
    // a loop that writes nothing still ends; 0: no limit.
    std::int64_t MaxEvaluationSteps() const { return FMaxEvaluationSteps; }
    void SetMaxEvaluationSteps(std::int64_t value) { FMaxEvaluationSteps = value < 0 ? 0 : value; }
    // The folder picture files named in the template or its data must lie
    // in (a relative name is taken inside it); empty: anywhere.
    const std::string& ImageRoot() const { return FImageRoot; }
    void SetImageRoot(const std::string& value) { FImageRoot = value; }
    TQxPictureForm PictureForm() const { return FPictureForm; }
    void SetPictureForm(TQxPictureForm value) { FPictureForm = value; }
    // Sizes and borders of pictures by their format index (FIMG's second
    // argument), applied before OnImageFormat, which has the last word.
    // SetPictureSizing raises Exception for a text it does not understand.
    const std::map<int, TQxPictureSizing>& PictureSizings() const { return FPictureSizings; }
    void SetPictureSizing(int formatIndex, const std::string& sizing) {
        FPictureSizings[formatIndex] = ParsePictureSizing(sizing);
    }
    void ClearPictureSizings() { FPictureSizings.clear(); }

    // Where the report's warnings go: fields the data does not have (an
    // unknown dataset, field, variable or function, brackets that do not
    // balance), given once the template is compiled, and picture files
    // that cannot be read, given as the run meets them. Each warning
    // comes once per field, however many records run it. The report's own
    // sink is cleared as each run starts; a sink set here (to share it with
    // the loaders, or between reports) is the application's to clear. A
    // strict sink makes the run fail at the first check after a warning,
    // before any output is written for a compile-time one.
    TQxWarningSink& WarningSink() { return FWarningSink != nullptr ? *FWarningSink : FOwnWarnings; }
    const TQxWarningSink& WarningSink() const {
        return FWarningSink != nullptr ? *FWarningSink : FOwnWarnings;
    }
    void SetWarningSink(TQxWarningSink* sink) { FWarningSink = sink; }
    // Shorthand for WarningSink().List() after a run.
    const std::vector<TQxWarning>& Warnings() const { return WarningSink().List(); }

    bool DisableControls() const { return FDisableControls; }
    void SetDisableControls(bool value) {
        if (value != FDisableControls) FDisableControls = value;
    }
    const TQxOnScanBefore& OnScanBefore() const { return FOnScanBefore; }
    void SetOnScanBefore(TQxOnScanBefore h) { FOnScanBefore = std::move(h); }
    const TQxOnScanRecord& OnScanRecord() const { return FOnScanRecord; }
    void SetOnScanRecord(TQxOnScanRecord h) { FOnScanRecord = std::move(h); }
    const TQxOnScanEof& OnScanEof() const { return FOnScanEof; }
    void SetOnScanEof(TQxOnScanEof h) { FOnScanEof = std::move(h); }
    const TQxOnImageFormat& OnImageFormat() const { return FOnImageFormat; }
    void SetOnImageFormat(TQxOnImageFormat h) { FOnImageFormat = std::move(h); }

    // The clock that NOW, DATE and TIME read, and that gives STRTODATE and
    // STRTODATETIME the current year for two-digit years; set it to fix
    // the time of a run (tests, reproducible reports). Empty: local time.
    using TQxClock = std::function<TDateTime()>;
    const TQxClock& Clock() const { return FClock; }
    void SetClock(TQxClock clock) { FClock = std::move(clock); }
    TDateTime CurrentDateTime() const;

    // The published properties of the report, with its own (Name, Charset,
    // Lang, Options by name, DisableControls), as a JSON settings document.
    void SaveSettings(nlohmann::json& doc) const override;
    void LoadSettings(const nlohmann::json& doc) override;

    // ---- what user-function handlers may call (evaluator.cpp) ---------------
    // Copies an argument (a dataset field or a report variable) into
    // `target` as a value of `type`; a handler reads its arguments so.
    void UDFArg2Var(const TObject* arg, TQxReportVariable& target, TQxDataType type);
    // Writes `value` into `target` with the setter of `type`.
    static void AssignTyped(TQxReportVariable& target, const TQxReportVariable& value,
                            TQxDataType type);
    // The run's dataset an alias names, or nullptr.
    TDataSet* DataSetOfAlias(const std::string& alias) const;
    static TQxDataType FieldType2VarType(TFieldType fieldType);

    // Compiles the template (InFile or buffer) without running it and
    // answers the command stream listing; used by `qxrtf dump`.
    std::string DumpCompiled(const arrdataset& ds = {});
    // Compiles the template without running it and answers its fields,
    // blocks and function calls with their positions, with a warning for
    // every name the datasets `ds` and the variables do not have. A
    // compile error is raised as a run would raise it.
    TQxTemplateCheck CheckTemplate(const arrdataset& ds = {});

    // ---- compiling once (compiled_template.cpp) ------------------------------
    // Compiles the template (InFile or buffer) for datasets named and
    // ordered as `ds`, without running it. A compile error is raised as a
    // run would raise it.
    std::shared_ptr<const TQxCompiledTemplate> Compile(const arrdataset& ds);
    // Makes `compiled` this report's template: its runs replay it instead of
    // compiling. Any number of reports may share one, also in threads that
    // run at the same time. The report must have the settings the template
    // was compiled with (options, code page, charset, format settings, user
    // functions of the same names and argument counts, whose handlers may be
    // the run's own) and be run with datasets of the same names in the same
    // order; a run that differs fails. A new InFile or template buffer
    // replaces it.
    void SetCompiledTemplate(std::shared_ptr<const TQxCompiledTemplate> compiled);
    // The compiled template runs replay, or nullptr when they compile.
    std::shared_ptr<const TQxCompiledTemplate> CompiledTemplate() const;

  protected:
    // ---- evaluator (evaluator.cpp) ------------------------------------------
    // Every call of a compiled expression: user-defined functions through
    // their handler, built-ins through InitFunctions and DoFunctions.
    void ExecUDF(std::int32_t id, const TQxUDFArgs& args, std::int32_t argCount, TObject* result,
                 std::string& expr);
    // The declaration and reset side of VAR, SUM, CTN and CTS.
    void InitFunctions(std::int32_t id, const TQxUDFArgs& args, std::int32_t argCount,
                       std::string& expr);
    void DoFunctions(std::int32_t id, const TQxUDFArgs& args, TObject* result, std::string& expr);
    void ExecReport(const arrdataset& ds);
    virtual void PutField();
    void DisControls(const arrdataset& ds);
    void EnaControls(const arrdataset& ds);

    // The two passes.
    virtual void CompilePass();
    virtual void RunPass();

    // ---- compile pass (compile_pass.cpp, compile_commands.cpp) -------------
    // Classifies a field text (a CmKind field class or command); for simple
    // fields and calls the text becomes the bare element, and a format wrapper fills `fmt`.
    std::int32_t ClassifyField(std::string& text, TQxFieldFormat& fmt);
    static bool IsSimpleCode(std::int32_t code);
    TQxRowContent SimpleFieldRow(std::int32_t code, const std::string& element,
                                 const std::string& stestf, const std::string& markup,
                                 const TQxFieldFormat& fmt);
    virtual void CompileField(const std::string& raw);
    // The field being compiled. Its span of the command stream is noted
    // once its records are written: a block command's before they move to
    // a row boundary (the span moves with them), any other field's after
    // CompileField.
    TQxFieldSpan FFieldBeingCompiled;
    bool FFieldSpanNoted = false;
    void NoteFieldSpan();
    void CompileExpression(const std::string& callText, const std::string& fieldText,
                           const TQxFieldFormat& fmt, const std::string& markup);
    void CompileBlockExpression(const std::string& callText, std::int32_t id,
                                const std::vector<std::string>& args, bool manage,
                                std::uint16_t block);
    // An infix expression field, compiled from its call tree.
    void CompileOperatorExpression(const std::string& fieldText, const TQxFieldFormat& fmt,
                                   const std::string& markup);
    // The block of a value field whose outermost call is `id` (`callText`
    // names it in a message); `compileCalls` writes its calls.
    void CompileValueBlock(std::int32_t id, const std::string& fieldText, const TQxFieldFormat& fmt,
                           const std::string& markup, const std::function<std::string()>& callText,
                           const std::function<void()>& compileCalls);
    // The records of an expression: ExprBegin, its calls, ExprEnd.
    void CompileExprBlock(const TQxRowContent& rc, bool output, bool manage, std::uint16_t block,
                          const std::function<void()>& compileCalls);
    // One level more of calls compiled inside one another, refused beyond
    // the deepest nesting allowed.
    class TCallLevel {
      public:
        TCallLevel(TQxRTF& report, std::int32_t id);
        ~TCallLevel() { --FDepth; }
        TCallLevel(const TCallLevel&) = delete;
        TCallLevel& operator=(const TCallLevel&) = delete;

      private:
        int& FDepth;
    };
    void CompileCall(std::int32_t id, const std::vector<std::string>& args, std::int32_t parent,
                     std::int32_t position, std::int32_t iifNumber);
    // The call at `node` of an expression's tree and the calls inside it.
    void CompileTreeCall(const TQxCallTree& tree, std::size_t node, std::int32_t parent,
                         std::int32_t position, std::int32_t iifNumber);
    // Argument `pos` of a call of `id`, typed as `arg`.
    void CompileArg(const std::string& arg, std::int32_t id, std::int32_t pos,
                    std::int32_t iifNumber);
    // A total (SUM, CTN, CTS without NORESET) in a scan joins the totals that
    // start again when the scan is entered.
    void NoteScanTotal(std::int32_t id, const std::vector<std::string>& args);
    static std::string FormatFunctionName(std::int32_t fmtnumber);
    bool CommandAllowed(int column) const;
    // A block command (`column` of the nesting table) that the innermost
    // open block does not take but a block further out does: the innermost
    // one was left open, which is raised at the command that opened it.
    void CheckInnerBlockClosed(int column, const char* command) const;
    std::uint16_t CurrentBlock() const;
    std::uint16_t NextBlock() const;
    void CompileCondition(const std::string& condition, std::uint16_t block);
    void CompileScan(const std::string& fieldText, const std::string& markup);
    void CompileScanEntry(const std::string& fieldText, const std::string& markup);
    void CompileScanFooter(const std::string& fieldText, const std::string& markup);
    void CompileEndScan(const std::string& fieldText, const std::string& markup);
    void CompileExtraCalls(const std::vector<std::string>& calls, const std::string& fieldText);
    void CheckAggregateArgs(std::int32_t id, const std::vector<std::string>& args,
                            const std::string& item);
    void CheckSingleItem(const std::string& fieldText, const char* command,
                         std::vector<std::string>& items);
    void CompileIf(const std::string& fieldText, const std::string& markup);
    void CompileElse(const std::string& fieldText, const std::string& markup);
    void CompileElsIf(const std::string& fieldText, const std::string& markup);
    void CompileEndIf(const std::string& fieldText, const std::string& markup);
    // Open ELSIF levels of each if chain being compiled, innermost last.
    std::vector<std::uint16_t> FElsIfChain;

    // ---- commands on whole table rows (row_commands.cpp) --------------------
    // Where a block command stands relative to the template's table rows.
    struct TRowPlace {
        int rowsBefore = 0;  // rows started before (or with) the command
        int row = 0;         // the row it stands in, 0 outside rows
        int cell = 0;        // cells of that row ended before it
        std::int32_t rowStartCm = 0;
        std::int32_t rowStartPnt = 0;
        bool textBefore = false;  // visible text between the row's start and the command
        int afterRow = 0;         // in the paragraph right after this row's table, nothing between
    };
    // A compiled block command: its records and what its field writes.
    struct TRowCommand {
        TRowPlace place;
        std::int32_t cmFrom = 0;
        std::int32_t cmLength = 0;
        std::string placeholder;    // the field's markup and paragraph remainder
        std::int32_t pntAfter = 0;  // the template position after the command
        bool placed = false;
    };
    struct TRowBlock {
        std::vector<TRowCommand> commands;
        bool wholeRow = false;
    };
    struct TRowEnd {
        std::int32_t cm;
        std::int32_t pnt;
    };
    enum class TRowRole { Opens, Continues, Closes };
    TRowPlace CurrentRowPlace();
    void PlaceRowCommand(const TRowCommand& command, TRowRole role);
    // The role of a block command's code in its block; nullptr for others.
    static const TRowRole* BlockCommandRole(std::int32_t code);
    void CompileBlockCommand(std::int32_t code, const std::string& typed,
                             const std::string& markup);
    void AnchorRowCommand(std::size_t depth, std::size_t index);
    void MoveRowCommand(TRowCommand& command, std::int32_t dest, std::int32_t pnt);
    void RowEnded() override;
    std::vector<TRowBlock> FRowBlocks;         // the open blocks, innermost last
    std::vector<TRowCommand> FRowEndCommands;  // waiting for the current row's end
    std::vector<TRowEnd> FRowEnds;             // after each ended row, by row number - 1

    // ---- run pass: blocks (run_pass.cpp, block_skip.cpp) -------------------
    void RunDataSetField();
    void RunScanStart();
    void RunScanEntry();
    void RunRecordAdvance();
    void RunRecordEnd();
    // Evaluates the extra calls of a scan command again (a repetition that
    // resumes at the scanentry passes over them).
    void RunScanCalls(const TQxScanInfo& info);
    // Sets the scan's totals to 0 (declaring them when missing).
    void StartScanTotals(const TQxScanInfo& info);
    void RunIfTest();
    void RunEndIf();
    // Reads the payload of the block item whose header was just read
    // (Scan, ScanWhile, ScanEntry, ScanFooter, EndScan, If, EndIf).
    // The block item (If, Scan, EndScan...) whose header was just read;
    // any other record is skipped and answers an empty item.
    const TQxBlockItem& ReadBlockItem();
    void DecodeBlockItem(TQxBlockItem& item);
    void SkipIfPart() { SkipBlock(false); }
    void SkipScan() { SkipBlock(true); }
    void SkipBlock(bool scan);
    void SkipToExprEnd();
    void ReadItemTexts(std::string& markup, std::string& remainder, std::string_view& bytes);
    std::string EmptyBalanceAfter(const std::string& openRemainder, bool scan);
    void ComputeScanBalances(TQxScanInfo& info, const std::string& openRemainder);
    void ComputeIfBalance(TQxScanInfo& info, const std::string& openRemainder);
    // Back to a block's opening item, as if the items after it were unread.
    void ReturnToBlockStart(const TQxScanInfo& info);

    // ---- field output (field_output.cpp) -----------------------------------
    void DefineFieldNumber(TQxRowContent& rc);
    void WriteVariableField(const TQxRowContent& rc);
    void WriteConstantField(std::int32_t kind, const TQxRowContent& rc);
    void WriteDataSetFieldValue(TField& field, const TQxRowContent& rc);
    void WriteTextValue(std::string value, const TQxFieldFormat& fmt, const std::string& markup);
    // An expression's value: as WriteTextValue of its text.
    void WriteVariableValue(const TQxReportVariable& var, const TQxFieldFormat& fmt,
                            const std::string& markup);
    void WriteValue(std::string_view value, const std::string& markup);
    // The codec the value of the record at FCmPos is written through: the
    // run's, or that of a font of another script at its field.
    const TCodePageCodec& ValueCodec();
    std::string DataSetFieldText(const TField& field, const TQxFieldFormat& fmt);
    std::string DateFormatText(const TQxFieldFormat& fmt);
    std::string BoolText(const std::string& value) const;
    // Pictures and hyperlinks (picture_output.cpp).
    void WritePictureFile(const std::string& fileName, const TQxFieldFormat& fmt,
                          const std::string& markup);
    void WritePictureField(TField& field, const TQxFieldFormat& fmt, const std::string& markup);
    // `value` is "target|shown text" or the target alone.
    void WriteHyperlink(const std::string& value, const std::string& markup);
    // RTF fragments merged into the output (fragment_output.cpp): a text
    // value, a memo or blob field, a memory stream.
    void WriteRtfFragment(const std::string& rtf, const std::string& markup);
    void WriteRtfFragmentField(const TField& field, const std::string& markup);
    void WriteRtfFragmentStream(TStream& rtf, const std::string& markup);
    // Resolves a dataset-field item once per run (rewriting the stored item)
    // and answers the field, or nullptr when it does not exist.
    TField* ResolveDataSetField(TQxRowContent& rc);
    // Fields resolved in this run, by the offset of their item.
    std::unordered_map<std::int32_t, TField*> FResolvedFields;

    // ---- decoded records (decoded_rows.cpp) --------------------------------
    // A Field, ExprBegin or block record as the run pass uses it, decoded once per
    // run: a scanned block replays the same records once per data record.
    struct TDecodedRow {
        TQxRowContent rc;
        bool output = false;       // ExprBegin: the result is written
        bool manage = false;       // ExprBegin: the result decides a block
        std::uint16_t block = 0;   // ExprBegin: the block it belongs to
        std::int32_t itemPos = 0;  // the record's own offset, as CmReadItemPos gives it
        std::int64_t end = 0;      // the stream offset just after the record
        TField* field = nullptr;   // a dataset field item's field, once resolved
        TQxBlockItem item;         // a block record's texts
    };
    // The record whose header was just read (a Field, ExprBegin or block record),
    // leaving the stream after it as reading it would.
    TDecodedRow& ReadDecodedRow();
    // ResolveDataSetField for a decoded row, remembering the answer.
    TField* ResolveDecodedField(TDecodedRow& row);
    void ForgetDecodedRows();
    std::deque<TDecodedRow> FDecodedRows;
    std::vector<std::int32_t> FDecodedIndex;  // by payload offset; -1: not decoded yet

    // ---- expression blocks (expr_block.cpp) --------------------------------
    void BeginExprBlock(TQxExprState& state, bool& output, bool& manage);
    // One of the report's expression states, for one block (blocks may
    // nest through user functions): taken on construction, given back on
    // destruction.
    class TExprStateLease {
      public:
        explicit TExprStateLease(TQxRTF& report);
        ~TExprStateLease();
        TExprStateLease(const TExprStateLease&) = delete;
        TExprStateLease& operator=(const TExprStateLease&) = delete;
        TQxExprState& State() { return *FState; }

      private:
        TQxRTF& FReport;
        TQxExprState* FState;
    };
    std::vector<std::unique_ptr<TQxExprState>> FExprStates;
    std::size_t FExprDepth = 0;
    void EvaluateExprBlock();
    // Runs through a block without evaluating it (a skipped scan): only the
    // declarations and resets of VAR and the aggregates happen.
    void ReplayExprBlock();
    void ReplayItems(TQxExprState& state, std::int32_t targetId, std::int32_t targetIif);
    TQxReportVariable* NewLocalVariable(TQxExprState& state);
    void PushVariable(TQxExprState& state, const std::string& name);
    void PushConstant(TQxExprState& state, std::int32_t kind, const std::string& text,
                      bool setValue);
    void ReplaceNoReset(TQxExprState& state, std::int32_t id, TQxUDFArgs& args);
    TObject* NewResultHolder(TQxExprState& state, std::int32_t id);
    std::string FunctionName(std::int32_t id) const;
    void WriteExprResult(const TQxRowContent& row, TQxUDFResultType kind, TObject* holder);
    void WritePicture(TPicture& picture, const TQxFieldFormat& fmt);
    // The picture's format after OnImageFormat, its border colour checked
    // against the template's colour table.
    TQxImageFormat SettlePictureFormat(const TPicture& picture, const TQxFieldFormat& fmt);
    // "{\pict" and the scale, size, kind and border words of a picture
    // group; `width` and `height` are \picw and \pich, which mean pixels or
    // twips by the kind (the Windows metafile form computes its own).
    std::string PictureHeader(const TQxImageFormat& format, std::string_view kind, int width,
                              int height);
    // The header, the data (hex, or \bin with eoGraphicsBinary) and the end.
    void WritePictureGroup(const std::string& header, std::string_view data);
    void WriteHex(std::string_view bytes);

    TQxOnScanBefore FOnScanBefore;
    TQxOnScanRecord FOnScanRecord;
    TQxOnScanEof FOnScanEof;
    TQxOnImageFormat FOnImageFormat;
    TQxClock FClock;
    std::unique_ptr<TQxScans> FScs;
    bool FManageResult = false;
    bool FDisableControls = true;
    bool FExecuteSuccessful = false;
    std::string FLastErrMsg = "No errors.";
    std::optional<TQxErrorPos> FLastErrPos;
    arrdataset FDFiles;
    std::string FLangText;  // Lang in decimal, written with every value when set
    // Some field stands in a font of another script than the run's code
    // page (a field span has a code page of its own).
    bool FFieldCodePages = false;

  private:
    friend class TQxScans;
    enum class RunKind { File, Open, Stream };
    void RunEntry(RunKind kind, const arrdataset& ds, std::int32_t showCmd, TStream* outStream);
    void RestoreControls(const arrdataset& ds);
    void EndFailedRun(RunKind kind, const arrdataset& ds, const std::string& message,
                      const std::optional<TQxErrorPos>& pos);
    void BuildAliasList(const arrdataset& ds);
    void PrepareRun();
    // Reads the template and checks its RTF header.
    void LoadTemplate();
    void CompileTemplate();
    // A block still open at the end of the template is an error.
    void CheckBlocksClosed() const;
    // The records of the scans being run, for the position of an error.
    std::vector<TQxRecordPlace> RunningRecords() const;
    void ReleaseRun();
    // Compiles the template with the datasets `ds`, calls `inspect` on the
    // compiled state and releases the run, on success and on failure.
    void CompileOnly(const arrdataset& ds, const std::function<void()>& inspect);
    // The template lint (template_check.cpp).
    struct TQxCheckState;
    void CheckFieldSpan(const TQxFieldSpan& span, TQxCheckState& state);
    void CheckFieldRecord(std::int32_t kind, const TQxErrorPos& pos, TQxCheckState& state);
    void CheckCallRecord(const TQxErrorPos& pos, TQxCheckState& state);
    void CheckBlockRecord(std::int32_t kind, const TQxErrorPos& pos, TQxCheckState& state);
    // Set by SetCompiledTemplate; in force while the template is its buffer.
    std::shared_ptr<const TQxCompiledTemplate> FCompiled;
    // Raises the error of a run whose datasets or settings differ from
    // those `compiled` was compiled with.
    void CheckCompiledFits(const TQxCompiledTemplate& compiled) const;
    // The state a compile leaves, copied from `compiled` for this run.
    void StartFromCompiled(const TQxCompiledTemplate& compiled);
    // The datasets whose controls this run disabled (restored exactly once).
    bool FControlsDisabledByRun = false;
    std::int64_t FMaxScanRepetitions = 0;
    std::int64_t FMaxEvaluationSteps = 0;
    std::int64_t FEvaluationSteps = 0;  // calls evaluated in this run
    // Counts one evaluated call against MaxEvaluationSteps, and its result
    // `holder` against MaxValueSize.
    void CountEvaluationStep(const TObject* holder);
    std::string FImageRoot;
    TQxWarningSink FOwnWarnings;
    TQxWarningSink* FWarningSink = nullptr;
    // Gives a warning of the field at `pos` to the sink (and fails a strict run).
    void Warn(std::optional<TQxErrorPos> pos, const std::string& message);
    // The template's warnings, found in the compiled command stream.
    void WarnOfCompiledFields();
    // What the compiled command stream holds (template_check.cpp).
    TQxTemplateCheck InspectCompiled();
    TQxPictureForm FPictureForm = TQxPictureForm::Native;
    std::map<int, TQxPictureSizing> FPictureSizings;
    // A picture with no size of its own is scaled down to the text width
    // at its field: the page's less the margins, or its table cell's.
    void FitToTextWidth(TQxImageFormat& format);
    // Text widths by the template offset of the picture's field, for this run.
    std::unordered_map<std::int64_t, int> FTextWidths;
    void LoadImageRoot(const std::string& root);
    int FCallDepth = 0;            // calls being compiled inside one another
    std::uint16_t FExprBlock = 0;  // the block of the expression being compiled
    [[noreturn]] void ScanRepetitionsExceeded(const TQxScanInfo& info) const;
    [[noreturn]] void OutputLimitExceeded() override;
};

// Registers TQxRTF and TQxUDFList on the palette page "Data Access".
void Register();

}  // namespace qx
