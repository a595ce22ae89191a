// TQxBaseReport: the format-neutral core of the report component. It holds
// the template and its read pointer, the output plumbing (temporary stream,
// output file or caller's stream), the command stream with its string pool,
// the report variables, the link to the user-defined functions, and the
// expression compiler. Its methods are spread over one file per topic:
// template_io.cpp, command_stream.cpp, and the language files.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "platform/component.h"
#include "platform/exceptions.h"
#include "platform/streams.h"
#include "platform/stringlist.h"
#include "qxbasereport/field_format.h"
#include "qxbasereport/variables.h"
#include "qxfunc/result_types.h"

namespace qx {

class TQxUDFList;
class TCodePageCodec;
class TWriteBehindFile;

using TNotifyEvent = std::function<void(TComponent* sender)>;
// Template bytes as held in memory; shared so that a buffer handed over by
// the caller is used without copying and cannot dangle.
using TQxTemplateBuffer = std::shared_ptr<const std::vector<std::uint8_t>>;

// An infix expression as the nested calls of operator functions it is
// rewritten into: a call node holds the function's name and its argument
// nodes in the call's order, any other node an operand's text as typed.
struct TQxCallTree {
    struct TNode {
        std::string text;
        bool call = false;
        std::vector<std::size_t> args;
    };
    std::vector<TNode> nodes;
    std::size_t root = 0;
    // The call text of `node`: SYS_ADD(SYS_MULT(2,b),a).
    std::string Text(std::size_t node) const;
};

class TQxBaseReport : public TComponent {
  public:
    explicit TQxBaseReport(TComponent* owner = nullptr);
    ~TQxBaseReport() override;

    static int Version() { return 312; }

    // ---- published properties -------------------------------------------
    const TNotifyEvent& OnFinished() const { return FOnFinished; }
    void SetOnFinished(TNotifyEvent handler) { FOnFinished = std::move(handler); }
    const std::string& InFile() const { return FInFile; }
    void SetInFile(const std::string& value);
    const std::string& OutFile() const { return FOutFile; }
    void SetOutFile(const std::string& value);
    const std::string& TrueValue() const { return FTrueValue; }
    void SetTrueValue(const std::string& value);
    const std::string& FalseValue() const { return FFalseValue; }
    void SetFalseValue(const std::string& value);
    TQxUDFList* UDFList() const { return FUDFList; }
    void SetUDFList(TQxUDFList* value);
    bool UnicodeByDefault() const { return FUnicodeByDefault; }
    void SetUnicodeByDefault(bool value) { FUnicodeByDefault = value; }
    // The code page of output text and of template bytes 0x80-0xFF, once
    // set; until then a run takes the one its template declares
    // (OutputCodePage), and CodePage answers 1252.
    int CodePage() const { return FCodePage; }
    void SetCodePage(int value);
    bool CodePageSet() const { return FCodePageSet; }
    // The code page the current run reads template text and writes values
    // in: CodePage when set, else the template's own.
    int OutputCodePage() const {
        return FCodePageSet || FDocCodePage == 0 ? FCodePage : FDocCodePage;
    }
    // The most bytes one run may write before it fails, so that a template
    // that never stops cannot fill the disk; 0: no limit.
    std::int64_t MaxOutputSize() const { return FMaxOutputSize; }
    void SetMaxOutputSize(std::int64_t value) { FMaxOutputSize = value < 0 ? 0 : value; }
    // The most bytes one value may have that a run makes (an expression's
    // result, a report variable it sets), and the most the report variables
    // may hold together during a run, so that a template that doubles a
    // string in a loop fails before memory runs out; 0: no limit.
    std::int64_t MaxValueSize() const { return FMaxValueSize; }
    void SetMaxValueSize(std::int64_t value) { FMaxValueSize = value < 0 ? 0 : value; }
    std::int64_t MaxVariablesSize() const { return FMaxVariablesSize; }
    void SetMaxVariablesSize(std::int64_t value) { FMaxVariablesSize = value < 0 ? 0 : value; }
    // During a run: counts report variable `name` going from `oldSize` to
    // `newSize` bytes against MaxValueSize and MaxVariablesSize.
    void CountVariableWrite(const std::string& name, std::size_t oldSize, std::size_t newSize);
    // Fails the run when a value of `size` bytes is larger than MaxValueSize.
    void CheckValueSize(std::size_t size, const std::string& what) const {
        if (FMaxValueSize != 0 && static_cast<std::int64_t>(size) > FMaxValueSize)
            ValueSizeExceeded(size, what);
    }

    // ---- template input ---------------------------------------------------
    // Takes `size` bytes of `buffer` as the template, kept across runs until
    // InFile changes. The buffer is shared, not copied. A size beyond the
    // buffer is cut to the buffer.
    void SetTemplateBuffer(TQxTemplateBuffer buffer, std::int32_t size);
    void SetTemplateBuffer(std::vector<std::uint8_t> bytes);
    bool TemplateLoaded() const { return FTmLoaded; }

    // ---- character utilities ---------------------------------------------
    static bool Letter(char32_t ch) { return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z'); }
    static bool Digit(char32_t ch) { return ch >= '0' && ch <= '9'; }
    static bool ZeroOut(const std::string& s);

    // ---- quotes of field text ----------------------------------------------
    // Which characters open and close a quoted string in field text; the
    // RTF layer defines them.
    virtual bool LeftQuote(char32_t c) const = 0;
    virtual bool RightQuote(char32_t open, char32_t c) const = 0;
    virtual bool IsQuoted(const std::string& s) const = 0;

    // ---- report variables ---------------------------------------------------
    TQxVarList* VarList() const { return FVarList.get(); }
    // Replaces the entries by copies of the source's, types included.
    void SetVarList(const TQxVarList& value) { FVarList->Assign(value); }
    // Defines a variable (name trimmed); EIOError when it exists already.
    void CreateVar(const std::string& name, const std::string& value);
    void CreateVar(const std::string& name, const char* value) {
        CreateVar(name, std::string(value));
    }
    void CreateVar(const std::string& name, double value);
    void CreateVar(const std::string& name, long double value) {
        CreateVar(name, static_cast<double>(value));
    }
    void CreateVar(const std::string& name, TDateTime value, bool ignoreTime);
    void CreateVar(const std::string& name, bool value);
    void FreeVar(const std::string& name);
    void ClearVars();
    // The report's one shared accessor, re-targeted to `name`; use it at
    // once, before the next VarByName.
    TQxReportVariable& VarByName(const std::string& name);
    // 1-based entry number of the variable (ASCII case ignored), 0 if none.
    std::int32_t GetVarNumber(const std::string& ident) const;
    std::string GetVarByNumber(std::int32_t n) const;
    TQxDataType GetVarTypeByNumber(std::int32_t n) const;
    // Position of the dataset an alias names in the current run, or -1.
    virtual std::int32_t CtoN(const std::string& s) const;
    // The locale settings the report converts values with (taken from the
    // process-wide settings when the report is created).
    const TFormatSettings& FmtSettings() const { return FmtSett; }
    void SetFmtSettings(const TFormatSettings& fs);

    // ---- settings document -------------------------------------------------
    // The published properties as a JSON object, with the variables' types
    // as "VarDataTypes": the hex text of their exact persisted bytes.
    virtual void SaveSettings(nlohmann::json& doc) const;
    virtual void LoadSettings(const nlohmann::json& doc);
    // Count, then one DataTypeNumber per entry (32-bit little-endian each).
    void WriteVarDataTypes(TStream& stream) const;
    void ReadVarDataTypes(TStream& stream);
    static void ReadVarDataTypes(TStream& stream, TQxVarList& list);
    // The stricter of a limit the application set and one a settings
    // document names (0: no limit): a document may tighten a limit, never
    // lift it.
    static std::int64_t StricterLimit(std::int64_t current, std::int64_t loaded) {
        if (current == 0) return loaded;
        return loaded == 0 ? current : std::min(current, loaded);
    }
    // The value of a limit in a settings document, checked before anything
    // is applied; none when the document does not name it.
    static std::optional<std::int64_t> LimitSetting(const nlohmann::json& doc, const char* key);

    // ---- expression compiler ----------------------------------------------
    // Rewrites an infix expression (trimmed in place) as nested calls of the
    // operator functions: a+b*2 gives SYS_ADD(SYS_MULT(2,b),a).
    std::string ConvertExpression(std::string& expr, bool dotAsColon);
    // The same rewriting as a tree of calls, which the compile pass compiles
    // without writing and splitting the call text level by level (that
    // would cost time quadratic in the length of a chain of operators).
    TQxCallTree ExpressionCallTree(std::string& expr, bool dotAsColon);
    // Reads the operand at the start of `s` (trimmed in place) and answers its
    // code (a CmKind field class); for NotAField and Expression the token
    // is empty and the rest is `s`.
    std::int32_t GetNextExprField(std::string& s, std::string& token, std::string& rest,
                                  bool dotAsColon);
    // Reads the operator at the start of `s` (trimmed in place); a sign read
    // with `unary` becomes "u+" or "u-".
    static bool GetNextExprOperation(std::string& s, std::string& operation, std::string& rest,
                                     bool unary);
    void ResetIifNumber() { FiifNumber = 0; }
    std::int32_t GetNextIifNumber() { return ++FiifNumber; }

    // ---- name resolution ---------------------------------------------------
    // Splits at top-level commas, outside quotes and brackets, appending the
    // untrimmed items; false when brackets or quotes do not close.
    bool SplitArgs(const std::string& args, std::vector<std::string>& list) const;
    // Strips a format-function wrapper from `fieldText` and answers the format.
    TQxFieldFormat CheckFormat(std::string& fieldText);
    // A user-defined function (id >= 0) or a built-in (id < 0) of that name.
    bool GetUDFNumber(const std::string& name, std::int32_t& id) const;
    std::int32_t GetArgMinCount(std::int32_t id) const;
    std::int32_t GetArgMaxCount(std::int32_t id) const;
    TQxUDFResultType GetUDFResultType(std::int32_t id) const;
    // Whether the format may stand around a call of function `id`.
    bool CheckUdfFormat(std::int32_t id, const TQxFieldFormat& fmt) const;
    // A {yyyy-mm-dd} constant as the locale's short date.
    std::string DateConstToStr(const std::string& s) const;
    // Resolves a call text to its function id and appends its argument texts.
    bool ProcessUDFName(const std::string& text, std::vector<std::string>& args,
                        std::int32_t& id) const;
    // EIllegalFunctionUse naming the call (its text made only then) when
    // `count` arguments are fewer or more than function `id` takes.
    void CheckArgCount(std::int32_t id, std::int64_t count,
                       const std::function<std::string()>& callText) const;

  protected:
    void Notification(TComponent* component, TOperation operation) override;

    // ---- command stream (read-only views for the passes and the template check) ------------
    const TMemoryStream* CmStream() const { return FCmStream.get(); }
    const std::vector<std::string>& CmStrings() const { return FCmStrings; }
    // The fields of the compiled template and the records each became.
    const std::vector<TQxFieldSpan>& CmFieldSpans() const { return FCmFieldSpans; }

    // ---- template plumbing ------------------------------------------------
    void ReadFileBody();
    bool FileEof() const { return Flent < Fpnt; }
    void IncPnt(std::int32_t n) { Fpnt += n; }
    // Byte at 1-based template position `pnt` (no bounds check: callers
    // stay within 1..Flent).
    std::uint8_t PFileAt(std::int32_t pnt) const { return FPFile[pnt - 1]; }
    const std::uint8_t* PFileData() const { return FPFile; }
    void FreePFile();
    void FreeTemplate();

    // ---- output plumbing --------------------------------------------------
    void SetOutf();
    void SetOutfToNil() { FOutf = nullptr; }
    void SetOutfToTmp() { FOutf = FTmpStream.get(); }
    void FreeOutf();
    // Closes the output file of a file run, so that a write the disk
    // refused at the end fails the run instead of leaving a short report.
    void CloseOutf();
    // After a failed stream run: the caller's stream gets back the size and
    // position it had, if the run had begun writing it.
    void RestoreCallerStream();
    void CreateTmpStream();
    void FreeTmpStream();
    virtual std::string CreateTmpFileName(const std::string& prefix);
    void wr(const std::string& s);
    void wrBlock(const std::uint8_t* data, std::int32_t start, std::int32_t count);
    // Counts `count` bytes about to be written against MaxOutputSize.
    void CountOutput(std::int64_t count) {
        FBytesWritten += count;
        if (FMaxOutputSize != 0 && FBytesWritten > FMaxOutputSize) OutputLimitExceeded();
    }
    // Throws the error of a run that wrote more than MaxOutputSize.
    [[noreturn]] virtual void OutputLimitExceeded();
    [[noreturn]] void ValueSizeExceeded(std::size_t size, const std::string& what) const;
    // The report variables are counted from here until StopCountingVariables.
    void StartCountingVariables();
    void StopCountingVariables() { FCountingVariables = false; }
    virtual std::uintptr_t ShellOpenFile(const std::string& fileName, std::int32_t showCmd);
    // The per-run code-page codec (created on first use).
    const TCodePageCodec& Codec();

    // ---- command stream ---------------------------------------------------
    void CreateCmStream();
    void FreeCmStream();
    void SeekToBeginCmStream();
    void CmSaveItemInfo(std::int32_t kind, std::int32_t payloadLength, std::int32_t templatePos);
    void CmSaveItemPos();
    std::int32_t CmReadItemInfo() {
        FCmLastId = CmReadInt();
        FCmLastFpnt = Fpnt;
        Fpnt = CmReadInt();
        FCmSkip = CmReadInt();
        return Fpnt;
    }
    void CmReadItemPos();
    void CmSaveBegin();
    void CmSaveEnd();
    std::int32_t CmStoreString(const std::string& s);
    std::string CmGetString(std::int32_t index) const;
    // Records the field whose records run from stream offset `cmBegin` to
    // the current end of the stream.
    void CmNoteFieldSpan(std::int32_t cmBegin, std::int32_t kwdPnt, std::int32_t endPnt,
                         const std::string& text);
    // The error position of a field whose opening delimiter stands at
    // 1-based template position `kwdPnt` (line and column counted in the
    // loaded template).
    TQxErrorPos FieldErrorPos(std::int32_t kwdPnt, const std::string& text) const;
    // The position of the field whose records include stream offset
    // `offset`, or none.
    std::optional<TQxErrorPos> ErrorPosAtCm(std::int64_t offset) const;
    // A move of records [from, to) to just before offset `dest` (outside the
    // run); a Raw record of `added` bytes took their old place. Map gives
    // where an offset of the old stream is now: a record start moves with
    // its record, an anchor (a place between records) at `dest` stays
    // before the moved records.
    struct TCmMove {
        std::int32_t from, to, dest, added;
        std::int32_t Map(std::int32_t x, bool anchor) const;
    };
    // Moves the records, giving them the template position `templatePos`
    // (so they copy no template bytes at their new place), and leaves a Raw
    // record holding `placeholder` where they were.
    TCmMove CmMoveRecords(std::int32_t from, std::int32_t to, std::int32_t dest,
                          std::int32_t templatePos, const std::string& placeholder);
    // Advances the command stream past the payload of the header just read.
    void CmSkipItem();

    virtual void CmSaveBlocItem();
    virtual void CmReadBlocItem();
    virtual void CmSaveBalancedBlocItem();
    virtual void CmReadBalancedBlocItem();
    virtual void CmSaveTableBegin();
    virtual void CmReadTableBegin();
    virtual void CmSaveTableEnd();
    virtual void CmReadTableEnd();
    virtual void CmSaveRawItem(const std::string& s);
    virtual void CmReadRawItem(std::string& s);
    virtual void CmSaveScanItem(const std::string& markup, const std::string& remainder,
                                std::uint16_t block);
    virtual void CmReadScanItem(std::string& markup, std::string& remainder, std::uint16_t& block);
    virtual void CmSaveScanWhileItem(const std::string& markup, const std::string& remainder,
                                     std::uint16_t block);
    virtual void CmReadScanWhileItem(std::string& markup, std::string& remainder,
                                     std::uint16_t& block);
    virtual void CmSaveIfItem(const std::string& markup, const std::string& remainder,
                              std::uint16_t block, bool elseFlag);
    virtual void CmReadIfItem(std::string& markup, std::string& remainder, std::uint16_t& block,
                              bool& elseFlag);
    virtual void CmSaveScanEntryItem(const std::string& markup, const std::string& remainder,
                                     std::uint16_t block);
    virtual void CmReadScanEntryItem(std::string& markup, std::string& remainder,
                                     std::uint16_t& block);
    virtual void CmSaveScanFooterItem(const std::string& markup, const std::string& remainder,
                                      std::uint16_t block);
    virtual void CmReadScanFooterItem(std::string& markup, std::string& remainder,
                                      std::uint16_t& block);
    virtual void CmSaveEndScanItem(const std::string& markup, const std::string& remainder,
                                   std::uint16_t block);
    virtual void CmReadEndScanItem(std::string& markup, std::string& remainder,
                                   std::uint16_t& block);
    virtual void CmSaveEndIfItem(const std::string& markup, const std::string& remainder,
                                 std::uint16_t block);
    virtual void CmReadEndIfItem(std::string& markup, std::string& remainder, std::uint16_t& block);
    virtual void CmSaveScanSkipItem(std::uint16_t block);
    virtual void CmReadScanSkipItem(std::uint16_t& block);
    virtual void CmSaveScanFirstItem(std::uint16_t block);
    virtual void CmReadScanFirstItem(std::uint16_t& block);
    virtual void CmSaveField(std::int32_t kind, const TQxRowContent& rc);
    virtual void CmUpdateField(std::int32_t nField, TQxRcTypes definedType, bool defined);
    virtual void CmReadField(TQxRowContent& rc);
    virtual void CmSaveExprBeginItem(const TQxRowContent& rc, bool output, bool manage,
                                     std::uint16_t block);
    virtual void CmReadExprBeginItem(TQxRowContent& rc, bool& output, bool& manage,
                                     std::uint16_t& block);
    virtual void CmSaveExprEndItem();
    virtual void CmReadExprEndItem();
    virtual void CmSaveExecuteUDFItem(std::int32_t funcId, std::int32_t argCount,
                                      std::int32_t iifNumber, std::int32_t argPos,
                                      std::int32_t parentId);
    virtual void CmReadExecuteUDFItem(std::int32_t& funcId, std::int32_t& argCount,
                                      std::int32_t& iifNumber, std::int32_t& argPos,
                                      std::int32_t& parentId);
    // Records with no payload of kinds the base does not name itself
    // (the document tables): header, template position, self offset.
    void CmSaveEmptyItem(std::int32_t kind);

    // ---- state ------------------------------------------------------------
    std::string FTrueValue = "True";
    std::string FFalseValue = "False";
    char32_t FDecimalRTerminator = '=';
    char32_t FDecimalRSeparator = '-';
    TQxUDFList* FUDFList = nullptr;
    std::string FInFile;
    std::string FOutFile;
    std::unique_ptr<TStringList> FInDList;
    bool FInDListOneCharExists = false;
    bool FExecute = false;
    TNotifyEvent FOnFinished;

    // The template: FPFile points into FPFileHolder; Fpnt is 1-based.
    TQxTemplateBuffer FPFileHolder;
    const std::uint8_t* FPFile = nullptr;
    bool FTmLoaded = false;
    std::int32_t Fpnt = 0;
    std::int32_t Flent = -1;
    // Where the text "before" a command starts: after the last paragraph
    // mark, or after the last command that had nothing visible before it;
    // -1 before the body is known.
    std::int32_t FLastBoundaryPnt = -1;
    std::int32_t FKwdPnt = -1;
    const std::int32_t FSzi = 4;

    std::unique_ptr<TStream> FTmpStream;
    std::string FTmpFileName;
    TStream* FOutStream = nullptr;        // the caller's, never owned
    std::int64_t FOutStreamPosition = 0;  // as the caller left it
    std::int64_t FOutStreamSize = 0;
    bool FUseStream = false;
    TStream* FOutf = nullptr;
    std::unique_ptr<TWriteBehindFile> FOutfOwned;  // the output file SetOutf opened
    bool FOutfCreated = false;
    std::int32_t FiifNumber = 0;

    std::int32_t FCmPos = 0;
    std::int32_t FCmLastId = 0;  // the kind of the last record written
    std::int32_t FCmLastFpnt = 0;
    std::int32_t FCmSkip = 0;
    std::unique_ptr<TMemoryStream> FCmStream;
    std::vector<std::string> FCmStrings;
    std::vector<TQxFieldSpan> FCmFieldSpans;  // in stream order
    // Offsets where the template's lines start, for error positions; built
    // when first needed, emptied with the command stream.
    mutable std::vector<std::int32_t> FLineStarts;

    bool FUnicodeByDefault = false;
    int FCodePage = 1252;
    bool FCodePageSet = false;
    int FDocCodePage = 0;  // the code page the template declares; 0 before it is read
    std::int64_t FMaxOutputSize = 0;
    std::int64_t FBytesWritten = 0;
    std::int64_t FMaxValueSize = 0;
    std::int64_t FMaxVariablesSize = 0;
    bool FCountingVariables = false;
    std::int64_t FVariablesSize = 0;  // bytes of all variable entries while counting
    std::shared_ptr<const TCodePageCodec> FCodec;

    // ---- report variables ---------------------------------------------------
    TFormatSettings FmtSett = FormatSettings();
    std::unique_ptr<TQxVarList> FVarList = std::make_unique<TQxVarList>();
    std::unique_ptr<TQxReportVariable> FReportVariable = std::make_unique<TQxReportVariable>(this);
    // The last few names GetVarNumber found, good while the list's names
    // stay as they were: evaluating a record asks for the same few
    // variables many times, each lookup otherwise a walk of the list.
    struct TVarLookup {
        std::string ident;
        std::int32_t number = 0;
    };
    mutable std::array<TVarLookup, 4> FVarLookups;
    mutable const TQxVarList* FVarLookupsList = nullptr;
    mutable std::uint64_t FVarLookupsVersion = 0;
    mutable std::size_t FVarLookupsNext = 0;

  private:
    void CmWriteInt(std::int32_t v);
    void CmWriteWord(std::uint16_t v);
    void CmWriteByte(std::uint8_t v);
    void CmWriteBool(bool v) { CmWriteInt(v ? 1 : 0); }
    void CmWriteString(const std::string& s) { CmWriteInt(CmStoreString(s)); }
    // Inline: a run reads every record of a scanned block once per record.
    const std::uint8_t* CmTake(std::int64_t count) {
        const std::uint8_t* at = FCmStream->Take(count);
        if (at == nullptr) CmReadPastEnd();
        return at;
    }
    [[noreturn]] static void CmReadPastEnd();
    std::int32_t CmReadInt() {
        const std::uint8_t* b = CmTake(4);
        return static_cast<std::int32_t>(
            static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
            (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24));
    }
    std::uint16_t CmReadWord() {
        const std::uint8_t* b = CmTake(2);
        return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
    }
    std::uint8_t CmReadByte() { return *CmTake(1); }
    bool CmReadBool() { return CmReadInt() == 1; }
    // Assigns into `out`, so a reader that reuses its strings allocates
    // nothing once they have grown.
    void CmReadString(std::string& out) {
        const std::int32_t index = CmReadInt();
        if (index < 0 || static_cast<std::size_t>(index) >= FCmStrings.size())
            out.clear();
        else
            out.assign(FCmStrings[static_cast<std::size_t>(index)]);
    }
    void CmWriteRowContent(const TQxRowContent& rc);
    void CmReadRowContent(TQxRowContent& rc);
    void CmSaveBlockItem(std::int32_t kind, const std::string& markup, const std::string& remainder,
                         std::uint16_t block);
    void CmReadBlockItem(std::string& markup, std::string& remainder, std::uint16_t& block);
    void CmSaveWordItem(std::int32_t kind, std::uint16_t block);
    void CmReadWordItem(std::uint16_t& block);
};

}  // namespace qx
