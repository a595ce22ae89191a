// Merging an RTF fragment (a memo or blob holding a whole RTF document)
// into the report: the fragment is read token by token, its header is
// dropped, its font, colour and style tables are merged into the report's,
// and its body is written with every reference renumbered.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/internal/codepage.h"
#include "platform/streams.h"
#include "qxrtfstream/internal/keyword_table.h"
#include "qxrtfstream/internal/merge_tables.h"

namespace qx {

class TQxBaseRTFReport;

// A byte buffer of a fixed size.
class TQxGetMem {
  public:
    explicit TQxGetMem(std::size_t size) : FMem(size) {}
    std::uint8_t GetItem(std::size_t index) const { return FMem.at(index); }
    void SetItem(std::size_t index, std::uint8_t value) { FMem.at(index) = value; }
    std::uint8_t* Mem() { return FMem.data(); }
    const std::uint8_t* Mem() const { return FMem.data(); }
    std::size_t Size() const { return FMem.size(); }

  private:
    std::vector<std::uint8_t> FMem;
};

class TQxStream {
  public:
    // `source` must allow random access; both objects outlive the merger.
    TQxStream(TQxBaseRTFReport& owner, TStream& source);
    TQxStream(const TQxStream&) = delete;
    TQxStream& operator=(const TQxStream&) = delete;

    TStream* OutStream() const { return FOutStream; }
    void SetOutStream(TStream* s) { FOutStream = s; }
    TQXStyleStrings& StyleTable() { return FStyleTable; }
    TQXColorStrings& ColorTable() { return FColorTable; }
    TQXFontStrings& FontTable() { return FFontTable; }

    // Output position of the last "\par" written (-1 if none) and the
    // delimiter that followed it.
    std::int64_t LastParPosition() const { return FLastParPosition; }
    const std::string& LastParDelimeter() const { return FLastParDelimeter; }

    // Writes the whole fragment into the output stream; false when none is set.
    bool Process();

    // ---- the pieces Process is made of ----------------------------------
    // Writes the pending text, then `s`, byte for byte.
    void Write(const std::string& s);
    // Reads the token at the source position and moves past it.
    TQXkwType ReadNext();
    // The keyword table row of the current control word, or -1.
    int FindKeyWord() const;
    void ProcessKeyWord();
    bool Push();
    std::int64_t Pop();
    // Group operations from the source position, which is on a "{". A
    // group that is not closed before the end leaves the position as it was
    // and answers false.
    bool ReadGroup(std::unique_ptr<TQxGetMem>& mem, std::int64_t& size);
    bool SaveGroup();
    bool SkipGroup();
    // Moves the source to the next occurrence of `s`; false (and no move)
    // when there is none.
    bool SeekStr(const std::string& s);
    bool ReadFontTable();
    bool ReadColorTable();
    bool ReadStyleSheet();

    // A \binN met while scanning a group: where its control word starts,
    // where its data start, and how many bytes they are.
    struct TBinaryData {
        std::int64_t wordStart;
        std::int64_t dataStart;
        std::int64_t count;
    };

    TQXkwType LastKind() const { return Fkw; }
    const std::string& LastRead() const { return FLastRead; }
    const std::string& LastKey() const { return FLastKey; }
    const std::string& LastParam() const { return FLastParam; }
    const std::string& LastDelimeter() const { return FLastDelimeter; }
    const std::string& NewDefFont() const { return FNewDefFont; }

  private:
    // Scanning from `from` inside `depth` open groups: the position just
    // after the "}" that closes the outermost of them, or -1. The \binN
    // words passed over are added to `binary` when given.
    std::int64_t GroupEnd(std::int64_t from, int depth, std::vector<TBinaryData>* binary = nullptr);
    // Reads the control word at `start`, whose first `n` bytes are `b`, and
    // moves past it.
    void ReadControlWord(std::int64_t start, const std::uint8_t* b, std::int64_t n);
    // Passes the digits in the source from `from` on, appending them to
    // `digits` as long as it has fewer than 12 significant ones (a number
    // beyond 32 bits either way); answers how many there were.
    std::int64_t PassDigits(std::int64_t from, std::string& digits);
    // Block actions on the group of the current control word.
    void BlockAction(TQXkwActionMethod action, std::uint16_t proc);
    void SkipRestOfGroup();
    void ProcessDestination();
    void ProcessTextToken();
    void ProcessNone();
    void DropKeyWord();
    void SaveChange(std::uint16_t proc);
    void SaveRun(std::uint16_t proc);
    void CopyBinaryData();
    void FlushPending();
    std::int32_t Param() const;
    std::string Renumbered(TQXReplTable& table) const;
    std::int64_t OutPosition();
    // The table group at the source position, moving past it; nullptr when
    // it is not closed or holds no more than `smallest` bytes.
    std::unique_ptr<TQxGetMem> ReadTableGroup(std::int64_t smallest, std::int64_t& size);
    // Bytes of a table group as text, through the report's code page.
    std::string TableText(const std::uint8_t* bytes, std::size_t count) const;
    // Balanced sub-groups of a table group, as text.
    std::vector<std::string> SubGroups(const TQxGetMem& mem, std::int64_t size) const;
    // Visible content after the last "\par" makes it no final paragraph mark.
    void ContentWritten() { FLastParPosition = -1; }

    TStream* FStream;
    TStream* FOutStream = nullptr;
    TQxBaseRTFReport* FOwner;
    mutable std::shared_ptr<const TCodePageCodec> FCodec;  // made when a table needs it
    std::int64_t FSize;
    TQXkwType Fkw = kwNone;
    std::string FPreWrite;
    // A group the merger opened around content outside the fragment's
    // groups (after its closing brace, or with none at all), so that its
    // formatting cannot reach the report's text.
    bool FOuterGroupOpen = false;
    std::string FLastRead;
    std::string FLastKey;
    std::string FLastParam;
    std::string FLastDelimeter;
    std::int64_t FLastParPosition = -1;
    std::string FLastParDelimeter;
    std::vector<std::int64_t> FPositionStack;
    std::string FDefFont;
    std::string FNewDefFont;
    TQXStyleStrings FStyleTable;
    TQXFontStrings FFontTable;
    TQXColorStrings FColorTable;
};

// Merges an RTF fragment into `dest` at its position, renumbering it into
// the report's font, colour and style tables, which take whatever the
// fragment brought. The Par variants also blank the fragment's final
// paragraph mark (its bytes become carriage returns, which RTF ignores), so
// that the text after the field stays in the same paragraph. A text
// fragment is converted through the report's code page.
void InsertRtfMemo(TQxBaseRTFReport& report, TStream& dest, const std::string& source);
void InsertRtfMemoPar(TQxBaseRTFReport& report, TStream& dest, const std::string& source);
void InsertRtfMemoStream(TQxBaseRTFReport& report, TStream& dest, TStream& source);
void InsertRtfMemoStreamPar(TQxBaseRTFReport& report, TStream& dest, TStream& source);

}  // namespace qx
