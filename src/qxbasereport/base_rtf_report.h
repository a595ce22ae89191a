// TQxBaseRTFReport: the RTF-aware layer of the report. It adds the RTF
// options, the document tables (fonts, colours, styles, info) that are read
// from the template and written back last, at the places the template had
// them, and the template scanner.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "conscom/exceptions.h"
#include "qxbasereport/base_report.h"

namespace qx {

namespace rtf {
class TFontTracker;
}

enum TQxRTFOption : std::uint8_t {
    eoGraphicsWmfCompatible = 0,
    eoGraphicsBinary = 1,
    eoClearMissedFields = 2,
    eoDotAsColon = 3,
    eoNumericFormatClearZero = 4,
    eoKeepFrtfPar = 5,
    eoProcessFormFields = 6,
};

// A set of TQxRTFOption, one bit per option (bit n for the n-th value).
class TQxRTFOptions {
  public:
    constexpr TQxRTFOptions() = default;
    constexpr TQxRTFOptions(std::initializer_list<TQxRTFOption> options) {
        for (TQxRTFOption o : options) FBits |= Bit(o);
    }
    static constexpr TQxRTFOptions FromByte(std::uint8_t bits) {
        TQxRTFOptions s;
        s.FBits = bits;
        return s;
    }
    constexpr bool Contains(TQxRTFOption o) const { return (FBits & Bit(o)) != 0; }
    constexpr void Include(TQxRTFOption o) { FBits |= Bit(o); }
    constexpr void Exclude(TQxRTFOption o) { FBits &= static_cast<std::uint8_t>(~Bit(o)); }
    constexpr std::uint8_t Byte() const { return FBits; }
    constexpr bool operator==(const TQxRTFOptions&) const = default;

  private:
    static constexpr std::uint8_t Bit(TQxRTFOption o) { return static_cast<std::uint8_t>(1u << o); }
    std::uint8_t FBits = 0;
};

// Enumerator names, in order, for settings files and the command line.
inline constexpr const char* kQxRTFOptionNames[] = {
    "eoGraphicsWmfCompatible",  "eoGraphicsBinary", "eoClearMissedFields", "eoDotAsColon",
    "eoNumericFormatClearZero", "eoKeepFrtfPar",    "eoProcessFormFields",
};

// An RGB colour; GetColor packs it as 0x00BBGGRR.
class TQxColor {
  public:
    std::uint8_t fr = 0, fg = 0, fb = 0;
    std::uint32_t GetColor() const { return fb * 65536u + fg * 256u + fr; }
    void SetColor(std::uint32_t value) {
        fb = static_cast<std::uint8_t>(value >> 16);
        fg = static_cast<std::uint8_t>(value >> 8);
        fr = static_cast<std::uint8_t>(value);
    }
    void SetFr(std::uint8_t v) { fr = v; }
    void SetFg(std::uint8_t v) { fg = v; }
    void SetFb(std::uint8_t v) { fb = v; }
};
using TQxColorArray = std::vector<TQxColor>;

// One font group of the font table per line.
class TQxFontStringList : public TStringList {};

// The colour table's entries, "\redR\greenG\blueB;" each.
class TQxColorStringList : public TStringList {
  public:
    // The colour number of entry `s`, added (after the automatic colour ";"
    // when the list is empty) if absent.
    int UseColor(const std::string& s);
};

// A stretch of the temporary output and what to write after it.
struct TQxOutTabRec {
    std::int64_t n1 = 0;  // start offset of the body before the table
    std::int64_t n2 = 0;  // end offset
    std::int32_t id = 0;  // -17 font table, -18 colour table, -19 style sheet, -20 info, 0 nothing
    std::string written;  // the table as written during the run (direct output only)
};
using TQxOutTabArray = std::vector<TQxOutTabRec>;

class TQxBaseRTFReport : public TQxBaseReport {
  public:
    explicit TQxBaseRTFReport(TComponent* owner = nullptr);
    ~TQxBaseRTFReport() override;

    // Charset 1, the default character set, forces nothing: every font
    // keeps the character set the template gives it. Any other value is
    // forced on every template font but the symbol fonts.
    static constexpr std::uint8_t kDefaultCharset = 1;
    std::uint8_t Charset() const { return FCharset; }
    void SetCharset(std::uint8_t value) { FCharset = value; }
    std::uint16_t Lang() const { return FLang; }
    void SetLang(std::uint16_t value) { FLang = value; }
    TQxRTFOptions Options() const { return FOptions; }
    void SetOptions(TQxRTFOptions value) { FOptions = value; }

    bool LeftQuote(char32_t c) const override;
    bool RightQuote(char32_t open, char32_t c) const override;
    bool IsQuoted(const std::string& s) const override;

    TQxFontStringList* RTFFont() const { return FRTFFont.get(); }
    TQxColorStringList* RTFColor() const { return FRTFColor.get(); }
    TStringList* RTFStyle() const { return FRTFStyle.get(); }
    TStringList* RTFDocInfo() const { return FRTFDocInfo.get(); }
    const TQxColorArray& ColorTable() const { return FColorTable; }
    std::uint16_t ColorCount() const { return FColorCount; }
    bool InTable() const { return FInTable; }

    // ---- text encoding and output names -----------------------------------
    // The RTF form of plain text: escapes, line structure, and characters
    // above U+00FF as \u with a fallback when UnicodeByDefault is set.
    std::string txt2rtf(const std::string& s);
    // txt2rtf's text appended to `out`.
    void AppendRtfText(std::string& out, std::string_view s);
    // The same for text that a reader decodes through `codec`'s code page.
    void AppendRtfText(std::string& out, std::string_view s, const TCodePageCodec& codec);
    // One character's bytes in the report's code page; empty when it has none.
    std::string CodePageBytes(std::string_view utf8Char);
    // A fresh file name Directory + Prefix + time + chance + extension; the
    // file is neither made nor checked.
    virtual std::string CreateFileName(const std::string& directory, const std::string& prefix);
    virtual std::string CreateFileName(const std::string& directory, const std::string& prefix,
                                       const std::string& extension);

    // ---- field text (field_text.cpp) ----------------------------------------
    // Splits a field's raw RTF into its visible text and the markup mixed
    // into it; the unicode skip state follows the markup's groups and \uc.
    void CutRtString(const std::string& s, std::string& text, std::string& rtf);
    // A field's visible text with its blanks, as the author typed it (for
    // messages); leaves the unicode skip state unchanged.
    std::string TypedFieldText(const std::string& s);

  protected:
    // The visible text of a field's raw RTF, trimmed, blanks kept; `rtf`
    // receives the markup.
    std::u32string SplitFieldText(const std::string& s, std::string& rtf);

    // ---- document tables --------------------------------------------------
    void CreateDocumentLists();
    void FreeDocumentLists();
    void CmSaveFontTable();
    void CmSaveColorTable();
    void CmSaveStyleSheet();
    void CmSaveDocInfo();
    void SaveToOutTable(std::int32_t id);
    void OutFontTable();
    void OutColorTable();
    void OutStyle();
    void OutDocInfo();
    // The document table a record of the output table names, if any.
    void WriteDocumentTable(std::int32_t id);
    // The text WriteDocumentTable gives now, neither written nor counted.
    std::string DocumentTableText(std::int32_t id);
    void OutRaw();
    // Writes the temporary stream to the real output with every document
    // table inserted at its place.
    void AssembleOutput();
    // A file run writes straight into its output, each document table as it
    // stands when the run reaches it. Pictures and fragments may add fonts
    // and colours later: then the tables are written anew (the body goes
    // through the temporary stream once, as in an indirect run).
    void FinishDirectOutput();

    bool FDirectOutput = false;

    std::uint8_t FCharset = 1;
    std::uint16_t FLang = 0;
    // Pictures in hex unless asked for: every reader takes hex, not all
    // take \bin.
    TQxRTFOptions FOptions{eoDotAsColon};
    std::unique_ptr<TQxFontStringList> FRTFFont;
    std::unique_ptr<TQxColorStringList> FRTFColor;
    std::unique_ptr<TStringList> FRTFStyle;
    std::unique_ptr<TStringList> FRTFDocInfo;
    bool FIsFontTable = false;
    bool FIsColorTable = false;
    bool FIsStyle = false;
    bool FIsDocInfo = false;
    TQxColorArray FDocColorTable;
    std::uint16_t FDocColorCount = 0;
    TQxColorArray FColorTable;
    std::uint16_t FColorCount = 0;
    bool FInTable = false;
    bool FTableRowOpen = false;
    TQxOutTabArray FOutTab;

    // ---- table rows, for the commands that act on whole rows -------------
    // A row starts at its definition (\trowd) or, when the writer puts the
    // definition at the row's end, at its first in-table paragraph; it ends
    // at its \row. Command-stream offsets here are those of the moment they
    // were taken (moves of records keep them up to date).
    struct TRowState {
        bool open = false;                  // a row has started and its \row not yet come
        int count = 0;                      // rows started so far: the current row's number
        int cells = 0;                      // cells ended in the current row
        std::int32_t startCm = 0;           // offset of the record that starts the current row
        std::int32_t startPnt = 0;          // its template position
        int endedRow = 0;                   // number of the last row that ended
        std::int32_t endCm = -1;            // offset just after that row's TableEnd record
        std::int32_t endPnt = -1;           // template position just after its \row
        int fieldsAfterEnd = 0;             // fields read since then
        std::int32_t textAfterEndPnt = -1;  // where visible text after the row counts from
    };
    TRowState FRows;
    // Called after the TableEnd record of each \row.
    virtual void RowEnded() {}

    // ---- template scanner (scanner.cpp) -------------------------------------
    // Moves to the next report field, recording the template before it in
    // the command stream. True with the field's raw text when a field was
    // read (Fpnt after its closing delimiter, FKwdPnt at the opening one);
    // false at the end of the template or when an opening delimiter had no
    // closing partner (it has become text and the caller simply calls again).
    bool GetNextReportField(std::string& field);
    // The next template byte, passing over control bytes other than LF and
    // TAB; 26 (and no move) at the end.
    std::uint8_t ReadFb();
    // Steps back one byte and answers it, passing over the same control
    // bytes; 26 (and no move) past the end or before position 2.
    std::uint8_t ReadBack();
    // The next n characters from Fpnt without moving (control bytes other
    // than TAB passed over; 26 for each position past the end).
    std::string getns(std::int32_t n) const;
    // Scanner state as a compilation starts.
    void ResetScanner();

    std::int32_t FQuoteIndex = 0;
    std::int32_t FQuoteSkip = 0;
    std::string FQuoteStr;
    std::int32_t FUnicodeSkipCount = 1;
    // Saved \uc values, one per open group. A plain vector for now; popping
    // an empty stack yields 0.
    std::vector<std::int32_t> FUcStack;
    void UcPush() { FUcStack.push_back(FUnicodeSkipCount); }
    void UcPop();

    // ---- paragraph clean-up (field_text.cpp) --------------------------------
    // After a command field: consumes the following \par when the paragraph
    // holds nothing but the command, answering the markup between them;
    // otherwise leaves everything as it was and answers "".
    void KillPar(std::string& rtf);
    // What the last KillPar answered.
    std::string FKillParMarkup;
    // Whether template bytes [from, to) show any text (hidden header groups
    // and markup do not).
    bool HasVisibleText(std::int32_t from, std::int32_t to);
    std::int32_t FindParagraphMark();

    // ---- the script of the text at a field (font_charsets.cpp) ----------------
    // The code page values of a field at template position `pnt` are
    // written in: that of the font there when its character set belongs to
    // another code page than the run's, else 0 (the run's).
    int FieldCodePage(std::int32_t pnt);
    // The code page readers decode the template's bytes at `pnt` through:
    // that of the font's character set, the one the document declares for
    // a font without one; 0 for a symbol font.
    int FontCodePageAt(std::int32_t pnt);
    // A codec of `codePage`, made once per report.
    const TCodePageCodec& FontCodec(int codePage);
    // Notes the character set of every font of the table just read.
    void NoteFontCharsets();
    std::unique_ptr<rtf::TFontTracker> FFontTracker;
    // Font number and character set as written (-1: none), per font.
    std::vector<std::pair<int, int>> FFontCharsets;
    std::vector<std::shared_ptr<const TCodePageCodec>> FFontCodecs;

    // ---- reading the document tables (document_tables_read.cpp) -------------
    // Each is called with Fpnt on the table's opening brace, leaves Fpnt
    // after its closing brace and writes the table's record.
    void ReadFontTable();
    void ReadColorTable();
    void ReadStyleSheet();
    void ReadDocInfo();

  private:
    // ---- scanner internals (scanner.cpp) --------------------------------------
    struct TLookahead;
    TLookahead Peek(int n) const;
    void FlushBloc(std::int32_t endPnt);
    enum class TScanStep { Go, Field, Abandoned };
    bool ScanBrace(std::int32_t at);
    bool SkipTextEscapes(std::int32_t at);
    // The length of the escaped second byte of a double-byte character
    // whose lead byte is written as the \'hh at `at` (4), or 0 when that
    // escape is no lead byte followed by an escaped one.
    int EscapedTrailLength(std::int32_t at);
    TScanStep ScanBackslash(std::int32_t at, std::string& field);
    void SkipLetters();
    void SkipChars(int n);
    bool ReadField(std::string& field);
    bool MatchQuote(std::uint8_t c, bool closing, const TLookahead& la);
    int UnicodeTailLength(int wordLength) const;
    bool IsFieldDelimiter(std::uint8_t c, const TLookahead& la) const;
    bool BeginsBreak(std::uint8_t c, const TLookahead& la) const;
    bool IsPassThroughGroup(const TLookahead& la) const;
    void AppendByte(std::string& field, std::uint8_t c);
    void AppendChars(std::string& field, int n);
    bool FBlocPending = false;

    // ---- shared by the table readers and the field text ----------------------
    // Template bytes [from, to) (1-based) as text through the report's code page.
    std::string TemplateText(std::int32_t from, std::int32_t to);
    // Template bytes [from, to) as 7-bit RTF: bytes 0x80-0xFF (and the second
    // byte of a double-byte character) as \'hh, so they go out unchanged.
    std::string TemplateBytesEscaped(std::int32_t from, std::int32_t to) const;
    // The error `message` of a document table, placed at the first `word`
    // (a keyword such as \fcharset) in template range [from, to) that has
    // no number, or at `from` when none has.
    EBadRtfFormat TableError(const char* message, std::int32_t from, std::int32_t to,
                             std::string_view word);
    // Template bytes [from, to) read as ReadFb reads them, as text.
    std::string TemplateTextFb(std::int32_t from, std::int32_t to);
    std::string ByteText(std::uint8_t b);
    // Balanced sub-groups of a table group until its closing brace; text
    // between them is handed to `loose`.
    template <class OnGroup, class OnLoose>
    bool ReadSubGroups(OnGroup onGroup, OnLoose onLoose);
    void ReadSubGroupList(int keywordLength, TStringList& list);
};

}  // namespace qx
